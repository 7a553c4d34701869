#include "app/dialogs/CollectionDetailsDialog.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/coords/Units.h"
#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "app/processing/AnalyzerStatistics.h"
#include "app/waypoints/Waypoints.h"

namespace rovana::dialogs {
namespace {

constexpr int kMinWidth = 1;
constexpr int kMaxWidth = 32;  // pixels
constexpr int kSwatchSize = 16;

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }
QString Q(const std::string& text) { return QString::fromStdString(text); }

// The language entry of each statistics line's label.
constexpr std::array<int, kDetailLines> kLineLabels = {
    lang::kWordDistance,  lang::kTripTotalTime,  lang::kTripMovingTime, lang::kTripAverageSpeed, lang::kTripMaxSpeed,
    lang::kTripMinAltitude, lang::kTripMaxAltitude, lang::kTripClimb,     lang::kTripDescent,
};

std::size_t At(DetailLine line) { return static_cast<std::size_t>(line); }

}  // namespace

CollectionDetailsDialog::CollectionDetailsDialog(POIs& collection, Waypoints& waypoints, SettingsStore& settings,
                                                 const LanguageTable& language, QWidget* parent, Asker asker)
    : QDialog(parent), collection_(collection), waypoints_(waypoints), settings_(settings), language_(language),
      asker_(WithDefaultBoxes(std::move(asker), language, this)), colour_(collection.color()) {
  waypoints_.EnsureLoaded(collection_.file());
  setWindowTitle(Q(collection_.ListLabel()));
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("tabs");
  tabs_->addTab(BuildGeneral(), Text(language, lang::kWordGeneral));
  tabs_->addTab(BuildStatistics(), Text(language, lang::kWordStatistics));
  tabs_->addTab(BuildPoints(), Text(language, lang::kWordPoints));
  layout->addWidget(tabs_, 1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(Text(language, lang::kButtonOk), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(Text(language, lang::kButtonCancel), QDialogButtonBox::RejectRole);
  connect(ok, &QPushButton::clicked, this, &CollectionDetailsDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);
}

QWidget* CollectionDetailsDialog::BuildGeneral() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  name_ = new QLineEdit(Q(collection_.name()), page);
  name_->setObjectName("name");
  form->addRow(Text(language_, lang::kWordName) + ":", name_);
  desc_ = new QPlainTextEdit(Q(collection_.desc()), page);
  desc_->setObjectName("desc");
  form->addRow(Text(language_, lang::kWordDescription) + ":", desc_);
  if (collection_.kind() != PoisKind::POIs) {
    colourButton_ = new QPushButton(page);
    colourButton_->setObjectName("colour");
    colourButton_->setAutoDefault(false);
    connect(colourButton_, &QPushButton::clicked, this, &CollectionDetailsDialog::ChooseColour);
    form->addRow(Text(language_, lang::kWordColour) + ":", colourButton_);
    ShowColour();
    width_ = new QSpinBox(page);
    width_->setObjectName("width");
    width_->setRange(kMinWidth, kMaxWidth);
    width_->setValue(collection_.width());
    form->addRow(Text(language_, lang::kWordLineWidth) + ":", width_);
  }
  return page;
}

QWidget* CollectionDetailsDialog::BuildStatistics() {
  auto* page = new QWidget(this);
  auto* grid = new QGridLayout(page);
  for (int i = 0; i < kDetailLines; ++i) {
    const auto at = static_cast<std::size_t>(i);
    labels_[at] = new QLabel(page);
    values_[at] = new QLabel(page);
    values_[at]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(labels_[at], i, 0);
    grid->addWidget(values_[at], i, 1);
  }
  grid->setRowStretch(kDetailLines, 1);
  FillStatistics();
  return page;
}

QWidget* CollectionDetailsDialog::BuildPoints() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  points_ = new QListWidget(page);
  points_->setObjectName("points");
  layout->addWidget(points_, 1);
  auto* row = new QHBoxLayout;
  auto button = [&](int entry, const char* name, void (CollectionDetailsDialog::*action)()) {
    auto* b = new QPushButton(Text(language_, entry), page);
    b->setObjectName(name);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, action);
    row->addWidget(b);
    return b;
  };
  up_ = button(lang::kCollectionMoveUp, "up", &CollectionDetailsDialog::MoveSelectedUp);
  down_ = button(lang::kCollectionMoveDown, "down", &CollectionDetailsDialog::MoveSelectedDown);
  deletePoint_ = button(lang::kButtonDelete, "deletePoint", &CollectionDetailsDialog::DeleteSelected);
  layout->addLayout(row);
  FillPoints(0);
  return page;
}

