#include "app/dialogs/VozazIdDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "app/dialogs/DialogButtons.h"

namespace rovana::dialogs {
namespace {

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }
QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr int kRefreshMs = 1000;
constexpr int kMaxInterval = 86400;  // seconds

}  // namespace

VozazIdDialog::VozazIdDialog(SettingsStore& settings, const LanguageTable& language, OnlineActions actions, int page,
                             QWidget* parent)
    : QDialog(parent), settings_(settings), language_(language), actions_(std::move(actions)) {
  setWindowTitle(QString::fromStdString(language.Title(lang::kMenuToolsVozazId)));
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  tabs_->addTab(StatusPage(), Text(language, lang::kVozazIdPageStatus));
  tabs_->addTab(BuddiesPage(), Text(language, lang::kVozazIdPageBuddies));
  tabs_->addTab(ChatPage(), Text(language, lang::kVozazIdPageChat));
  tabs_->addTab(MePage(), Text(language, lang::kVozazIdPageIdentity));
  tabs_->addTab(OptionsPage(), Text(language, lang::kVozazIdPageOptions));
  const int first = page >= 0 ? page : settings_.vozazidTab;
  tabs_->setCurrentIndex(first >= 0 && first < tabs_->count() ? first : kStatus);
  layout->addWidget(tabs_);
  status_ = new QLabel(this);
  status_->setObjectName("status");
  status_->setWordWrap(true);
  layout->addWidget(status_);

  layout->addWidget(OkCancelButtons(*this, language));

  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, &VozazIdDialog::Refresh);
  timer->start(kRefreshMs);
  Refresh();
}

QWidget* VozazIdDialog::StatusPage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(new QLabel(Text(language_, lang::kServiceVozazId), page));
  mode_ = new QComboBox(page);
  mode_->setObjectName("vozazidEnabled");
  // The values of `vozazidEnabled`: 0 off, 1 on, 2 only while online.
  mode_->addItem(Text(language_, lang::kOnlineMapsNever), 0);
  mode_->addItem(Text(language_, lang::kOnlineMapsAlways), 1);
  mode_->addItem(Text(language_, lang::kOnlineMapsWhenOnline), 2);
  const int index = mode_->findData(settings_.vozazidEnabled);
  mode_->setCurrentIndex(index >= 0 ? index : 0);
  layout->addWidget(mode_);
  if (settings_.helpVozazIdPrivacy) {
    auto* note = new QLabel(Text(language_, lang::kVozazIdPrivacyNote), page);
    note->setWordWrap(true);
    layout->addWidget(note);
  }
  layout->addStretch(1);
  return page;
}

QWidget* VozazIdDialog::BuddiesPage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  buddies_ = new QListWidget(page);
  buddies_->setObjectName("buddies");
  layout->addWidget(buddies_);
  // A check box is "show on map": the buddy's enabled state on the service.
  connect(buddies_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    if (refreshing_ || !actions_.enableBuddy) return;
    const int id = item->data(Qt::UserRole).toInt();
    const bool on = item->checkState() == Qt::Checked;
    Act([this, id, on] { return actions_.enableBuddy(id, on); });
  });
  delete_ = new QPushButton(Text(language_, lang::kVozazIdDeleteBuddyQuestion), page);
  delete_->setObjectName("delete");
  delete_->setEnabled(static_cast<bool>(actions_.deleteBuddy));
  connect(delete_, &QPushButton::clicked, this, [this] {
    QListWidgetItem* item = buddies_->currentItem();
    if (!item || !actions_.deleteBuddy) return;
    const int id = item->data(Qt::UserRole).toInt();
    Act([this, id] { return actions_.deleteBuddy(id); });
  });
  layout->addWidget(delete_);

  auto* add = new QGridLayout;
  addNickname_ = new QLineEdit(page);
  addNickname_->setObjectName("addNickname");
  addPin_ = new QLineEdit(page);
  addPin_->setObjectName("addPin");
  add->addWidget(new QLabel(Text(language_, lang::kVozazIdNickname), page), 0, 0);
  add->addWidget(addNickname_, 0, 1);
  add->addWidget(new QLabel(Text(language_, lang::kVozazIdPinPublic), page), 1, 0);
  add->addWidget(addPin_, 1, 1);
  layout->addLayout(add);
  add_ = new QPushButton(Text(language_, lang::kVozazIdAddBuddy), page);
  add_->setObjectName("add");
  add_->setEnabled(static_cast<bool>(actions_.addBuddy));
  connect(add_, &QPushButton::clicked, this, [this] {
    const std::string nickname = addNickname_->text().trimmed().toStdString();
    const std::string pin = addPin_->text().trimmed().toStdString();
    if (nickname.empty() || !actions_.addBuddy) return;
    Act([this, nickname, pin] { return actions_.addBuddy(nickname, pin); }, [this] {
      addNickname_->clear();
      addPin_->clear();
    });
  });
  layout->addWidget(add_);
  return page;
}

