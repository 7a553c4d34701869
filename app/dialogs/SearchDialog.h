// GPX › Search: the provider, the text searched for, whether earlier results
// go, and the geocache filters. OK stores the choices in the settings
// (`searchDB`, `searchWhat` for the local searches, `searchDeletePOIs`,
// `searchGeoF`/`NF`/`O`/`NO`), then runs the search with the wait cursor,
// shows the result text and closes when the search succeeded.
//
// The search itself is given in: it blocks the caller but keeps the user
// interface alive (questions about going online are answered meanwhile) and
// returns the outcome.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "app/dialogs/DialogAsker.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;

namespace rovana {
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::dialogs {

struct SearchRunResult {
  bool success = false;
  std::string text;  // shown when not empty
};
using SearchRun = std::function<SearchRunResult()>;

class SearchDialog : public QDialog {
  Q_OBJECT

 public:
  // `asker.message` shows the result text (a message box when empty).
  SearchDialog(SettingsStore& settings, const LanguageTable& language, SearchRun run, QWidget* parent = nullptr,
               DialogAsker asker = {});

  void accept() override;
  // What the last run said; for tests.
  const std::string& lastText() const { return lastText_; }

 private:
  void Store();
  void FollowProvider();

  SettingsStore& settings_;
  const LanguageTable& language_;
  SearchRun run_;
  DialogAsker asker_;
  QButtonGroup* providers_ = nullptr;
  QLineEdit* what_ = nullptr;
  QCheckBox* deletePois_ = nullptr;
  QCheckBox* filters_[4] = {};
  bool busy_ = false;
  std::string lastText_;
};

}  // namespace rovana::dialogs