void CollectionDetailsDialog::FillStatistics() {
  const UnitChoice units = UnitChoiceOf(settings_);
  // Climb and descent are height differences: the altitude offset, which
  // moves the zero of the scale, is not added to them.
  UnitChoice heights = units;
  heights.altitudeOffset = 0;
  std::array<std::string, kDetailLines> values;
  values.fill(std::string(kMissingText));
  values[At(DetailLine::Distance)] = FormatDistanceText(units, collection_.statistics().Distance());
  if (const Analyzer* analyzer = AnalyzerOf(collection_.statistics())) {
    const Analyzer::Times times = analyzer->GetTimes(false);
    values[At(DetailLine::TotalTime)] = FormatDuration(times.total, false);
    values[At(DetailLine::MovingTime)] = FormatDuration(times.moving, false);
    values[At(DetailLine::AverageSpeed)] = FormatSpeed(units, analyzer->AverageSpeed(settings_.excludeStops)).Joined();
    values[At(DetailLine::MaxSpeed)] = FormatSpeed(units, analyzer->MaxSpeed()).Joined();
    values[At(DetailLine::MinAltitude)] = FormatAltitude(units, analyzer->MinAltitude()).Joined();
    values[At(DetailLine::MaxAltitude)] = FormatAltitude(units, analyzer->MaxAltitude()).Joined();
    values[At(DetailLine::Climb)] = FormatAltitude(heights, analyzer->Climb()).Joined();
    values[At(DetailLine::Descent)] = FormatAltitude(heights, analyzer->Descent()).Joined();
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    labels_[i]->setText(Text(language_, kLineLabels[i]) + ":");
    values_[i]->setText(Q(values[i]));
  }
}

void CollectionDetailsDialog::FillPoints(int select) {
  points_->clear();
  for (const GeoPoint& p : collection_.Points()) points_->addItem(Q(p.DisplayName()));
  if (points_->count() > 0) points_->setCurrentRow(std::clamp(select, 0, points_->count() - 1));
}

void CollectionDetailsDialog::ShowColour() {
  if (!colourButton_) return;
  QPixmap swatch(kSwatchSize, kSwatchSize);
  swatch.fill(ColourOf(colour_));
  colourButton_->setIcon(QIcon(swatch));
  colourButton_->setText(ColourOf(colour_).name());
}

void CollectionDetailsDialog::ChooseColour() {
  if (const std::optional<std::uint32_t> chosen = asker_.colour(colour_)) {
    colour_ = *chosen & 0x00ffffffu;
    ShowColour();
  }
}

void CollectionDetailsDialog::Move(bool up) {
  const int row = points_->currentRow();
  if (row < 0) return;
  const GeoPoint* point = collection_.PointAt(static_cast<std::size_t>(row));
  if (!point) return;
  const bool moved = up ? collection_.MovePointUp(point) : collection_.MovePointDown(point);
  FillPoints(moved ? row + (up ? -1 : 1) : row);
}

void CollectionDetailsDialog::MoveSelectedUp() { Move(true); }
void CollectionDetailsDialog::MoveSelectedDown() { Move(false); }

void CollectionDetailsDialog::DeleteSelected() {
  const int row = points_->currentRow();
  if (row < 0) return;
  const QString question = QString("%1 (%2)?").arg(Text(language_, lang::kPoiDeletePointQuestion),
                                                   points_->item(row)->text());
  if (!asker_.question(question)) return;
  if (const GeoPoint* point = collection_.PointAt(static_cast<std::size_t>(row))) collection_.DeletePoint(point);
  FillPoints(row);
}

void CollectionDetailsDialog::accept() {
  // A collection is hidden and current by its full name, which carries its
  // name: keep both across a rename.
  const std::string oldFullName = collection_.FullName();
  const bool wasHidden = !collection_.visible();
  const bool wasCurrent = waypoints_.current() == &collection_;
  collection_.SetName(name_->text().trimmed().toStdString());
  collection_.SetDesc(desc_->toPlainText().toStdString());
  if (collection_.kind() != PoisKind::POIs) {
    collection_.SetColor(colour_);
    if (width_) collection_.SetWidth(width_->value());
  }
  if (collection_.FullName() != oldFullName) {
    if (wasHidden) {
      settings_.hiddenPOIs.Remove(oldFullName);
      collection_.SetVisible(false);
    }
    if (wasCurrent) waypoints_.MakeCurrent(&collection_);
  }
  QDialog::accept();
}

QString CollectionDetailsDialog::statisticLabel(DetailLine line) const { return labels_[At(line)]->text(); }
QString CollectionDetailsDialog::statisticValue(DetailLine line) const { return values_[At(line)]->text(); }

}  // namespace rovana::dialogs
