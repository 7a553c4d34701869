// The dashboard: one owner-drawn page of live values, read again and redrawn
// every 500 ms - the filter's current altitude, the live grade, speed, pace
// and acceleration, and three instruments (the acceleration indicator with
// its direction, a speed dial to 100 and a compass of the moving heading).
// The six items have fixed places for each screen orientation (landscape,
// portrait, square); the speed and acceleration items carry their
// instrument, the compass item is the compass alone. A tap closes the page,
// as does the Escape key.
//
// The analyzer and the filter are read through their own locks; the
// settings are only read.
#pragma once

#include <QDialog>
#include <QRect>
#include <QString>
#include <array>

#include "app/core/Utilities.h"

class QTimer;

namespace rovana {
class Accurator;
class Analyzer;
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::dialogs {

enum class DashItem { Altitude, Grade, Speed, Pace, Acceleration, Compass };
inline constexpr int kDashItems = 6;

// What the page shows, read at one moment.
struct DashboardReading {
  std::array<QString, kDashItems> labels;  // by DashItem; the compass has none
  std::array<QString, kDashItems> values;  // the pace is empty while standing
  double speedOnScale = 0;       // the live speed in the speed unit, for the dial
  double acceleration = 0;       // g
  double accelerationDirection = 0;  // radians, see instruments::DrawAcceleration
  double heading = 0;            // the live moving heading, radians
};

// The rectangles of the six items inside `area`, by DashItem, in the fixed
// arrangement of `orientation`. Items never overlap and stay inside `area`.
std::array<QRect, kDashItems> DashboardLayout(Orientation orientation, const QRect& area);

class DashboardDialog : public QDialog {
  Q_OBJECT

 public:
  // `live` and `filter` must outlive the dialog.
  DashboardDialog(const Analyzer& live, const Accurator& filter, const SettingsStore& settings,
                  const LanguageTable& language, QWidget* parent = nullptr);

  // Reads the values again and schedules a redraw (the timer calls it).
  void Refresh();
  const DashboardReading& reading() const { return reading_; }
  // The items' rectangles for the dialog's present size.
  std::array<QRect, kDashItems> itemRects() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  DashboardReading Read() const;

  const Analyzer& live_;
  const Accurator& filter_;
  const SettingsStore& settings_;
  const LanguageTable& language_;
  DashboardReading reading_;
  QTimer* timer_ = nullptr;
};

}  // namespace rovana::dialogs
