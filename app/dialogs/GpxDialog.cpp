#include "app/dialogs/GpxDialog.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/dialogs/CollectionDetailsDialog.h"
#include "app/processing/TrackRecorder.h"
#include "app/waypoints/Waypoints.h"

namespace rovana::dialogs {
namespace {

constexpr int kPointerRole = Qt::UserRole;
constexpr int kIsFileRole = Qt::UserRole + 1;
constexpr int kLabelColumn = 0;
constexpr int kKindColumn = 1;

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }
QString Q(const std::string& text) { return QString::fromStdString(text); }

struct KindText {
  PoisKind kind;
  int entry;
};
constexpr KindText kKindTexts[] = {
    {PoisKind::POIs, lang::kPoisDefaultName},
    {PoisKind::Route, lang::kWordRoute},
    {PoisKind::Track, lang::kWordTrack},
};

QString KindName(const LanguageTable& language, PoisKind kind) {
  for (const KindText& row : kKindTexts)
    if (row.kind == kind) return Text(language, row.entry);
  return {};
}

Qt::CheckState Check(bool on) { return on ? Qt::Checked : Qt::Unchecked; }

template <typename T>
QVariant Pointer(const T* p) {
  return QVariant::fromValue<quintptr>(reinterpret_cast<quintptr>(p));
}

}  // namespace

GpxDialog::GpxDialog(Waypoints& waypoints, TrackRecorder& recorder, SettingsStore& settings,
                     const LanguageTable& language, QWidget* parent, Asker asker)
    : QDialog(parent), waypoints_(waypoints), recorder_(recorder), settings_(settings), language_(language),
      callerAsker_(asker), asker_(WithDefaultBoxes(std::move(asker), language, this)) {
  setWindowTitle(Text(language, lang::kGpxTitle));
  auto* layout = new QVBoxLayout(this);
  tree_ = new QTreeWidget(this);
  tree_->setObjectName("files");
  tree_->setColumnCount(2);
  tree_->setHeaderHidden(true);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  tree_->header()->setStretchLastSection(false);
  tree_->header()->setSectionResizeMode(kLabelColumn, QHeaderView::Stretch);
  tree_->header()->setSectionResizeMode(kKindColumn, QHeaderView::ResizeToContents);
  layout->addWidget(tree_, 1);
  connect(tree_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item, QTreeWidgetItem*) { Selected(item); });
  connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (column == kLabelColumn) Toggled(item);
  });
  connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
    if (CollectionOf(item)) OpenDetails();
  });

  auto* row = new QHBoxLayout;
  auto button = [&](int entry, const char* name, void (GpxDialog::*action)()) {
    auto* b = new QPushButton(Text(language, entry), this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, action);
    row->addWidget(b);
    return b;
  };
  newRoute_ = button(lang::kGpxNewRoute, "newRoute", &GpxDialog::NewRoute);
  rename_ = button(lang::kButtonRename, "rename", &GpxDialog::RenameCurrentFile);
  delete_ = button(lang::kButtonDelete, "delete", &GpxDialog::DeleteCurrent);
  details_ = new QPushButton(QString::fromStdString(language.Title(lang::kMenuGpxDetails)), this);
  details_->setObjectName("details");
  details_->setAutoDefault(false);
  connect(details_, &QPushButton::clicked, this, &GpxDialog::OpenDetails);
  row->addWidget(details_);
  layout->addLayout(row);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* back = buttons->addButton(Text(language, lang::kButtonBack), QDialogButtonBox::AcceptRole);
  connect(back, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(buttons);

  Rebuild();
}

int GpxDialog::exec() {
  if (waypoints_.files().empty()) {
    asker_.message(Text(language_, lang::kGpxNoFiles));
    return QDialog::Rejected;
  }
  return QDialog::exec();
}

