// The web-service account: e-mail and password, and the Log in button,
// which is checked while logged in (unchecking it logs out). Logging in with
// an e-mail the service does not know registers it first. The result of the
// last attempt is shown in words. OK keeps the e-mail and password that were
// changed; the password field never shows the stored password's letters.
#pragma once

#include <QDialog>

#include "app/dialogs/OnlineActions.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace rovana {
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::dialogs {

class AccountDialog : public QDialog {
  Q_OBJECT

 public:
  AccountDialog(SettingsStore& settings, const LanguageTable& language, OnlineActions actions, QWidget* parent = nullptr);

  void accept() override;
  QLineEdit* emailEdit() const { return email_; }
  QLineEdit* passwordEdit() const { return password_; }
  QPushButton* loginButton() const { return login_; }
  QString statusText() const;

 private:
  void StoreAccount();
  void Toggle(bool logIn);
  void ShowState();

  SettingsStore& settings_;
  const LanguageTable& language_;
  OnlineActions actions_;
  QLineEdit* email_ = nullptr;
  QLineEdit* password_ = nullptr;
  QPushButton* login_ = nullptr;
  QLabel* status_ = nullptr;
  bool busy_ = false;
};

}  // namespace rovana::dialogs
