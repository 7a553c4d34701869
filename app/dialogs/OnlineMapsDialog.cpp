#include "app/dialogs/OnlineMapsDialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "app/dialogs/DialogButtons.h"

namespace rovana::dialogs {
namespace {

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }

// The largest cache the page offers: 4 GB in kilobytes.
constexpr int kMostCacheKB = 4 * 1024 * 1024;

// Addresses are kept as typed, without surrounding spaces.
std::string Trimmed(const QLineEdit* edit) { return edit->text().trimmed().toStdString(); }

}  // namespace

OnlineMapsDialog::OnlineMapsDialog(SettingsStore& settings, const LanguageTable& language, QWidget* parent,
                                   DialogAsker asker, std::function<void()> clearCache)
    : QDialog(parent),
      settings_(settings),
      language_(language),
      asker_(WithDefaultBoxes(std::move(asker), language, this)),
      clearCache_(std::move(clearCache)) {
  setWindowTitle(QString::fromStdString(language.Title(lang::kMenuMapGoogleMaps)));
  auto* layout = new QVBoxLayout(this);

  show_ = new QCheckBox(Text(language, lang::kOnlineMapsShow), this);
  show_->setObjectName("mapsOnlineEnabled");
  show_->setChecked(settings_.mapsOnlineEnabled);
  layout->addWidget(show_);

  auto* form = new QFormLayout;
  download_ = new QComboBox(this);
  download_->setObjectName("mapsOnlineDownload");
  for (int entry : {lang::kOnlineMapsNever, lang::kOnlineMapsAlways, lang::kOnlineMapsWhenOnline})
    download_->addItem(Text(language, entry));
  download_->setCurrentIndex(std::clamp(settings_.mapsOnlineDownload, 0, 2));
  form->addRow(Text(language, lang::kOnlineMapsDownload), download_);

  type_ = new QComboBox(this);
  type_->setObjectName("mapsOnlineType");
  for (int entry : {lang::kOnlineMapsSatellite, lang::kOnlineMapsRoadMap, lang::kOnlineMapsHybrid,
                    lang::kOnlineMapsTerrain})
    type_->addItem(Text(language, entry));
  type_->setCurrentIndex(std::clamp(settings_.mapsOnlineType, 0, 3));
  form->addRow(Text(language, lang::kOnlineMapsType), type_);

  hiRes_ = new QCheckBox(Text(language, lang::kOnlineMapsHiRes), this);
  hiRes_->setObjectName("mapsOnlineHiRes");
  hiRes_->setChecked(settings_.mapsOnlineHiRes);
  form->addRow(hiRes_);

  cacheSize_ = new QSpinBox(this);
  cacheSize_->setObjectName("mapsOnlineCacheSize");
  cacheSize_->setRange(0, kMostCacheKB);
  cacheSize_->setValue(std::clamp(std::abs(settings_.mapsOnlineCacheSize), 0, kMostCacheKB));
  form->addRow(Text(language, lang::kOnlineMapsCacheSize), cacheSize_);

  // The sources: an XYZ address, the host of road map, hybrid and terrain
  // tiles, and the satellite host.
  template_ = new QLineEdit(QString::fromStdString(settings_.mapsOnlineTemplate), this);
  template_->setObjectName("mapsOnlineTemplate");
  template_->setPlaceholderText("https://tile.example.org/{z}/{x}/{y}.png");
  form->addRow(Text(language, lang::kPoiLink), template_);
  mapHost_ = new QLineEdit(QString::fromStdString(settings_.mapsOnlineMapHost), this);
  mapHost_->setObjectName("mapsOnlineMapHost");
  mapHost_->setPlaceholderText("https://mt{s}.example.org");
  form->addRow(Text(language, lang::kOnlineMapsRoadMap) + ", " + Text(language, lang::kOnlineMapsHybrid) + ", " +
                   Text(language, lang::kOnlineMapsTerrain) + ":",
               mapHost_);
  satHost_ = new QLineEdit(QString::fromStdString(settings_.mapsOnlineSatHost), this);
  satHost_->setObjectName("mapsOnlineSatHost");
  satHost_->setPlaceholderText("https://khm{s}.example.org");
  form->addRow(Text(language, lang::kOnlineMapsSatellite) + ":", satHost_);
  layout->addLayout(form);

  clear_ = new QPushButton(Text(language, lang::kOnlineMapsClearCache), this);
  clear_->setObjectName("clearCache");
  clear_->setEnabled(static_cast<bool>(clearCache_));
  connect(clear_, &QPushButton::clicked, this, [this] {
    if (!clearCache_ || !asker_.question(Text(language_, lang::kOnlineMapsClearQuestion) + "?")) return;
    clearCache_();
  });
  layout->addWidget(clear_);
  layout->addStretch(1);
  layout->addWidget(OkCancelButtons(*this, language));
}

void OnlineMapsDialog::accept() {
  settings_.mapsOnlineEnabled = show_->isChecked();
  settings_.mapsOnlineDownload = download_->currentIndex();
  settings_.mapsOnlineType = type_->currentIndex();
  settings_.mapsOnlineHiRes = hiRes_->isChecked();
  settings_.mapsOnlineCacheSize = cacheSize_->value();
  settings_.mapsOnlineTemplate = Trimmed(template_);
  settings_.mapsOnlineMapHost = Trimmed(mapHost_);
  settings_.mapsOnlineSatHost = Trimmed(satHost_);
  QDialog::accept();
}

}  // namespace rovana::dialogs
