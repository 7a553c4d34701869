#include "app/dialogs/StopwatchDialog.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/coords/Units.h"
#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "app/processing/Accurator.h"
#include "app/processing/Analyzer.h"

namespace rovana::dialogs {
namespace {

constexpr int kTickMs = 33;
constexpr int kModes = 3;  // stopwatchType 0 speed, 1 distance, 2 time

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }
QString Q(const std::string& text) { return QString::fromStdString(text); }
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }
std::string S(const QString& text) { return text.toStdString(); }

void BeepOnce(StopwatchSound sound) {
  if (sound != StopwatchSound::None) QApplication::beep();
}

}  // namespace

StopwatchDialog::StopwatchDialog(const Analyzer& live, SettingsStore& settings, const LanguageTable& language,
                                 QWidget* parent, Beeper beeper, TickSource ticks)
    : QDialog(parent),
      live_(live),
      settings_(settings),
      language_(language),
      beeper_(beeper ? std::move(beeper) : Beeper(BeepOnce)),
      ticks_(ticks ? std::move(ticks) : TickSource(Accurator::SteadyTicks)) {
  setWindowTitle(QString::fromStdString(language.Title(lang::kMenuToolsStopwatch)));
  const UnitChoice units = UnitChoiceOf(settings_);
  auto* layout = new QVBoxLayout(this);

  mode_ = new QComboBox(this);
  mode_->setObjectName("stopwatchType");
  for (int entry : {lang::kStopwatchModeSpeed, lang::kStopwatchModeDistance, lang::kStopwatchModeTime})
    mode_->addItem(Text(language, entry));
  const int type = settings_.stopwatchType;
  // A stored mode the page does not know is shown as the first, but kept
  // until the user picks one.
  mode_->setCurrentIndex(type >= 0 && type < kModes ? type : 0);
  connect(mode_, &QComboBox::currentIndexChanged, this, [this](int index) {
    settings_.stopwatchType = index;
    EnableFields();
  });
  layout->addWidget(mode_);

  auto* grid = new QGridLayout;
  const UnitText speedUnit = FormatSpeed(units, 0);
  const UnitText distanceUnit = FormatDistance(units, settings_.stopwatchStopDistance, true);
  startSpeed_ = AddField(grid, 0, lang::kStopwatchStartSpeed, Q(FormatSpeed(units, settings_.stopwatchStartSpeed).value),
                         Q(speedUnit.shortName));
  stopSpeed_ = AddField(grid, 1, lang::kStopwatchStopSpeed, Q(FormatSpeed(units, settings_.stopwatchStopSpeed).value),
                        Q(speedUnit.shortName));
  stopDistance_ = AddField(grid, 2, lang::kStopwatchStopDistance, Q(distanceUnit.value),
                           Q(distanceUnit.unit) + Q(distanceUnit.shortName));
  stopTime_ = AddField(grid, 3, lang::kStopwatchStopTime, Q(FormatFixed(settings_.stopwatchStopTime, 1)), QString());
  startSpeed_->setObjectName("stopwatchStartSpeed");
  stopSpeed_->setObjectName("stopwatchStopSpeed");
  stopDistance_->setObjectName("stopwatchStopDistance");
  stopTime_->setObjectName("stopwatchStopTime");
  // Each field writes its setting as it is typed, read in the user's unit.
  connect(startSpeed_, &QLineEdit::textEdited, this, [this](const QString& text) {
    settings_.stopwatchStartSpeed = ParseSpeed(UnitChoiceOf(settings_), S(text));
  });
  connect(stopSpeed_, &QLineEdit::textEdited, this, [this](const QString& text) {
    settings_.stopwatchStopSpeed = ParseSpeed(UnitChoiceOf(settings_), S(text));
  });
  connect(stopDistance_, &QLineEdit::textEdited, this, [this](const QString& text) {
    settings_.stopwatchStopDistance = ParseDistance(UnitChoiceOf(settings_), S(text), true);
  });
  connect(stopTime_, &QLineEdit::textEdited, this,
          [this](const QString& text) { settings_.stopwatchStopTime = ReadNumber(S(text)); });
  layout->addLayout(grid);

  state_ = new QLabel(this);
  state_->setObjectName("state");
  elapsed_ = new QLabel(this);
  elapsed_->setObjectName("elapsed");
  distance_ = new QLabel(this);
  distance_->setObjectName("distance");
  QFont large = font();
  large.setPointSizeF(large.pointSizeF() * 2);
  large.setBold(true);
  for (QLabel* label : {elapsed_, distance_}) {
    label->setFont(large);
    label->setAlignment(Qt::AlignCenter);
  }
  state_->setAlignment(Qt::AlignCenter);
  layout->addWidget(state_);
  layout->addWidget(elapsed_);
  layout->addWidget(distance_);
  layout->addStretch(1);

  auto* row = new QHBoxLayout;
  start_ = new QPushButton(Text(language, lang::kButtonStart), this);
  start_->setObjectName("start");
  stopButton_ = new QPushButton(Text(language, lang::kButtonStop), this);
  stopButton_->setObjectName("stop");
  auto* reset = new QPushButton(Text(language, lang::kButtonReset), this);
  reset->setObjectName("reset");
  connect(start_, &QPushButton::clicked, this, &StopwatchDialog::Start);
  connect(stopButton_, &QPushButton::clicked, this, &StopwatchDialog::Stop);
  connect(reset, &QPushButton::clicked, this, &StopwatchDialog::Rearm);
  row->addWidget(start_);
  row->addWidget(stopButton_);
  row->addWidget(reset);
  layout->addLayout(row);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* back = buttons->addButton(Text(language, lang::kButtonBack), QDialogButtonBox::RejectRole);
  connect(back, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);

  EnableFields();
  ShowResult();
  timer_ = new QTimer(this);
  timer_->setTimerType(Qt::PreciseTimer);
  connect(timer_, &QTimer::timeout, this, &StopwatchDialog::Tick);
  timer_->start(kTickMs);
}