void GpxDialog::Rebuild() {
  const QSignalBlocker blocker(tree_);
  tree_->clear();
  QTreeWidgetItem* selected = nullptr;
  for (const auto& file : waypoints_.files()) {
    waypoints_.RecomputeShown(*file);
    auto* fileItem = new QTreeWidgetItem(tree_);
    fileItem->setText(kLabelColumn, Q(file->name()));
    fileItem->setData(kLabelColumn, kPointerRole, Pointer(file.get()));
    fileItem->setData(kLabelColumn, kIsFileRole, true);
    fileItem->setFlags(fileItem->flags() | Qt::ItemIsUserCheckable);
    for (POIs* c : waypoints_.CollectionsOf(*file)) {
      auto* item = new QTreeWidgetItem(fileItem);
      item->setText(kLabelColumn, Q(c->ListLabel()));
      item->setText(kKindColumn, KindName(language_, c->kind()));
      item->setData(kLabelColumn, kPointerRole, Pointer(c));
      item->setData(kLabelColumn, kIsFileRole, false);
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      if (c == waypoints_.current()) selected = item;
    }
    SyncChecks(fileItem);
    if (!selected && !waypoints_.current() && file.get() == waypoints_.currentFile()) selected = fileItem;
  }
  tree_->expandAll();
  if (selected) {
    tree_->setCurrentItem(selected);
    tree_->scrollToItem(selected);
  }
  UpdateButtons();
}

void GpxDialog::SyncChecks(QTreeWidgetItem* fileItem) {
  GpxParser* file = FileOf(fileItem);
  if (!file) return;
  const QSignalBlocker blocker(tree_);
  fileItem->setCheckState(kLabelColumn, Check(file->shown()));
  for (int i = 0; i < fileItem->childCount(); ++i) {
    QTreeWidgetItem* item = fileItem->child(i);
    if (POIs* c = CollectionOf(item)) item->setCheckState(kLabelColumn, Check(c->visible()));
  }
}

bool GpxDialog::StillListed(const GpxParser* file) const {
  return std::any_of(waypoints_.files().begin(), waypoints_.files().end(),
                     [file](const auto& f) { return f.get() == file; });
}

GpxParser* GpxDialog::FileOf(const QTreeWidgetItem* item) const {
  if (!item || !item->data(kLabelColumn, kIsFileRole).toBool()) return nullptr;
  auto* file = reinterpret_cast<GpxParser*>(item->data(kLabelColumn, kPointerRole).value<quintptr>());
  return StillListed(file) ? file : nullptr;
}

POIs* GpxDialog::CollectionOf(const QTreeWidgetItem* item) const {
  if (!item || item->data(kLabelColumn, kIsFileRole).toBool()) return nullptr;
  auto* collection = reinterpret_cast<POIs*>(item->data(kLabelColumn, kPointerRole).value<quintptr>());
  const std::vector<POIs*> all = waypoints_.Collections();
  return std::find(all.begin(), all.end(), collection) != all.end() ? collection : nullptr;
}

QTreeWidgetItem* GpxDialog::ItemOf(const GpxParser& file) const {
  for (int i = 0; i < tree_->topLevelItemCount(); ++i)
    if (FileOf(tree_->topLevelItem(i)) == &file) return tree_->topLevelItem(i);
  return nullptr;
}

QTreeWidgetItem* GpxDialog::ItemOf(const POIs& collection) const {
  QTreeWidgetItem* fileItem = ItemOf(collection.file());
  if (!fileItem) return nullptr;
  for (int i = 0; i < fileItem->childCount(); ++i)
    if (CollectionOf(fileItem->child(i)) == &collection) return fileItem->child(i);
  return nullptr;
}

void GpxDialog::Selected(QTreeWidgetItem* item) {
  if (POIs* c = CollectionOf(item))
    waypoints_.MakeCurrent(c);
  else if (GpxParser* file = FileOf(item))
    waypoints_.SetCurrentFile(file);
  UpdateButtons();
}

void GpxDialog::Toggled(QTreeWidgetItem* item) {
  const bool on = item->checkState(kLabelColumn) == Qt::Checked;
  if (GpxParser* file = FileOf(item)) {
    for (POIs* c : waypoints_.CollectionsOf(*file)) c->SetVisible(on);
    SyncChecks(item);
  } else if (POIs* c = CollectionOf(item)) {
    c->SetVisible(on);
    SyncChecks(item->parent());
  }
}

void GpxDialog::UpdateButtons() {
  const bool hasFile = waypoints_.currentFile() && StillListed(waypoints_.currentFile());
  newRoute_->setEnabled(hasFile);
  rename_->setEnabled(hasFile);
  delete_->setEnabled(waypoints_.current() != nullptr);
  details_->setEnabled(waypoints_.current() != nullptr);
}

