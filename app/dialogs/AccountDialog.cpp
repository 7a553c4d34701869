#include "app/dialogs/AccountDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "app/dialogs/DialogButtons.h"

namespace rovana::dialogs {
namespace {

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }

}  // namespace

AccountDialog::AccountDialog(SettingsStore& settings, const LanguageTable& language, OnlineActions actions,
                             QWidget* parent)
    : QDialog(parent), settings_(settings), language_(language), actions_(std::move(actions)) {
  setWindowTitle(Text(language, lang::kAccountTitle));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  email_ = new QLineEdit(QString::fromStdString(settings_.trackerEmail), this);
  email_->setObjectName("trackerEmail");
  email_->setInputMethodHints(Qt::ImhEmailCharactersOnly);
  password_ = new QLineEdit(QString::fromStdString(settings_.trackerPassword), this);
  password_->setObjectName("trackerPassword");
  password_->setEchoMode(QLineEdit::Password);
  form->addRow(Text(language, lang::kAccountEmail), email_);
  form->addRow(Text(language, lang::kAccountPassword), password_);
  layout->addLayout(form);

  login_ = new QPushButton(Text(language, lang::kAccountLogin), this);
  login_->setObjectName("login");
  login_->setCheckable(true);
  login_->setEnabled(static_cast<bool>(actions_.login));
  connect(login_, &QPushButton::clicked, this, [this](bool checked) { Toggle(checked); });
  layout->addWidget(login_);
  status_ = new QLabel(this);
  status_->setObjectName("status");
  status_->setWordWrap(true);
  layout->addWidget(status_);

  layout->addWidget(OkCancelButtons(*this, language));
  ShowState();
}

QString AccountDialog::statusText() const { return status_->text(); }

void AccountDialog::StoreAccount() {
  settings_.trackerEmail = email_->text().trimmed().toStdString();
  settings_.trackerPassword = password_->text().toStdString();
}

void AccountDialog::ShowState() {
  const bool in = actions_.loggedIn && actions_.loggedIn();
  login_->setChecked(in);
  if (in && actions_.resultText) status_->setText(QString::fromStdString(actions_.resultText(0)));
}

void AccountDialog::Toggle(bool logIn) {
  if (busy_) return;
  if (!logIn) {
    if (actions_.logout) actions_.logout();
    status_->clear();
    ShowState();
    return;
  }
  // The login reads the account from the settings: what is typed counts.
  StoreAccount();
  busy_ = true;
  login_->setEnabled(false);
  QPointer<AccountDialog> self(this);
  actions_.Run(actions_.login, [self](int result) {
    if (!self) return;  // closed while the request ran
    self->busy_ = false;
    self->login_->setEnabled(true);
    self->ShowState();
    if (self->actions_.resultText) self->status_->setText(QString::fromStdString(self->actions_.resultText(result)));
  });
}

void AccountDialog::accept() {
  StoreAccount();
  QDialog::accept();
}

}  // namespace rovana::dialogs
