#include "app/dialogs/SettingsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <limits>

#include "app/core/LanguageEntries.h"
#include "app/dialogs/CoordinatePage.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"

namespace rovana::dialogs {
namespace {

namespace L = lang;

constexpr SettingsRow kRows[] = {
    {0, "zoomEnabled", L::kSettingsShowZoomBar},
    {0, "compassEnabled", L::kSettingsShowCompass},
    {0, "locatorEnabled", L::kSettingsShowLocator},
    {0, "basicsEnabled", L::kSettingsShowBasics},
    {0, "userEnabled", L::kSettingsShowUser},
    {0, "targetEnabled", L::kSettingsShowTarget},
    {0, "labels2Enabled", L::kSettingsShowLabels},
    {0, "directionEnabled", L::kSettingsShowDirection},
    {0, "shrinkSymbols", L::kSettingsShrinkSymbols},
    {0, "hideTitleBar", L::kSettingsHideTitleBar},
    {0, "hideMenuBar2", L::kSettingsHideMenuBar},
    {0, "hideBugMenu", L::kSettingsHideBugMenu},

    {1, "followMarker", L::kSettingsFollowMarker},
    {1, "heading", L::kSettingsMapHeading},
    {1, "gridEnabled", L::kSettingsShowGrid},
    {1, "gridAuto", L::kSettingsGridAuto},
    {1, "gridStep", L::kSettingsGridStep},
    {1, "backgroundCol", L::kSettingsBackground, EditStyle::Colour},
    {1, "compassDirectionEnabled", L::kSettingsCompassNeedle},
    {1, "compassLabelUser", L::kSettingsCompassLabelUser},
    {1, "compassLabelTarget", L::kSettingsCompassLabelTarget},
    {1, "headingCompass", L::kSettingsCompassHeading},

    {2, "trackMaxTimeCheck", L::kSettingsTrackMaxTime},
    {2, "trackMaxTimeVal", -1},
    {2, "trackMaxDistCheck", L::kSettingsTrackMaxDist},
    {2, "trackMaxDistVal", -1},
    {2, "trackMaxDevCheck", L::kSettingsTrackMaxDev},
    {2, "trackMaxDevVal", -1},
    {2, "timePerDistance", L::kSettingsPaceDistance},
    {2, "horizon", L::kFilterHorizon},
    {2, "saveDataUnicode", L::kSettingsSaveUnicode},

    {3, "unitSpeed", L::kUnitSpeed},
    {3, "unitDistance", L::kUnitDistance},
    {3, "unitAltitude", L::kUnitAltitude},
    {3, "altitudeOffset", L::kUnitAltitudeOffset},
    {3, "eastingOffset", L::kUnitEastingOffset},
    {3, "northingOffset", L::kUnitNorthingOffset},

    {4, "primaryDataPath", L::kSettingsPrimaryData},
    {4, "secondaryDataPath", L::kSettingsSecondaryData},
    {4, "CacheDataPath", L::kSettingsCacheFolder},
    {4, "soundEnabled", L::kSettingsSound},
    {4, "preventStandbyEnabled", L::kSettingsPreventStandby},
    {4, "preventBackLightsEnabled", L::kSettingsBacklight},
    {4, "wakeupEnabled", L::kSettingsWakeup},
    {4, "wakeupInterval", L::kSettingsWakeupInterval},
};

constexpr int kTabTitles[] = {L::kSettingsTabDisplay, L::kSettingsTabMap, L::kSettingsTabTrack, L::kSettingsTabUnits,
                              L::kSettingsTabSystem};
constexpr int kTabs = 5;

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }

constexpr int kRealDecimals = 6;
constexpr double kRealLimit = 1e12;

// The value a widget shows, to tell edited rows from untouched ones.
QVariant Shown(const QWidget* widget) {
  if (auto* box = qobject_cast<const QCheckBox*>(widget)) return box->isChecked();
  if (auto* spin = qobject_cast<const QSpinBox*>(widget)) return spin->value();
  if (auto* spin = qobject_cast<const QDoubleSpinBox*>(widget)) return spin->value();
  if (auto* edit = qobject_cast<const QLineEdit*>(widget)) return edit->text();
  return {};
}

}  // namespace

std::vector<SettingsRow> SettingsRows() { return {std::begin(kRows), std::end(kRows)}; }

