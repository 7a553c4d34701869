#include "app/dialogs/MapTreeDialog.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/dialogs/MapDetailsDialog.h"
#include "app/maps/MapCatalogue.h"

namespace rovana::dialogs {
namespace {

constexpr int kMapRole = Qt::UserRole;
constexpr int kIconRole = Qt::UserRole + 1;

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }

// A sheet of map with a grid for calibrated maps, a blank sheet for
// uncalibrated ones, a crossed sheet for pictures that failed.
QIcon DrawIcon(MapIcon kind) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(kind == MapIcon::Failed ? QColor(255, 200, 200) : QColor(230, 230, 255));
  p.drawRect(1, 2, 13, 11);
  if (kind == MapIcon::Calibrated) {
    p.setPen(QPen(QColor(153, 204, 0), 1));
    for (int x = 4; x < 14; x += 4) p.drawLine(x, 3, x, 12);
    for (int y = 5; y < 13; y += 4) p.drawLine(2, y, 13, y);
  } else if (kind == MapIcon::Failed) {
    p.setPen(QPen(QColor(255, 100, 100), 2));
    p.drawLine(3, 4, 12, 11);
    p.drawLine(12, 4, 3, 11);
  }
  return QIcon(pixmap);
}

}  // namespace

MapTreeDialog::MapTreeDialog(maps::MapCatalogue& catalogue, maps::GridConverter& grids, const LanguageTable& language,
                             QWidget* parent, Asker asker, std::function<void()> redraw, DetailsRunner details)
    : QDialog(parent), catalogue_(catalogue), grids_(grids), language_(language),
      asker_(WithDefaultBoxes(std::move(asker), language, this)), redraw_(std::move(redraw)),
      runDetails_(std::move(details)) {
  if (!runDetails_) runDetails_ = [](MapDetailsDialog& dialog) { dialog.exec(); };
  for (MapIcon kind : {MapIcon::Calibrated, MapIcon::Uncalibrated, MapIcon::Failed})
    icons_[static_cast<int>(kind)] = DrawIcon(kind);
  setWindowTitle(QString::fromStdString(language.Title(lang::kMenuMapSelect)));
  auto* layout = new QVBoxLayout(this);
  tree_ = new QTreeWidget(this);
  tree_->setObjectName("maps");
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(false);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  layout->addWidget(tree_, 1);
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
    if (maps::MapImage* map = MapOf(item); map && map != catalogue_.selected()) {
      catalogue_.SetSelected(map);
      if (redraw_) redraw_();
    }
  });
  connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
    maps::MapImage* map = MapOf(item);
    if (!map) return;
    const bool visible = item->checkState(0) == Qt::Checked;
    if (visible == map->visible()) return;
    catalogue_.SetVisible(*map, visible);
    if (redraw_) redraw_();
  });
  connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem*, int) { OpenDetails(); });

  auto* buttons = new QDialogButtonBox(this);
  details_ = buttons->addButton(QString::fromStdString(language.Title(lang::kMenuMapDetails)),
                                QDialogButtonBox::ActionRole);
  details_->setObjectName("details");
  details_->setAutoDefault(false);
  connect(details_, &QPushButton::clicked, this, &MapTreeDialog::OpenDetails);
  QPushButton* back = buttons->addButton(Text(language, lang::kButtonBack), QDialogButtonBox::AcceptRole);
  connect(back, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(buttons);
  Rebuild();
}

int MapTreeDialog::exec() {
  if (catalogue_.empty()) {
    asker_.message(Text(language_, lang::kMapNoMaps));
    return QDialog::Rejected;
  }
  return QDialog::exec();
}

MapIcon MapTreeDialog::IconOf(const maps::MapImage& map) {
  if (map.failed()) return MapIcon::Failed;
  return map.calibrated() ? MapIcon::Calibrated : MapIcon::Uncalibrated;
}

void MapTreeDialog::Rebuild() {
  const QSignalBlocker blocker(tree_);
  tree_->clear();
  QTreeWidgetItem* selected = nullptr;
  for (const auto& map : catalogue_.maps()) {
    auto* item = new QTreeWidgetItem(tree_);
    item->setText(0, QString::fromStdString(map->name()));
    item->setData(0, kMapRole, QVariant::fromValue<quintptr>(reinterpret_cast<quintptr>(map.get())));
    const MapIcon icon = IconOf(*map);
    item->setIcon(0, icons_[static_cast<int>(icon)]);
    item->setData(0, kIconRole, static_cast<int>(icon));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, map->visible() ? Qt::Checked : Qt::Unchecked);
    if (map.get() == catalogue_.selected()) selected = item;
  }
  if (selected) {
    tree_->setCurrentItem(selected);
    selected->setSelected(true);
  }
  details_->setEnabled(catalogue_.selected() != nullptr);
}

maps::MapImage* MapTreeDialog::MapOf(const QTreeWidgetItem* item) const {
  if (!item) return nullptr;
  auto* map = reinterpret_cast<maps::MapImage*>(item->data(0, kMapRole).value<quintptr>());
  for (const auto& m : catalogue_.maps())
    if (m.get() == map) return map;
  return nullptr;
}

QTreeWidgetItem* MapTreeDialog::ItemOf(const maps::MapImage& map) const {
  for (int i = 0; i < tree_->topLevelItemCount(); ++i)
    if (MapOf(tree_->topLevelItem(i)) == &map) return tree_->topLevelItem(i);
  return nullptr;
}

void MapTreeDialog::OpenDetails() {
  maps::MapImage* map = catalogue_.selected();
  if (!map) return;
  if (!catalogue_.EnsurePictureNow(*map)) {
    Rebuild();  // the icon shows the failure
    asker_.message(Text(language_, lang::kMapPictureFailed));
    return;
  }
  MapDetailsDialog dialog(*map, grids_, language_, this, redraw_);
  runDetails_(dialog);
  Rebuild();
}

}  // namespace rovana::dialogs
