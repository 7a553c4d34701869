#include "app/dialogs/CoordinatePage.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>

#include "app/coords/CoordinateCatalogue.h"
#include "app/coords/PositionText.h"
#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"

namespace rovana::dialogs {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }

// The mode names are the position-entry dialog's page titles.
constexpr int kModeNames[kDisplayModes] = {lang::kCoordTabDegrees, lang::kCoordTabDegMin, lang::kCoordTabDegMinSec,
                                           lang::kCoordTabGrid, lang::kCoordTabSigned};

// The catalogue grids that pick their zone from a list, for the labels.
constexpr int kGridSpcs27 = 30, kGridSpcs83 = 31, kGridDhdn = 29;

// "Zone (SPCS_27):": the grid names are the same in every language.
QString ZoneLabel(const LanguageTable& language, int grid) {
  return Q(language.Entry(lang::kCoordZone)) + " (" + Q(GridById(grid).name) + "):";
}

QComboBox* NewBox(const char* name, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  return box;
}

QLabel* NewDescription(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setWordWrap(true);
  return label;
}

int RowOr0(int row) { return row < 0 ? 0 : row; }

std::string Data(const QComboBox* box) { return box->currentData().toString().toStdString(); }

}  // namespace

CoordinatePage::CoordinatePage(const SettingsStore& settings, const LanguageTable& language, QWidget* parent)
    : QWidget(parent) {
  auto* form = new QFormLayout(this);

  mode_ = NewBox("locatorTab", this);
  for (int m = 0; m < kDisplayModes; ++m) mode_->addItem(Q(language.Entry(kModeNames[m])), m);
  mode_->setCurrentIndex(static_cast<int>(DisplayModeOf(settings.locatorTab)));
  form->addRow(Q(language.Entry(lang::kSettingsTabDisplay)) + ":", mode_);

  datum_ = NewBox("locatorDatum", this);
  for (const DatumEntry& d : DatumCatalogue()) datum_->addItem(Q(d.name), d.id);
  datum_->setCurrentIndex(DatumIndex(settings.locatorDatum));
  form->addRow(Q(language.Entry(lang::kCoordDatum)), datum_);
  datumText_ = NewDescription("datumDescription", this);
  form->addRow(datumText_);

  grid_ = NewBox("locatorGrid", this);
  for (const GridEntry& g : GridCatalogue()) grid_->addItem(Q(g.name), g.id);
  grid_->setCurrentIndex(GridIndex(settings.locatorGrid));
  form->addRow(Q(language.Entry(lang::kCoordGrid)), grid_);
  gridText_ = NewDescription("gridDescription", this);
  form->addRow(gridText_);

  spcs27_ = NewBox("locatorZoneSPCS27", this);
  spcs83_ = NewBox("locatorZoneSPCS83", this);
  for (const StatePlaneZone& z : StatePlaneZones()) {
    spcs27_->addItem(Q(StatePlaneZoneLabel(z)), Q(z.code));
    spcs83_->addItem(Q(StatePlaneZoneLabel(z)), Q(z.code));
  }
  spcs27_->setCurrentIndex(RowOr0(StatePlaneZoneIndex(settings.locatorZoneSPCS27)));
  spcs83_->setCurrentIndex(RowOr0(StatePlaneZoneIndex(settings.locatorZoneSPCS83)));
  form->addRow(ZoneLabel(language, kGridSpcs27), spcs27_);
  form->addRow(ZoneLabel(language, kGridSpcs83), spcs83_);

  dhdn_ = NewBox("locatorZoneDHDN", this);
  for (std::string_view z : DhdnZones()) dhdn_->addItem(Q(z), Q(z));
  dhdn_->setCurrentIndex(RowOr0(DhdnZoneIndex(settings.locatorZoneDHDN)));
  form->addRow(ZoneLabel(language, kGridDhdn), dhdn_);

  const QComboBox* boxes[] = {mode_, datum_, grid_, spcs27_, spcs83_, dhdn_};
  for (std::size_t i = 0; i < std::size(boxes); ++i) opened_[i] = boxes[i]->currentIndex();

  ShowDescriptions();
  connect(datum_, &QComboBox::currentIndexChanged, this, [this] { ShowDescriptions(); });
  connect(grid_, &QComboBox::currentIndexChanged, this, [this] { ShowDescriptions(); });
}

void CoordinatePage::ShowDescriptions() {
  datumText_->setText(Q(DatumById(datum_->currentData().toInt()).description));
  gridText_->setText(Q(GridById(grid_->currentData().toInt()).description));
}

bool CoordinatePage::Store(SettingsStore& settings) const {
  bool changed = false;
  auto moved = [&](int i, const QComboBox* box) {
    const bool m = box->currentIndex() != opened_[i];
    changed = changed || m;
    return m;
  };
  if (moved(0, mode_)) settings.locatorTab = mode_->currentData().toInt();
  if (moved(1, datum_)) settings.locatorDatum = datum_->currentData().toInt();
  if (moved(2, grid_)) settings.locatorGrid = grid_->currentData().toInt();
  if (moved(3, spcs27_)) settings.locatorZoneSPCS27 = Data(spcs27_);
  if (moved(4, spcs83_)) settings.locatorZoneSPCS83 = Data(spcs83_);
  if (moved(5, dhdn_)) settings.locatorZoneDHDN = Data(dhdn_);
  return changed;
}

}  // namespace rovana::dialogs
