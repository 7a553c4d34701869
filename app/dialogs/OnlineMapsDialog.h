// The online maps page: whether tiles are shown (mapsOnlineEnabled), when
// they are downloaded (mapsOnlineDownload: never, always, only when online),
// the map type (mapsOnlineType), high resolution (mapsOnlineHiRes), the
// cache size in kilobytes (mapsOnlineCacheSize), the tile sources
// (mapsOnlineTemplate, mapsOnlineMapHost, mapsOnlineSatHost) and a button
// that clears the cache after asking.
//
// OK writes the page into the settings; Cancel leaves them alone (a cache
// cleared stays cleared).
#pragma once

#include <QDialog>
#include <functional>

#include "app/dialogs/DialogAsker.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace rovana {
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::dialogs {

class OnlineMapsDialog : public QDialog {
  Q_OBJECT

 public:
  // `clearCache` deletes the cached tiles; the button is disabled without it.
  OnlineMapsDialog(SettingsStore& settings, const LanguageTable& language, QWidget* parent = nullptr,
                   DialogAsker asker = {}, std::function<void()> clearCache = {});

  void accept() override;

  QCheckBox* showBox() const { return show_; }
  QComboBox* downloadBox() const { return download_; }
  QComboBox* typeBox() const { return type_; }
  QCheckBox* hiResBox() const { return hiRes_; }
  QSpinBox* cacheSizeBox() const { return cacheSize_; }
  QLineEdit* templateEdit() const { return template_; }
  QLineEdit* mapHostEdit() const { return mapHost_; }
  QLineEdit* satHostEdit() const { return satHost_; }
  QPushButton* clearButton() const { return clear_; }

 private:
  SettingsStore& settings_;
  const LanguageTable& language_;
  DialogAsker asker_;
  std::function<void()> clearCache_;
  QCheckBox* show_ = nullptr;
  QComboBox* download_ = nullptr;
  QComboBox* type_ = nullptr;
  QCheckBox* hiRes_ = nullptr;
  QSpinBox* cacheSize_ = nullptr;
  QLineEdit* template_ = nullptr;
  QLineEdit* mapHost_ = nullptr;
  QLineEdit* satHost_ = nullptr;
  QPushButton* clear_ = nullptr;
};

}  // namespace rovana::dialogs