QWidget* VozazIdDialog::ChatPage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  log_ = new QPlainTextEdit(page);
  log_->setObjectName("chatMessages");
  log_->setReadOnly(true);
  layout->addWidget(log_);
  chatBuddy_ = new QComboBox(page);
  chatBuddy_->setObjectName("chatBuddy");
  layout->addWidget(chatBuddy_);
  auto* line = new QHBoxLayout;
  chatLine_ = new QLineEdit(page);
  chatLine_->setObjectName("chatLine");
  send_ = new QPushButton(Text(language_, lang::kVozazIdSend), page);
  send_->setObjectName("send");
  send_->setEnabled(static_cast<bool>(actions_.sendChat));
  auto sendLine = [this] {
    const std::string text = chatLine_->text().toStdString();
    if (text.empty() || chatBuddy_->currentIndex() < 0 || !actions_.sendChat) return;
    const int id = chatBuddy_->currentData().toInt();
    Act([this, id, text] { return actions_.sendChat(id, text); }, [this] { chatLine_->clear(); });
  };
  connect(send_, &QPushButton::clicked, this, sendLine);
  connect(chatLine_, &QLineEdit::returnPressed, this, sendLine);
  line->addWidget(chatLine_);
  line->addWidget(send_);
  layout->addLayout(line);
  return page;
}

QWidget* VozazIdDialog::MePage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  auto* form = new QFormLayout;
  nickname_ = new QLineEdit(Q(settings_.trackerNickname), page);
  nickname_->setObjectName("trackerNickname");
  pin_ = new QLineEdit(Q(settings_.trackerPINprivate), page);
  pin_->setObjectName("trackerPINprivate");
  publicPin_ = new QLabel(Q(settings_.trackerPINpublic), page);
  publicPin_->setObjectName("trackerPINpublic");
  publicPin_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form->addRow(Text(language_, lang::kVozazIdNickname), nickname_);
  form->addRow(Text(language_, lang::kVozazIdPinPrivate), pin_);
  form->addRow(Text(language_, lang::kVozazIdPinPublic), publicPin_);
  layout->addLayout(form);
  if (settings_.helpVozazIdFollow) {
    auto* note = new QLabel(Text(language_, lang::kVozazIdFollowNote), page);
    note->setWordWrap(true);
    layout->addWidget(note);
  }
  layout->addStretch(1);
  return page;
}

QWidget* VozazIdDialog::OptionsPage() {
  auto* page = new QWidget(this);
  auto* grid = new QGridLayout(page);
  auto row = [&](int r, int label, bool on, int seconds, const char* name, QCheckBox*& box, QSpinBox*& every) {
    box = new QCheckBox(Text(language_, label), page);
    box->setObjectName(QString(name) + "Enabled");
    box->setChecked(on);
    every = new QSpinBox(page);
    every->setObjectName(QString(name) + "Interval");
    every->setRange(1, kMaxInterval);
    every->setValue(std::clamp(seconds, 1, kMaxInterval));
    grid->addWidget(box, r, 0);
    grid->addWidget(every, r, 1);
  };
  row(0, lang::kVozazIdUpload, settings_.uploadPosEnabled, settings_.uploadPosInterval, "uploadPos", upload_,
      uploadEvery_);
  row(1, lang::kVozazIdDownload, settings_.downloadPosEnabled, settings_.downloadPosInterval, "downloadPos",
      download_, downloadEvery_);
  row(2, lang::kVozazIdPoll, settings_.pollMsgEnabled, settings_.pollMsgInterval, "pollMsg", poll_, pollEvery_);
  secondServer_ = new QLineEdit(Q(settings_.secondaryServer), page);
  secondServer_->setObjectName("secondaryServer");
  secondUrl_ = new QLineEdit(Q(settings_.secondaryUrl), page);
  secondUrl_->setObjectName("secondaryUrl");
  grid->addWidget(new QLabel(Text(language_, lang::kVozazIdSecondServer), page), 3, 0);
  grid->addWidget(secondServer_, 3, 1);
  grid->addWidget(new QLabel(Text(language_, lang::kVozazIdSecondUrl), page), 4, 0);
  grid->addWidget(secondUrl_, 4, 1);
  notify_ = new QCheckBox(Text(language_, lang::kVozazIdChatNotify), page);
  notify_->setObjectName("chatNotify");
  notify_->setChecked(settings_.chatNotify);
  grid->addWidget(notify_, 5, 0, 1, 2);
  grid->setRowStretch(6, 1);
  return page;
}

