// Tools › VozazId: buddy tracking and chat, on five pages.
//   0 Status:  the mode (`vozazidEnabled`: off, on, only while online) and
//              the privacy note.
//   1 Buddies: the buddy list with "show on map" check boxes (enable or
//              disable a buddy), add a buddy by nickname and PIN, delete one.
//   2 Chat:    the chat log (`chatMessages`), a buddy and a line to send.
//   3 Me:      nickname and private PIN (sent to the service on OK when
//              changed), the public PIN the service gave, the follow note.
//   4 Options: upload, download and chat intervals with their switches,
//              the second server, `chatNotify`.
// Actions run through OnlineActions (off the user-interface thread); their
// results are shown in words on the page. OK writes the settings of the
// pages; the page shown last is kept in `vozazidTab`.
#pragma once

#include <QDialog>
#include <vector>

#include "app/dialogs/OnlineActions.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace rovana {
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::dialogs {

class VozazIdDialog : public QDialog {
  Q_OBJECT

 public:
  enum Page { kStatus = 0, kBuddies = 1, kChat = 2, kMe = 3, kOptions = 4 };

  // `page` < 0: the page shown last (`vozazidTab`).
  VozazIdDialog(SettingsStore& settings, const LanguageTable& language, OnlineActions actions, int page = -1,
                QWidget* parent = nullptr);

  void accept() override;
  void reject() override;
  // Reads the buddy list and the chat log again (a timer calls it).
  void Refresh();

  QTabWidget* tabs() const { return tabs_; }
  QComboBox* modeBox() const { return mode_; }
  QListWidget* buddyList() const { return buddies_; }
  QLineEdit* addNicknameEdit() const { return addNickname_; }
  QLineEdit* addPinEdit() const { return addPin_; }
  QPushButton* addButton() const { return add_; }
  QPushButton* deleteButton() const { return delete_; }
  QComboBox* chatBuddyBox() const { return chatBuddy_; }
  QLineEdit* chatLineEdit() const { return chatLine_; }
  QPushButton* sendButton() const { return send_; }
  QPlainTextEdit* chatLog() const { return log_; }
  QLineEdit* nicknameEdit() const { return nickname_; }
  QLineEdit* pinEdit() const { return pin_; }
  QString statusText() const;

 private:
  QWidget* StatusPage();
  QWidget* BuddiesPage();
  QWidget* ChatPage();
  QWidget* MePage();
  QWidget* OptionsPage();
  // Runs an action and shows its result; `after` runs on success.
  void Act(std::function<int()> work, std::function<void()> after = {});
  void Remember();

  SettingsStore& settings_;
  const LanguageTable& language_;
  OnlineActions actions_;
  std::vector<BuddyRow> shown_;  // the rows of the buddy list, in order
  QTabWidget* tabs_ = nullptr;
  QComboBox* mode_ = nullptr;
  QListWidget* buddies_ = nullptr;
  QLineEdit* addNickname_ = nullptr;
  QLineEdit* addPin_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* delete_ = nullptr;
  QComboBox* chatBuddy_ = nullptr;
  QLineEdit* chatLine_ = nullptr;
  QPushButton* send_ = nullptr;
  QPlainTextEdit* log_ = nullptr;
  QLineEdit* nickname_ = nullptr;
  QLineEdit* pin_ = nullptr;
  QLabel* publicPin_ = nullptr;
  QCheckBox* upload_ = nullptr;
  QCheckBox* download_ = nullptr;
  QCheckBox* poll_ = nullptr;
  QCheckBox* notify_ = nullptr;
  QSpinBox* uploadEvery_ = nullptr;
  QSpinBox* downloadEvery_ = nullptr;
  QSpinBox* pollEvery_ = nullptr;
  QLineEdit* secondServer_ = nullptr;
  QLineEdit* secondUrl_ = nullptr;
  QLabel* status_ = nullptr;
  std::size_t logLines_ = 0;  // chat lines shown
  bool refreshing_ = false;
};

}  // namespace rovana::dialogs
