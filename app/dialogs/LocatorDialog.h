// The position-entry dialog (Tools > Locator, View > Set target): a position
// typed in any of the five display modes, on the chosen datum and grid.
//
// One page per display mode, the datum picker above them, the altitude field
// (in the altitude unit, on the chosen datum) below. The grid page holds the
// grid picker, the zone (typed for UTM-style grids, picked for State Plane
// 1927/1983 and DHDN), northing and easting, and the 100-km square texts of
// the British grid. On the British grid the two fields show "BNG 80000.00"
// and "TQ 30000.00" and take those texts, a whole reference ("TQ 30000
// 80000") or bare full coordinates back (ReadBritishGridFields).
//
// Opening fills the page of the current mode from the Locator's position.
// Every edit of a field converts the page back into the Locator's position
// and refreshes the page's other fields; a field that does not read counts 0,
// and a conversion the library refuses leaves the fields and the position as
// they were and shows the library's message. Changing page, datum or grid
// shows the same position in the new form.
//
// OK stores the page as locatorTab and the datum, grid and zone picks in the
// settings; the caller then takes position(). Cancel gives the Locator back
// its choice and position and leaves the settings alone.
#pragma once

#include <QDialog>
#include <array>

#include "app/coords/Locator.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QTabWidget;

namespace rovana {
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::dialogs {

class LocatorDialog : public QDialog {
  Q_OBJECT

 public:
  // `locator` starts the dialog at its position and choice and takes the
  // typed position; it must outlive the dialog.
  LocatorDialog(Locator& locator, SettingsStore& settings, const LanguageTable& language, QWidget* parent = nullptr);

  // The position entered (WGS 84, radians, metres).
  GeoPoint position() const { return locator_.position(); }

  void accept() override;
  void reject() override;

  // The widgets, for tests. `axis` 0 is the latitude, 1 the longitude; the
  // grid page has no angle fields (null).
  QTabWidget* tabs() const { return tabs_; }
  QComboBox* datumBox() const { return datum_; }
  QLineEdit* altitudeEdit() const { return altitude_; }
  QLineEdit* degreesEdit(DisplayMode page, int axis) const { return Row(page, axis).degrees; }
  QLineEdit* minutesEdit(DisplayMode page, int axis) const { return Row(page, axis).minutes; }
  QLineEdit* secondsEdit(DisplayMode page, int axis) const { return Row(page, axis).seconds; }
  QComboBox* hemisphereBox(DisplayMode page, int axis) const { return Row(page, axis).hemisphere; }
  QComboBox* gridBox() const { return grid_; }
  QLineEdit* northingEdit() const { return northing_; }
  QLineEdit* eastingEdit() const { return easting_; }
  QLineEdit* utmZoneEdit() const { return utmZone_; }
  QComboBox* spcs27Box() const { return spcs27_; }
  QComboBox* spcs83Box() const { return spcs83_; }
  QComboBox* dhdnBox() const { return dhdn_; }
  QLabel* britishLabel() const { return british_; }
  // The library's message after a refused conversion; empty otherwise.
  QLabel* statusLabel() const { return status_; }

 private:
  struct AngleRow {
    QLineEdit* degrees = nullptr;
    QLineEdit* minutes = nullptr;
    QLineEdit* seconds = nullptr;
    QComboBox* hemisphere = nullptr;
  };
  const AngleRow& Row(DisplayMode page, int axis) const;
  // The angle (0 latitude, 1 longitude) a field of `page` belongs to; -1 for
  // the other fields.
  int AxisOf(DisplayMode page, const QWidget* field) const;
  QWidget* MakeAnglePage(DisplayMode page);
  QWidget* MakeGridPage();
  DisplayMode CurrentPage() const;
  void ShowZoneWidgets();
  // Which fields a fill rewrites: all of them (opening, a new page, datum or
  // grid), or after an edit only the fields of the edited angle (so 10°75'
  // reads 11°15') and the zone and square texts. A coordinate the user typed
  // on the other axis is never rewritten by an edit: it would drift through
  // the conversions of every half-typed value.
  // Grid: after a whole British grid reference, both grid fields except the
  // edited one and the derived texts.
  enum class Refresh { All, Latitude, Longitude, Derived, Grid };
  void Fill(DisplayMode page, const QWidget* except, Refresh refresh);
  // Converts the current page back (after an edit of `source`).
  void Edited(const QWidget* source);
  void ChoiceChanged(bool redisplay);
  void ShowStatus(bool ok);

  Locator& locator_;
  SettingsStore& settings_;
  const LanguageTable& language_;
  const LocatorChoice openedChoice_;
  const GeoPoint openedPosition_;
  UnitChoice units_;
  bool filling_ = false;

  QTabWidget* tabs_ = nullptr;
  QComboBox* datum_ = nullptr;
  QLineEdit* altitude_ = nullptr;
  std::array<std::array<AngleRow, 2>, kDisplayModes> rows_{};
  QComboBox* grid_ = nullptr;
  QStackedWidget* zoneStack_ = nullptr;
  QLineEdit* utmZone_ = nullptr;
  QComboBox* spcs27_ = nullptr;
  QComboBox* spcs83_ = nullptr;
  QComboBox* dhdn_ = nullptr;
  QLineEdit* northing_ = nullptr;
  QLineEdit* easting_ = nullptr;
  QLabel* british_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace rovana::dialogs
