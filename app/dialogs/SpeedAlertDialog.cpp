#include "app/dialogs/SpeedAlertDialog.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>

#include "app/coords/Units.h"
#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"

namespace rovana::dialogs {
namespace {

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }
QString Q(const std::string& text) { return QString::fromStdString(text); }
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }

// The chosen speed matches a preset when they agree to well below what any
// unit shows.
constexpr double kSameSpeed = 1e-6;

}  // namespace

SpeedAlertDialog::SpeedAlertDialog(SettingsStore& settings, const LanguageTable& language, QWidget* parent)
    : QDialog(parent), settings_(settings), language_(language) {
  setWindowTitle(QString::fromStdString(language.Title(lang::kMenuToolsSpeedAlert)));
  const UnitChoice units = UnitChoiceOf(settings_);
  auto* layout = new QVBoxLayout(this);

  enabled_ = new QCheckBox(QString::fromStdString(language.Title(lang::kMenuToolsSpeedAlert)), this);
  enabled_->setObjectName("speedAlertEnabled");
  enabled_->setChecked(settings_.speedAlertEnabled);
  layout->addWidget(enabled_);

  layout->addWidget(new QLabel(Text(language, lang::kSpeedAlertWhen), this));
  auto* direction = new QHBoxLayout;
  above_ = new QRadioButton(Text(language, lang::kSpeedAlertAbove), this);
  above_->setObjectName("above");
  below_ = new QRadioButton(Text(language, lang::kSpeedAlertBelow), this);
  below_->setObjectName("below");
  auto* directionGroup = new QButtonGroup(this);
  directionGroup->addButton(above_);
  directionGroup->addButton(below_);
  (settings_.speedMaxMin ? above_ : below_)->setChecked(true);
  direction->addWidget(above_);
  direction->addWidget(below_);
  direction->addStretch(1);
  layout->addLayout(direction);

  alertSpeed_ = new QLabel(this);
  alertSpeed_->setObjectName("alertSpeed");
  layout->addWidget(alertSpeed_);
  auto* grid = new QGridLayout;
  auto* presetGroup = new QButtonGroup(this);
  const QString unit = Q(FormatSpeed(units, 0).shortName);
  for (int i = 0; i < kSpeedPresets; ++i) {
    Preset& p = presets_[static_cast<std::size_t>(i)];
    p.pick = new QRadioButton(this);
    p.pick->setObjectName(QString("pick%1").arg(i + 1));
    presetGroup->addButton(p.pick, i);
    p.shown = Q(FormatSpeed(units, *PresetSetting(i)).value);
    p.edit = new QLineEdit(p.shown, this);
    p.edit->setObjectName(QString("speed%1").arg(i + 1));
    grid->addWidget(p.pick, i, 0);
    grid->addWidget(p.edit, i, 1);
    grid->addWidget(new QLabel(unit, this), i, 2);
    connect(p.edit, &QLineEdit::textEdited, this, [this, i] {
      if (presets_[static_cast<std::size_t>(i)].pick->isChecked()) picked_ = true;
      ShowAlertSpeed();
    });
  }
  // The preset that holds the chosen speed starts picked; none when the
  // speed was set otherwise.
  for (int i = 0; i < kSpeedPresets; ++i) {
    if (std::fabs(*PresetSetting(i) - settings_.speedSelected) < kSameSpeed) {
      presets_[static_cast<std::size_t>(i)].pick->setChecked(true);
      break;
    }
  }
  connect(presetGroup, &QButtonGroup::idClicked, this, [this](int) {
    picked_ = true;
    ShowAlertSpeed();
  });
  layout->addLayout(grid);
  layout->addStretch(1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(Text(language, lang::kButtonOk), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(Text(language, lang::kButtonCancel), QDialogButtonBox::RejectRole);
  connect(ok, &QPushButton::clicked, this, &SpeedAlertDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);
  ShowAlertSpeed();
}

double* SpeedAlertDialog::PresetSetting(int index) const {
  switch (index) {
    case 0: return &settings_.speed1;
    case 1: return &settings_.speed2;
    default: return &settings_.speed3;
  }
}

double SpeedAlertDialog::PresetValue(int index) const {
  const Preset& p = presets_[Clamp(index)];
  if (p.edit->text() == p.shown) return *PresetSetting(index);
  return ParseSpeed(UnitChoiceOf(settings_), p.edit->text().toStdString());
}

int SpeedAlertDialog::pickedPreset() const {
  for (int i = 0; i < kSpeedPresets; ++i)
    if (presets_[static_cast<std::size_t>(i)].pick->isChecked()) return i;
  return -1;
}

QString SpeedAlertDialog::alertSpeedText() const { return alertSpeed_->text(); }

void SpeedAlertDialog::ShowAlertSpeed() {
  const int picked = pickedPreset();
  const double speed = picked_ && picked >= 0 ? PresetValue(picked) : settings_.speedSelected;
  alertSpeed_->setText(QString("%1 %2").arg(Text(language_, lang::kSpeedAlertSpeed),
                                            Q(FormatSpeed(UnitChoiceOf(settings_), speed).Joined())));
}

void SpeedAlertDialog::accept() {
  settings_.speedAlertEnabled = enabled_->isChecked();
  settings_.speedMaxMin = above_->isChecked();
  const int picked = pickedPreset();
  if (picked_ && picked >= 0) settings_.speedSelected = PresetValue(picked);
  for (int i = 0; i < kSpeedPresets; ++i) *PresetSetting(i) = PresetValue(i);
  QDialog::accept();
}

}  // namespace rovana::dialogs