SettingsDialog::SettingsDialog(SettingsStore& settings, const LanguageTable& language, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  setWindowTitle(QString::fromStdString(language.Title(L::kMenuConfigSettings)));
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  layout->addWidget(tabs_, 1);
  QFormLayout* forms[kTabs] = {};
  for (int t = 0; t < kTabs; ++t) {
    auto* scroll = new QScrollArea(tabs_);
    scroll->setWidgetResizable(true);
    auto* page = new QWidget(scroll);
    forms[t] = new QFormLayout(page);
    scroll->setWidget(page);
    tabs_->addTab(scroll, Text(language, kTabTitles[t]));
  }

  for (const SettingsRow& row : kRows) {
    const SettingKey* key = FindSettingKey(row.key);
    if (!key || row.tab < 0 || row.tab >= kTabs) continue;
    QFormLayout* form = forms[row.tab];
    const QString label = row.label >= 0 ? Text(language, row.label) : QString();
    QWidget* widget = nullptr;
    switch (key->kind) {
      case SettingKind::Boolean: {
        auto* box = new QCheckBox(label);
        box->setChecked(settings_.*(key->boolean));
        form->addRow(box);
        widget = box;
        break;
      }
      case SettingKind::Integer: {
        auto* spin = new QSpinBox;
        spin->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
        if (row.style == EditStyle::Colour) {
          spin->setRange(0, 0xFFFFFF);
          spin->setDisplayIntegerBase(16);
          spin->setPrefix("0x");
        }
        spin->setValue(settings_.*(key->integer));
        form->addRow(label, spin);
        widget = spin;
        break;
      }
      case SettingKind::Real: {
        auto* spin = new QDoubleSpinBox;
        spin->setRange(-kRealLimit, kRealLimit);
        spin->setDecimals(kRealDecimals);
        spin->setValue(settings_.*(key->real));
        form->addRow(label, spin);
        widget = spin;
        break;
      }
      case SettingKind::Text: {
        auto* edit = new QLineEdit(QString::fromStdString(settings_.*(key->text)));
        form->addRow(label, edit);
        widget = edit;
        break;
      }
      case SettingKind::Position:
      case SettingKind::TextList:
        break;  // not edited here
    }
    if (!widget) continue;
    widget->setObjectName(QString::fromUtf8(row.key.data(), static_cast<int>(row.key.size())));
    editors_.push_back(Editor{key, widget, Shown(widget)});
  }

  auto* scroll = new QScrollArea(tabs_);
  scroll->setWidgetResizable(true);
  coordinates_ = new CoordinatePage(settings_, language, scroll);
  scroll->setWidget(coordinates_);
  tabs_->addTab(scroll, Text(language, L::kWordPosition));

  auto* box = new QDialogButtonBox(this);
  box->addButton(Text(language, L::kButtonOk), QDialogButtonBox::AcceptRole);
  box->addButton(Text(language, L::kButtonCancel), QDialogButtonBox::RejectRole);
  connect(box, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);
  layout->addWidget(box);
  tabs_->setCurrentIndex(settings_.settingsTab >= 0 && settings_.settingsTab < tabs_->count() ? settings_.settingsTab
                                                                                              : 0);
}

QWidget* SettingsDialog::editorOf(std::string_view key) const {
  for (const Editor& e : editors_)
    if (static_cast<const SettingKey*>(e.row)->key == key) return e.widget;
  // The coordinates page names its pickers after their keys too (an empty
  // name would match any child).
  if (key.empty()) return nullptr;
  return coordinates_->findChild<QWidget*>(QString::fromUtf8(key.data(), static_cast<int>(key.size())));
}

void SettingsDialog::accept() {
  for (const Editor& e : editors_) {
    if (Shown(e.widget) == e.shown) continue;  // untouched: the stored value stays exact
    const SettingKey* key = static_cast<const SettingKey*>(e.row);
    switch (key->kind) {
      case SettingKind::Boolean: settings_.*(key->boolean) = static_cast<QCheckBox*>(e.widget)->isChecked(); break;
      case SettingKind::Integer: settings_.*(key->integer) = static_cast<QSpinBox*>(e.widget)->value(); break;
      case SettingKind::Real: settings_.*(key->real) = static_cast<QDoubleSpinBox*>(e.widget)->value(); break;
      case SettingKind::Text: settings_.*(key->text) = static_cast<QLineEdit*>(e.widget)->text().toStdString(); break;
      case SettingKind::Position:
      case SettingKind::TextList: break;
    }
  }
  coordinatesChanged_ = coordinates_->Store(settings_);
  settings_.settingsTab = tabs_->currentIndex();
  QDialog::accept();
}

void SettingsDialog::reject() {
  settings_.settingsTab = tabs_->currentIndex();  // the page is remembered either way
  QDialog::reject();
}

}  // namespace rovana::dialogs
