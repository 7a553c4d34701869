#include "app/dialogs/TrainerDialog.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <array>
#include <cmath>

#include "app/coords/Units.h"
#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "app/dialogs/DialogButtons.h"
#include "app/processing/Accurator.h"
#include "app/processing/Target.h"

namespace rovana::dialogs {
namespace {

constexpr int kRefreshMs = 1000;

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }
QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr std::array<int, 7> kStatusTexts = {
    lang::kTrainerStatusNone,   lang::kTrainerStatusReady, lang::kTrainerStatusLevel, lang::kTrainerStatusBehind,
    lang::kTrainerStatusAhead,  lang::kTrainerStatusWon,   lang::kTrainerStatusLost,
};

// Seconds, with a sign when the user is that far ahead; -1 is "not known".
QString TimeGapText(double seconds) {
  if (seconds == -1) return "?";
  const QString magnitude = Q(FormatDuration(std::fabs(seconds), false));
  return seconds < 0 ? "-" + magnitude : magnitude;
}

}  // namespace

TrainerDialog::TrainerDialog(Target& target, SettingsStore& settings, const LanguageTable& language,
                             QWidget* parent, Sources sources)
    : QDialog(parent), target_(target), settings_(settings), language_(language), sources_(std::move(sources)) {
  if (!sources_.ticks) sources_.ticks = &Accurator::SteadyTicks;
  if (!sources_.averageSpeed) sources_.averageSpeed = [] { return 0.0; };
  setWindowTitle(Q(language.Title(lang::kMenuToolsTrainer)));
  const UnitChoice units = UnitChoiceOf(settings_);
  auto* layout = new QVBoxLayout(this);

  const auto box = [&](const char* name, int entry, bool on) {
    auto* check = new QCheckBox(Text(language, entry), this);
    check->setObjectName(name);
    check->setChecked(on);
    layout->addWidget(check);
    return check;
  };
  enabled_ = box("trainerEnabled", lang::kTrainerEnable, settings_.trainerEnabled);
  visible_ = box("trainerVisible", lang::kTrainerVisible, settings_.trainerVisible);
  reverse_ = box("targetReverseTrack", lang::kTargetReverse, settings_.targetReverseTrack);

  auto* pace = new QGridLayout;
  auto* group = new QButtonGroup(this);
  constant_ = new QRadioButton(Text(language, lang::kTrainerConstant), this);
  constant_->setObjectName("constant");
  relative_ = new QRadioButton(Text(language, lang::kTrainerRelative), this);
  relative_->setObjectName("relative");
  group->addButton(constant_);
  group->addButton(relative_);
  (settings_.trainerConstant ? constant_ : relative_)->setChecked(true);
  speedShown_ = Q(FormatSpeed(units, settings_.trainerConstantVal).value);
  speed_ = new QLineEdit(speedShown_, this);
  speed_->setObjectName("trainerConstantVal");
  factorShown_ = Q(FormatFixed(settings_.trainerRelativeVal, 2));
  factor_ = new QLineEdit(factorShown_, this);
  factor_->setObjectName("trainerRelativeVal");
  pace->addWidget(constant_, 0, 0);
  pace->addWidget(speed_, 0, 1);
  pace->addWidget(new QLabel(Q(std::string(FormatSpeed(units, 0).shortName)), this), 0, 2);
  pace->addWidget(relative_, 1, 0);
  pace->addWidget(factor_, 1, 1);
  layout->addLayout(pace);

  status_ = new QLabel(this);
  status_->setObjectName("status");
  status_->setWordWrap(true);
  layout->addWidget(status_);
  auto* race = new QGridLayout;
  const QString labels[6] = {Text(language, lang::kWordUser),          Q(language.Title(lang::kMenuToolsTrainer)),
                             Text(language, lang::kTrainerGap),        Text(language, lang::kTrainerTimeGap),
                             Text(language, lang::kTargetDistanceToGo), Text(language, lang::kTargetTimeToGo)};
  for (int i = 0; i < 6; ++i) {
    race->addWidget(new QLabel(labels[i] + ":", this), i, 0);
    values_[i] = new QLabel(this);
    values_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    race->addWidget(values_[i], i, 1);
  }
  layout->addLayout(race);

  restart_ = new QPushButton(Text(language, lang::kTrainerRestart), this);
  restart_->setObjectName("restart");
  connect(restart_, &QPushButton::clicked, this, [this] {
    target_.RearmTrainer();
    Refresh();
  });
  layout->addWidget(restart_);
  layout->addStretch(1);

  layout->addWidget(OkCancelButtons(*this, language));

  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &TrainerDialog::Refresh);
  timer_->start(kRefreshMs);
  Refresh();
}

void TrainerDialog::Refresh() {
  const TargetSummary s = target_.Summary(sources_.ticks(), sources_.averageSpeed());
  const auto status = static_cast<std::size_t>(s.trainerStatus);
  status_->setText(s.following ? Text(language_, kStatusTexts[status < kStatusTexts.size() ? status : 0])
                               : Text(language_, lang::kTrainerNeedsTrack));
  restart_->setEnabled(s.following);
  const UnitChoice units = UnitChoiceOf(settings_);
  values_[0]->setText(Q(FormatDistanceText(units, s.userAlong)));
  values_[1]->setText(Q(FormatDistanceText(units, s.trainerAlong)));
  values_[2]->setText(Q(FormatDistanceText(units, s.gap)));
  values_[3]->setText(TimeGapText(s.timeGap));
  // The way to the target from where the user is; "-" without a target or
  // before any speed is known.
  const std::optional<GeoPoint> user = sources_.user ? sources_.user() : std::nullopt;
  const double distance = user ? target_.DistanceToGo(*user) : -1;
  const double seconds = user ? target_.TimeToGo(*user, sources_.averageSpeed()) : -1;
  values_[4]->setText(distance < 0 ? QString("-") : Q(FormatDistanceText(units, distance)));
  values_[5]->setText(seconds < 0 ? QString("-") : Q(FormatDuration(seconds, false)));
}

QString TrainerDialog::statusText() const { return status_->text(); }

QString TrainerDialog::valueText(Line line) const { return values_[static_cast<int>(line)]->text(); }

void TrainerDialog::accept() {
  settings_.trainerEnabled = enabled_->isChecked();
  settings_.trainerVisible = visible_->isChecked();
  settings_.targetReverseTrack = reverse_->isChecked();
  settings_.trainerConstant = constant_->isChecked();
  if (speed_->text() != speedShown_)
    settings_.trainerConstantVal = ParseSpeed(UnitChoiceOf(settings_), speed_->text().toStdString());
  if (factor_->text() != factorShown_) settings_.trainerRelativeVal = ReadNumber(factor_->text().toStdString());
  QDialog::accept();
}

}  // namespace rovana::dialogs
