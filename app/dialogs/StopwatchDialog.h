// The stopwatch: a measurement that the live speed starts and stops (from one
// speed to another, over a distance, or for a time), run by the dialog's own
// 33 ms timer, which feeds the stopwatch with the live analyzer's speed. The
// page shows the state, the elapsed time with milliseconds and the distance;
// Start and Stop buttons start and end a measurement by hand, Reset arms it
// again. The mode and the thresholds edit the settings stopwatchType,
// stopwatchStartSpeed, stopwatchStopSpeed, stopwatchStopDistance and
// stopwatchStopTime as they are typed (speeds and the distance in the user's
// units); a field the user did not touch is never written back, so opening
// the page does not round a stored value. A start and a stop beep when
// soundEnabled is on.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

#include "app/processing/Stopwatch.h"

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace rovana {
class Analyzer;
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::dialogs {

class StopwatchDialog : public QDialog {
  Q_OBJECT

 public:
  // Plays what a tick or a button asks for; the default beeps with
  // QApplication::beep for both sounds.
  using Beeper = std::function<void(StopwatchSound)>;
  // A 32-bit millisecond tick; the default is the monotonic clock.
  using TickSource = std::function<std::uint32_t()>;

  // `live` must outlive the dialog.
  StopwatchDialog(const Analyzer& live, SettingsStore& settings, const LanguageTable& language,
                  QWidget* parent = nullptr, Beeper beeper = {}, TickSource ticks = {});

  // One timer tick: feeds the live speed, plays the sound, shows the result.
  void Tick();
  void Start();  // the Start button
  void Stop();   // the Stop button
  void Rearm();  // the Reset button: armed again, elapsed and distance 0

  const Stopwatch& stopwatch() const { return stopwatch_; }
  QString stateText() const;
  QString elapsedText() const;
  QString distanceText() const;

  QComboBox* modeBox() const { return mode_; }
  QLineEdit* startSpeedEdit() const { return startSpeed_; }
  QLineEdit* stopSpeedEdit() const { return stopSpeed_; }
  QLineEdit* stopDistanceEdit() const { return stopDistance_; }
  QLineEdit* stopTimeEdit() const { return stopTime_; }
  QPushButton* startButton() const { return start_; }
  QPushButton* stopButton() const { return stopButton_; }

 private:
  void Play(StopwatchSound sound);
  void ShowResult();
  void EnableFields();
  QLineEdit* AddField(QGridLayout* grid, int row, int label, const QString& value, const QString& unit);

  const Analyzer& live_;
  SettingsStore& settings_;
  const LanguageTable& language_;
  Beeper beeper_;
  TickSource ticks_;
  Stopwatch stopwatch_;

  QComboBox* mode_ = nullptr;
  QLineEdit* startSpeed_ = nullptr;
  QLineEdit* stopSpeed_ = nullptr;
  QLineEdit* stopDistance_ = nullptr;
  QLineEdit* stopTime_ = nullptr;
  QLabel* state_ = nullptr;
  QLabel* elapsed_ = nullptr;
  QLabel* distance_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace rovana::dialogs