QString VozazIdDialog::statusText() const { return status_->text(); }

void VozazIdDialog::Act(std::function<int()> work, std::function<void()> after) {
  QPointer<VozazIdDialog> self(this);
  actions_.Run(std::move(work), [self, after = std::move(after)](int result) {
    if (!self) return;  // closed while the request ran
    if (self->actions_.resultText) self->status_->setText(Q(self->actions_.resultText(result)));
    if (result == 0 && after) after();
    self->Refresh();
  });
}

void VozazIdDialog::Refresh() {
  refreshing_ = true;
  const std::vector<BuddyRow> now = actions_.buddies ? actions_.buddies() : std::vector<BuddyRow>{};
  const bool same = now.size() == shown_.size() &&
                    std::equal(now.begin(), now.end(), shown_.begin(), [](const BuddyRow& a, const BuddyRow& b) {
                      return a.id == b.id && a.nickname == b.nickname && a.enabled == b.enabled;
                    });
  if (!same) {
    const int chosen = chatBuddy_->currentData().isValid() ? chatBuddy_->currentData().toInt() : -1;
    buddies_->clear();
    chatBuddy_->clear();
    for (const BuddyRow& b : now) {
      auto* item = new QListWidgetItem(Q(b.nickname), buddies_);
      item->setData(Qt::UserRole, b.id);
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(b.enabled ? Qt::Checked : Qt::Unchecked);
      chatBuddy_->addItem(Q(b.nickname), b.id);
    }
    if (now.empty()) buddies_->addItem(Text(language_, lang::kVozazIdNoBuddies));
    const int again = chatBuddy_->findData(chosen);
    if (again >= 0) chatBuddy_->setCurrentIndex(again);
    shown_ = now;
  }
  delete_->setEnabled(actions_.deleteBuddy && !now.empty());
  // The chat log grows at its end; only new lines are added.
  const auto& lines = settings_.chatMessages.items();
  if (lines.size() < logLines_) {
    log_->clear();
    logLines_ = 0;
  }
  for (; logLines_ < lines.size(); ++logLines_) log_->appendPlainText(Q(lines[logLines_]));
  refreshing_ = false;
}

void VozazIdDialog::Remember() { settings_.vozazidTab = tabs_->currentIndex(); }

void VozazIdDialog::accept() {
  Remember();
  settings_.vozazidEnabled = mode_->currentData().toInt();
  settings_.uploadPosEnabled = upload_->isChecked();
  settings_.uploadPosInterval = uploadEvery_->value();
  settings_.downloadPosEnabled = download_->isChecked();
  settings_.downloadPosInterval = downloadEvery_->value();
  settings_.pollMsgEnabled = poll_->isChecked();
  settings_.pollMsgInterval = pollEvery_->value();
  settings_.secondaryServer = secondServer_->text().trimmed().toStdString();
  settings_.secondaryUrl = secondUrl_->text().trimmed().toStdString();
  settings_.chatNotify = notify_->isChecked();
  const std::string nickname = nickname_->text().trimmed().toStdString();
  const std::string pin = pin_->text().trimmed().toStdString();
  if ((nickname != settings_.trackerNickname || pin != settings_.trackerPINprivate) && actions_.setIdentity) {
    settings_.trackerNickname = nickname;
    settings_.trackerPINprivate = pin;
    // The service checks the nickname; its answer shows in the log.
    actions_.Run([actions = actions_, nickname, pin] { return actions.setIdentity(nickname, pin); }, [](int) {});
  }
  QDialog::accept();
}

void VozazIdDialog::reject() {
  Remember();
  QDialog::reject();
}

}  // namespace rovana::dialogs
