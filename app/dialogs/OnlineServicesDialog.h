// Config › Online services: whether Rovana may go online (`allowInternet`)
// and use the connection manager (`useConnMgr`), the web service's address
// (`serviceHost`), the traffic of the run, a note on what online services
// cost, and the Account... button. OK writes them; Cancel leaves them.
#pragma once

#include <QDialog>

#include "app/dialogs/OnlineActions.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace rovana {
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::dialogs {

class OnlineServicesDialog : public QDialog {
  Q_OBJECT

 public:
  OnlineServicesDialog(SettingsStore& settings, const LanguageTable& language, OnlineActions actions,
                       QWidget* parent = nullptr);

  void accept() override;
  QCheckBox* allowBox() const { return allow_; }
  QCheckBox* connectionManagerBox() const { return connMgr_; }
  QPushButton* accountButton() const { return account_; }
  QLineEdit* hostEdit() const { return host_; }
  QLineEdit* geocacheHostEdit() const { return geocacheHost_; }
  QString trafficText() const;
  // Reads the traffic counters again (a timer calls it while open).
  void Refresh();

 private:
  SettingsStore& settings_;
  const LanguageTable& language_;
  OnlineActions actions_;
  QCheckBox* allow_ = nullptr;
  QCheckBox* connMgr_ = nullptr;
  QLabel* traffic_ = nullptr;
  QLineEdit* host_ = nullptr;
  QLineEdit* geocacheHost_ = nullptr;
  QPushButton* account_ = nullptr;
};

// "12.3 KB" and the like: bytes in the largest unit that keeps the number
// at least 1, one decimal from KB on.
std::string TrafficBytes(std::uint64_t bytes);

}  // namespace rovana::dialogs
