#include "app/dialogs/LocatorDialog.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"

namespace rovana::dialogs {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }
std::string S(const QString& text) { return text.toStdString(); }

// The tab labels, in display mode order.
constexpr int kPageTitles[kDisplayModes] = {lang::kCoordTabDegrees, lang::kCoordTabDegMin, lang::kCoordTabDegMinSec,
                                            lang::kCoordTabGrid, lang::kCoordTabSigned};

// The zone stack's pages, by zone kind (the British grid shows no zone).
int ZonePage(ZoneKind kind) {
  switch (kind) {
    case ZoneKind::Utm: return 1;
    case ZoneKind::StatePlane27: return 2;
    case ZoneKind::StatePlane83: return 3;
    case ZoneKind::Dhdn: return 4;
    default: return 0;
  }
}

// The picked row of a zone list: the setting's zone, else the first row.
int ZoneRow(int index) { return index < 0 ? 0 : index; }

void SetUnlessSource(QLineEdit* edit, const std::string& text, const QWidget* except) {
  if (edit && edit != except) edit->setText(Q(text));
}

}  // namespace

LocatorDialog::LocatorDialog(Locator& locator, SettingsStore& settings, const LanguageTable& language, QWidget* parent)
    : QDialog(parent),
      locator_(locator),
      settings_(settings),
      language_(language),
      openedChoice_(locator.choice()),
      openedPosition_(locator.position()),
      units_(UnitChoiceOf(settings)) {
  setWindowTitle(Q(language.Title(lang::kMenuToolsLocator)));
  filling_ = true;
  auto* layout = new QVBoxLayout(this);

  auto* datumRow = new QHBoxLayout;
  datumRow->addWidget(new QLabel(Q(language.Entry(lang::kCoordDatum)), this));
  datum_ = new QComboBox(this);
  datum_->setObjectName("datum");
  for (const DatumEntry& d : DatumCatalogue()) datum_->addItem(Q(d.name), d.id);
  datum_->setCurrentIndex(DatumIndex(locator.choice().datum));
  datumRow->addWidget(datum_, 1);
  layout->addLayout(datumRow);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("pages");
  for (int page = 0; page < kDisplayModes; ++page) {
    const auto mode = static_cast<DisplayMode>(page);
    QWidget* widget = mode == DisplayMode::Grid ? MakeGridPage() : MakeAnglePage(mode);
    tabs_->addTab(widget, Q(language.Entry(kPageTitles[page])));
  }
  layout->addWidget(tabs_, 1);

  auto* altitudeRow = new QHBoxLayout;
  altitudeRow->addWidget(new QLabel(Q(language.Entry(lang::kWordAltitude)), this));
  altitude_ = new QLineEdit(this);
  altitude_->setObjectName("altitude");
  altitudeRow->addWidget(altitude_, 1);
  altitudeRow->addWidget(new QLabel(Q(FormatAltitude(units_, 0).shortName), this));
  layout->addLayout(altitudeRow);
  connect(altitude_, &QLineEdit::textEdited, this, [this] { Edited(altitude_); });

  status_ = new QLabel(this);
  status_->setObjectName("status");
  status_->setWordWrap(true);
  layout->addWidget(status_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(Q(language.Entry(lang::kButtonOk)));
  buttons->button(QDialogButtonBox::Cancel)->setText(Q(language.Entry(lang::kButtonCancel)));
  connect(buttons, &QDialogButtonBox::accepted, this, &LocatorDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &LocatorDialog::reject);
  layout->addWidget(buttons);

  tabs_->setCurrentIndex(static_cast<int>(locator.choice().mode));
  ShowZoneWidgets();
  filling_ = false;

  connect(datum_, &QComboBox::currentIndexChanged, this, [this] { ChoiceChanged(true); });
  connect(grid_, &QComboBox::currentIndexChanged, this, [this] { ChoiceChanged(true); });
  connect(tabs_, &QTabWidget::currentChanged, this, [this] { ChoiceChanged(true); });
  for (QComboBox* zone : {spcs27_, spcs83_, dhdn_})
    connect(zone, &QComboBox::currentIndexChanged, this, [this, zone] {
      if (filling_) return;
      ChoiceChanged(false);
      Edited(zone);
    });
  connect(utmZone_, &QLineEdit::textEdited, this, [this](const QString& text) {
    locator_.SetUtmZone(S(text));
    Edited(utmZone_);
  });
  Fill(CurrentPage(), nullptr, Refresh::All);
}

const LocatorDialog::AngleRow& LocatorDialog::Row(DisplayMode page, int axis) const {
  const int p = static_cast<int>(page);
  return rows_[static_cast<std::size_t>(p >= 0 && p < kDisplayModes ? p : 0)][axis == 1 ? 1 : 0];
}

QWidget* LocatorDialog::MakeAnglePage(DisplayMode page) {
  auto* widget = new QWidget(this);
  auto* grid = new QGridLayout(widget);
  const HemisphereLetters letters = HemisphereLettersOf(language_);
  const QString pageName = QString::number(static_cast<int>(page));
  for (int axis = 0; axis < 2; ++axis) {
    AngleRow& row = rows_[static_cast<std::size_t>(page)][static_cast<std::size_t>(axis)];
    const QString name = (axis == 0 ? "latitude" : "longitude") + pageName;
    int column = 0;
    grid->addWidget(new QLabel(Q(language_.Entry(axis == 0 ? lang::kWordLatitude : lang::kWordLongitude)), widget),
                    axis, column++);
    auto addEdit = [&](const char* part, const QString& mark) {
      auto* edit = new QLineEdit(widget);
      edit->setObjectName(name + part);
      grid->addWidget(edit, axis, column++);
      if (!mark.isEmpty()) grid->addWidget(new QLabel(mark, widget), axis, column++);
      connect(edit, &QLineEdit::textEdited, this, [this, edit] { Edited(edit); });
      return edit;
    };
    const bool whole = page == DisplayMode::DegMin || page == DisplayMode::DegMinSec;
    row.degrees = addEdit("Degrees", whole ? Q(kDegreeSign) : QString());
    if (whole) row.minutes = addEdit("Minutes", "'");
    if (page == DisplayMode::DegMinSec) row.seconds = addEdit("Seconds", "\"");
    if (page != DisplayMode::Signed) {
      row.hemisphere = new QComboBox(widget);
      row.hemisphere->setObjectName(name + "Hemisphere");
      row.hemisphere->addItem(Q(axis == 0 ? letters.north : letters.east));
      row.hemisphere->addItem(Q(axis == 0 ? letters.south : letters.west));
      grid->addWidget(row.hemisphere, axis, column++);
      connect(row.hemisphere, &QComboBox::currentIndexChanged, this, [this, box = row.hemisphere] {
        if (!filling_) Edited(box);
      });
    }
  }
  grid->setRowStretch(2, 1);
  return widget;
}

QWidget* LocatorDialog::MakeGridPage() {
  auto* widget = new QWidget(this);
  auto* grid = new QGridLayout(widget);
  grid->addWidget(new QLabel(Q(language_.Entry(lang::kCoordGrid)), widget), 0, 0);
  grid_ = new QComboBox(widget);
  grid_->setObjectName("grid");
  for (const GridEntry& g : GridCatalogue()) grid_->addItem(Q(g.name), g.id);
  grid_->setCurrentIndex(GridIndex(locator_.choice().grid));
  grid->addWidget(grid_, 0, 1);

  grid->addWidget(new QLabel(Q(language_.Entry(lang::kCoordZone)), widget), 1, 0);
  zoneStack_ = new QStackedWidget(widget);
  zoneStack_->addWidget(new QWidget(zoneStack_));
  utmZone_ = new QLineEdit(zoneStack_);
  utmZone_->setObjectName("utmZone");
  zoneStack_->addWidget(utmZone_);
  const LocatorChoice& choice = locator_.choice();
  spcs27_ = new QComboBox(zoneStack_);
  spcs27_->setObjectName("zoneSPCS27");
  spcs83_ = new QComboBox(zoneStack_);
  spcs83_->setObjectName("zoneSPCS83");
  for (const StatePlaneZone& z : StatePlaneZones()) {
    spcs27_->addItem(Q(StatePlaneZoneLabel(z)), Q(z.code));
    spcs83_->addItem(Q(StatePlaneZoneLabel(z)), Q(z.code));
  }
  spcs27_->setCurrentIndex(ZoneRow(StatePlaneZoneIndex(choice.zoneSpcs27)));
  spcs83_->setCurrentIndex(ZoneRow(StatePlaneZoneIndex(choice.zoneSpcs83)));
  zoneStack_->addWidget(spcs27_);
  zoneStack_->addWidget(spcs83_);
  dhdn_ = new QComboBox(zoneStack_);
  dhdn_->setObjectName("zoneDHDN");
  for (std::string_view z : DhdnZones()) dhdn_->addItem(Q(z), Q(z));
  dhdn_->setCurrentIndex(ZoneRow(DhdnZoneIndex(choice.zoneDhdn)));
  zoneStack_->addWidget(dhdn_);
  grid->addWidget(zoneStack_, 1, 1);

  grid->addWidget(new QLabel(Q(language_.Entry(lang::kCoordNorthing)), widget), 2, 0);
  northing_ = new QLineEdit(widget);
  northing_->setObjectName("northing");
  grid->addWidget(northing_, 2, 1);
  grid->addWidget(new QLabel(Q(language_.Entry(lang::kCoordEasting)), widget), 3, 0);
  easting_ = new QLineEdit(widget);
  easting_->setObjectName("easting");
  grid->addWidget(easting_, 3, 1);
  british_ = new QLabel(widget);
  british_->setObjectName("british");
  grid->addWidget(british_, 4, 0, 1, 2);
  grid->setRowStretch(5, 1);
  connect(northing_, &QLineEdit::textEdited, this, [this] { Edited(northing_); });
  connect(easting_, &QLineEdit::textEdited, this, [this] { Edited(easting_); });
  return widget;
}

DisplayMode LocatorDialog::CurrentPage() const { return DisplayModeOf(tabs_->currentIndex()); }

void LocatorDialog::ShowZoneWidgets() {
  const ZoneKind kind = GridById(grid_->currentData().toInt()).zoneKind;
  zoneStack_->setCurrentIndex(ZonePage(kind == ZoneKind::None && grid_->currentData().toInt() == kGridDefault
                                           ? ZoneKind::Utm  // Default is shown on UTM_NORTH
                                           : kind));
  british_->setVisible(kind == ZoneKind::British);
}

// Takes the pickers into the Locator; with `redisplay` the page shows the
// position again in the new form.
void LocatorDialog::ChoiceChanged(bool redisplay) {
  if (filling_) return;
  LocatorChoice choice = locator_.choice();
  choice.mode = CurrentPage();
  choice.datum = datum_->currentData().toInt();
  choice.grid = grid_->currentData().toInt();
  choice.zoneSpcs27 = S(spcs27_->currentData().toString());
  choice.zoneSpcs83 = S(spcs83_->currentData().toString());
  choice.zoneDhdn = S(dhdn_->currentData().toString());
  locator_.Select(choice);
  ShowZoneWidgets();
  if (redisplay) Fill(CurrentPage(), nullptr, Refresh::All);
}

void LocatorDialog::ShowStatus(bool ok) {
  status_->setText(ok ? QString() : Q(language_.Entry(lang::kCoordConversionFailed)) + " " + Q(locator_.lastError()));
}

int LocatorDialog::AxisOf(DisplayMode page, const QWidget* field) const {
  if (!field || page == DisplayMode::Grid) return -1;
  for (int axis = 0; axis < 2; ++axis) {
    const AngleRow& row = Row(page, axis);
    if (field == row.degrees || field == row.minutes || field == row.seconds || field == row.hemisphere) return axis;
  }
  return -1;
}

void LocatorDialog::Fill(DisplayMode page, const QWidget* except, Refresh refresh) {
  filling_ = true;
  const bool all = refresh == Refresh::All;
  bool ok = false;
  double altitude = 0;
  if (page == DisplayMode::Grid) {
    GridView view;
    ok = locator_.ToGridView(&view);
    if (ok) {
      altitude = view.altitude;
      if (all || refresh == Refresh::Grid) {
        const bool british = locator_.zoneKind() == ZoneKind::British;
        SetUnlessSource(northing_, british ? view.british.northing : FormatGridCoordinate(view.northing), except);
        SetUnlessSource(easting_, british ? view.british.easting : FormatGridCoordinate(view.easting), except);
      }
      if (locator_.zoneKind() == ZoneKind::Utm) SetUnlessSource(utmZone_, view.zone, except);
      british_->setText(Q(view.british.easting + "   " + view.british.northing));
    }
  } else {
    DatumView view;
    ok = locator_.ToDatumView(&view);
    if (ok) {
      altitude = view.altitude;
      for (int axis = 0; axis < 2; ++axis) {
        if (!all && refresh != (axis == 0 ? Refresh::Latitude : Refresh::Longitude)) continue;
        const AngleRow& row = Row(page, axis);
        const AngleFields f = AngleFieldsOf(axis == 0 ? view.latitude : view.longitude, page);
        SetUnlessSource(row.degrees, f.degrees, except);
        SetUnlessSource(row.minutes, f.minutes, except);
        SetUnlessSource(row.seconds, f.seconds, except);
        if (row.hemisphere && row.hemisphere != except) row.hemisphere->setCurrentIndex(f.negative ? 1 : 0);
      }
    }
  }
  if (ok && all && altitude_ != except) altitude_->setText(Q(FormatAltitude(units_, altitude).value));
  ShowStatus(ok);
  filling_ = false;
}

void LocatorDialog::Edited(const QWidget* source) {
  if (filling_) return;
  const DisplayMode page = CurrentPage();
  const double altitude = ParseAltitude(units_, S(altitude_->text()));
  bool ok = false;
  bool reference = false;
  if (page == DisplayMode::Grid && locator_.zoneKind() == ZoneKind::British) {
    GridView shown;  // the 100-km row of a "BNG" northing typed without square letters
    if (!locator_.ToGridView(&shown)) shown.northing = 0;
    const GridField edited = source == northing_  ? GridField::Northing
                             : source == easting_ ? GridField::Easting
                                                  : GridField::Other;
    const BritishGridInput input =
        ReadBritishGridFields(S(northing_->text()), S(easting_->text()), shown.northing, edited);
    reference = input.reference;
    ok = locator_.FromGridView(input.northing, input.easting, altitude);
  } else if (page == DisplayMode::Grid) {
    ok = locator_.FromGridView(ReadDecimal(S(northing_->text())), ReadDecimal(S(easting_->text())), altitude);
  } else {
    double angles[2] = {0, 0};
    for (int axis = 0; axis < 2; ++axis) {
      const AngleRow& row = Row(page, axis);
      AngleFields f;
      f.degrees = S(row.degrees->text());
      if (row.minutes) f.minutes = S(row.minutes->text());
      if (row.seconds) f.seconds = S(row.seconds->text());
      f.negative = row.hemisphere && row.hemisphere->currentIndex() == 1;
      angles[axis] = AngleOfFields(f, page);
    }
    ok = locator_.FromDatumView(angles[0], angles[1], altitude);
  }
  const int axis = AxisOf(page, source);
  if (ok)
    Fill(page, source,
         reference ? Refresh::Grid
         : axis == 0 ? Refresh::Latitude
         : axis == 1 ? Refresh::Longitude
                     : Refresh::Derived);
  else
    ShowStatus(false);
}

void LocatorDialog::accept() {
  LocatorChoice choice = locator_.choice();
  choice.mode = CurrentPage();
  locator_.Select(choice);
  StoreLocatorChoice(choice, settings_);
  QDialog::accept();
}

void LocatorDialog::reject() {
  locator_.Select(openedChoice_);
  locator_.SetPosition(openedPosition_);
  QDialog::reject();
}

}  // namespace rovana::dialogs