QLineEdit* StopwatchDialog::AddField(QGridLayout* grid, int row, int label, const QString& value,
                                     const QString& unit) {
  auto* edit = new QLineEdit(value, this);
  grid->addWidget(new QLabel(Text(language_, label), this), row, 0);
  grid->addWidget(edit, row, 1);
  grid->addWidget(new QLabel(unit, this), row, 2);
  return edit;
}

void StopwatchDialog::EnableFields() {
  const int type = mode_->currentIndex();
  stopSpeed_->setEnabled(type == 0);
  stopDistance_->setEnabled(type == 1);
  stopTime_->setEnabled(type == 2);
}

void StopwatchDialog::Tick() {
  Play(stopwatch_.Tick(StopwatchSettingsOf(settings_), ticks_(), live_.Speed()));
  ShowResult();
}

void StopwatchDialog::Start() {
  Play(stopwatch_.Start(StopwatchSettingsOf(settings_)));
  ShowResult();
}

void StopwatchDialog::Stop() {
  Play(stopwatch_.Stop(StopwatchSettingsOf(settings_)));
  ShowResult();
}

void StopwatchDialog::Rearm() {
  stopwatch_.Arm();
  ShowResult();
}

void StopwatchDialog::Play(StopwatchSound sound) {
  if (sound != StopwatchSound::None) beeper_(sound);
}

void StopwatchDialog::ShowResult() {
  state_->setText(stateText());
  elapsed_->setText(elapsedText());
  distance_->setText(distanceText());
  start_->setEnabled(stopwatch_.state() != StopwatchState::Running);
  stopButton_->setEnabled(stopwatch_.state() == StopwatchState::Running);
}

QString StopwatchDialog::stateText() const {
  switch (stopwatch_.state()) {
    case StopwatchState::Armed: return Text(language_, lang::kStopwatchArmed);
    case StopwatchState::Running: return Text(language_, lang::kStopwatchRunning);
    case StopwatchState::Stopped: break;
  }
  return Text(language_, lang::kStopwatchStopped);
}

QString StopwatchDialog::elapsedText() const { return Q(FormatDuration(stopwatch_.elapsed(), true)); }

QString StopwatchDialog::distanceText() const {
  return Q(FormatDistanceText(UnitChoiceOf(settings_), stopwatch_.distance()));
}

}  // namespace rovana::dialogs
