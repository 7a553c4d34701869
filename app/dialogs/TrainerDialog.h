// The trainer page: whether the trainer runs and is shown on the map, its
// pace (a constant speed in the user's speed unit, or a factor on the pace
// recorded in the followed track) and the walking direction of the followed
// route or track; below, the race as it stands (the trainer's status, both
// distances along the track, the gap and the time gap), read from the Target
// again every second while the page is open; and a button that makes the
// trainer ready again, to start from the user's place.
//
// OK writes the switches and the pace; a pace field nobody typed in is not
// written back (no rounding by merely opening the page). Cancel leaves the
// settings as they were; the restart button acts at once.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/waypoints/GeoPoint.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace rovana {
class LanguageTable;
class SettingsStore;
class Target;
}  // namespace rovana

namespace rovana::dialogs {

class TrainerDialog : public QDialog {
  Q_OBJECT

 public:
  struct Sources {
    std::function<std::uint32_t()> ticks;   // the paint's millisecond tick; the steady clock without
    std::function<double()> averageSpeed;   // km/h without stops, for the time gap; 0 without
    std::function<std::optional<GeoPoint>()> user;  // where the user is, for the way to go; none without
  };

  // `target` must outlive the page.
  TrainerDialog(Target& target, SettingsStore& settings, const LanguageTable& language, QWidget* parent = nullptr,
                Sources sources = {});

  void accept() override;
  // Reads the race from the Target again (the timer calls it).
  void Refresh();

  QCheckBox* enabledBox() const { return enabled_; }
  QCheckBox* visibleBox() const { return visible_; }
  QCheckBox* reverseBox() const { return reverse_; }
  QRadioButton* constantButton() const { return constant_; }
  QRadioButton* relativeButton() const { return relative_; }
  QLineEdit* speedEdit() const { return speed_; }
  QLineEdit* factorEdit() const { return factor_; }
  QPushButton* restartButton() const { return restart_; }
  QString statusText() const;
  // The value shown for the user's and the trainer's distance, the gap and the time gap.
  enum class Line { User = 0, Trainer = 1, Gap = 2, TimeGap = 3, DistanceToGo = 4, TimeToGo = 5 };
  QString valueText(Line line) const;

 private:
  Target& target_;
  SettingsStore& settings_;
  const LanguageTable& language_;
  Sources sources_;
  QCheckBox* enabled_ = nullptr;
  QCheckBox* visible_ = nullptr;
  QCheckBox* reverse_ = nullptr;
  QRadioButton* constant_ = nullptr;
  QRadioButton* relative_ = nullptr;
  QLineEdit* speed_ = nullptr;
  QLineEdit* factor_ = nullptr;
  QString speedShown_, factorShown_;
  QLabel* status_ = nullptr;
  QLabel* values_[6] = {};
  QPushButton* restart_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace rovana::dialogs