void GpxDialog::NewRoute() {
  GpxParser* file = waypoints_.currentFile();
  if (!file || !StillListed(file)) return;
  const std::optional<QString> name = asker_.input(Text(language_, lang::kGpxRouteNamePrompt), QString());
  if (!name) return;
  POIs& route = waypoints_.AddCollection(*file, PoisKind::Route);
  route.SetName(name->trimmed().toStdString());
  file->MarkModified();  // an empty route is kept too
  waypoints_.MakeCurrent(&route);
  Rebuild();
}

void GpxDialog::RenameCurrentFile() {
  GpxParser* file = waypoints_.currentFile();
  if (!file || !StillListed(file)) return;
  const std::optional<QString> typed = asker_.input(Text(language_, lang::kGpxRenamePrompt), Q(file->name()));
  if (!typed) return;
  const std::string name = typed->trimmed().toStdString();
  if (name == file->name()) return;
  switch (waypoints_.CheckNewName(name)) {
    case Waypoints::NameCheck::Bad: asker_.message(Text(language_, lang::kGpxBadName)); return;
    case Waypoints::NameCheck::Exists: asker_.message(Text(language_, lang::kGpxNameExists)); return;
    case Waypoints::NameCheck::Good: break;
  }
  // A new file exists on disk only after its first save; write it now so
  // that the rename has something to move.
  std::error_code error;
  if (!std::filesystem::exists(file->path(), error) && !file->Save(settings_.saveDataUnicode)) {
    asker_.message(Text(language_, lang::kGpxRenameFailed));
    return;
  }
  // Hidden collections and the current one are remembered by full name,
  // which carries the file name.
  struct Old {
    POIs* collection;
    std::string fullName;
    bool visible;
  };
  std::vector<Old> before;
  for (POIs* c : waypoints_.CollectionsOf(*file)) before.push_back({c, c->FullName(), c->visible()});
  if (!waypoints_.RenameFile(*file, name)) {
    asker_.message(Text(language_, lang::kGpxRenameFailed));
    return;
  }
  LogMessage("GPX file renamed to %s", name.c_str());
  for (const Old& old : before) {
    settings_.hiddenPOIs.Remove(old.fullName);
    old.collection->SetVisible(old.visible);
    if (old.collection == waypoints_.current()) waypoints_.MakeCurrent(old.collection);
  }
  Rebuild();
}

void GpxDialog::DeleteCurrent() {
  POIs* collection = waypoints_.current();
  if (!collection) return;
  if (collection->file().pinned()) {
    // Refused before anything happens, so that a recording is not stopped
    // for a deletion that would not take place.
    LogMessage("The collection %s is not deleted: its file is pinned", collection->FullName().c_str());
    return;
  }
  const int entry = collection->kind() == PoisKind::POIs ? lang::kGpxDeletePoisQuestion : lang::kGpxDeleteRouteQuestion;
  if (!asker_.question(QString("%1?").arg(Text(language_, entry)))) return;
  GpxParser* file = &collection->file();
  bool gone = false;
  if (recorder_.track() == collection) {
    // The GPS thread appends to this track until the recording stops; a
    // track that ends without points is deleted by the stop itself.
    const TrackRecorder::Stopped stopped = recorder_.Stop();
    gone = stopped.wasRecording && !stopped.hadPoints;
  }
  if (!gone && !waypoints_.DeleteCollection(*collection, true)) {
    LogMessage("The collection %s was not deleted (it is the recording track of another recorder)",
               collection->FullName().c_str());
    Rebuild();
    return;
  }
  if (StillListed(file)) {
    waypoints_.MakeCurrent(waypoints_.FirstOf(*file));
  } else {
    waypoints_.MakeCurrent(nullptr);
    settings_.selectedPOIs.clear();
  }
  Rebuild();
}

void GpxDialog::OpenDetails() {
  POIs* collection = waypoints_.current();
  if (!collection) return;
  CollectionDetailsDialog details(*collection, waypoints_, settings_, language_, this, callerAsker_);
  details.exec();
  Rebuild();
}

}  // namespace rovana::dialogs
