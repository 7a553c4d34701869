#include "app/dialogs/OnlineServicesDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "app/dialogs/DialogButtons.h"
#include "app/dialogs/AccountDialog.h"

namespace rovana::dialogs {
namespace {

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }

constexpr int kRefreshMs = 1000;

}  // namespace

std::string TrafficBytes(std::uint64_t bytes) {
  constexpr const char* kUnits[] = {"B", "KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes);
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  if (unit == 0)
    std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
  else
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

OnlineServicesDialog::OnlineServicesDialog(SettingsStore& settings, const LanguageTable& language,
                                           OnlineActions actions, QWidget* parent)
    : QDialog(parent), settings_(settings), language_(language), actions_(std::move(actions)) {
  setWindowTitle(QString::fromStdString(language.Title(lang::kMenuConfigOnlineServices)));
  auto* layout = new QVBoxLayout(this);
  allow_ = new QCheckBox(Text(language, lang::kOnlineAllow), this);
  allow_->setObjectName("allowInternet");
  allow_->setChecked(settings_.allowInternet);
  layout->addWidget(allow_);
  connMgr_ = new QCheckBox(Text(language, lang::kOnlineUseConnMgr), this);
  connMgr_->setObjectName("useConnMgr");
  connMgr_->setChecked(settings_.useConnMgr);
  layout->addWidget(connMgr_);

  // The web service's address: scheme, host and port of the server.
  layout->addWidget(new QLabel(QString::fromStdString(language.Title(lang::kMenuConfigOnlineServices)) + ":", this));
  host_ = new QLineEdit(QString::fromStdString(settings_.serviceHost), this);
  host_->setObjectName("serviceHost");
  host_->setPlaceholderText("http://127.0.0.1:8642");
  layout->addWidget(host_);
  // The geocaching site the search asks directly (empty: not asked).
  layout->addWidget(new QLabel(Text(language, lang::kSearchGeocaches) + ":", this));
  geocacheHost_ = new QLineEdit(QString::fromStdString(settings_.geocacheHost), this);
  geocacheHost_->setObjectName("geocacheHost");
  geocacheHost_->setPlaceholderText("https://");
  layout->addWidget(geocacheHost_);

  traffic_ = new QLabel(this);
  traffic_->setObjectName("traffic");
  layout->addWidget(traffic_);
  auto* note = new QLabel(Text(language, lang::kOnlineTrafficNote), this);
  note->setWordWrap(true);
  layout->addWidget(note);

  account_ = new QPushButton(Text(language, lang::kOnlineAccountButton), this);
  account_->setObjectName("account");
  connect(account_, &QPushButton::clicked, this, [this] {
    AccountDialog dialog(settings_, language_, actions_, this);
    dialog.exec();
  });
  layout->addWidget(account_);
  layout->addStretch(1);

  layout->addWidget(OkCancelButtons(*this, language));

  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, &OnlineServicesDialog::Refresh);
  timer->start(kRefreshMs);
  Refresh();
}

QString OnlineServicesDialog::trafficText() const { return traffic_->text(); }

void OnlineServicesDialog::Refresh() {
  const std::uint64_t sent = actions_.bytesSent ? actions_.bytesSent() : 0;
  const std::uint64_t received = actions_.bytesReceived ? actions_.bytesReceived() : 0;
  // "Traffic: 1.2 KB sent, 34.5 KB received"
  traffic_->setText(Text(language_, lang::kOnlineTraffic) + " " + QString::fromStdString(TrafficBytes(sent)) + " " +
                    Text(language_, lang::kOnlineSent) + ", " + QString::fromStdString(TrafficBytes(received)) + " " +
                    Text(language_, lang::kOnlineReceived));
}

void OnlineServicesDialog::accept() {
  settings_.allowInternet = allow_->isChecked();
  settings_.useConnMgr = connMgr_->isChecked();
  const std::string host = host_->text().trimmed().toStdString();
  if (!host.empty()) settings_.serviceHost = host;
  settings_.geocacheHost = geocacheHost_->text().trimmed().toStdString();
  QDialog::accept();
}

}  // namespace rovana::dialogs
