// Tools › Geocoder: country, city and street (kept in `geoCountry`,
// `geoCity`, `geoStreet`) are looked up as an address; the result (the
// place's name, or why there is none) is shown, and a place found can be
// shown on the map or made the navigation target, which closes the dialog.
//
// The lookup is given in: it blocks the caller but keeps the user interface
// alive, like the search.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "app/waypoints/GeoPoint.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace rovana {
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::dialogs {

struct GeocodeRunResult {
  bool success = false;
  GeoPoint point;    // when found
  std::string text;  // the place's name, not found, offline or failed
};

struct GeocoderActions {
  // Looks up the address the settings' three fields make (stored just before).
  std::function<GeocodeRunResult()> geocode;
  std::function<void(const GeoPoint&)> showOnMap;
  std::function<void(const GeoPoint&)> setTarget;
};

class GeocoderDialog : public QDialog {
  Q_OBJECT

 public:
  GeocoderDialog(SettingsStore& settings, const LanguageTable& language, GeocoderActions actions,
                 QWidget* parent = nullptr);

  // Stores the fields and looks the address up.
  void Lookup();
  QString resultText() const;
  const std::optional<GeoPoint>& found() const { return found_; }

 private:
  void Store();

  SettingsStore& settings_;
  const LanguageTable& language_;
  GeocoderActions actions_;
  QLineEdit* country_ = nullptr;
  QLineEdit* city_ = nullptr;
  QLineEdit* street_ = nullptr;
  QLabel* result_ = nullptr;
  QPushButton* show_ = nullptr;
  QPushButton* target_ = nullptr;
  std::optional<GeoPoint> found_;
  bool busy_ = false;
};

}  // namespace rovana::dialogs
