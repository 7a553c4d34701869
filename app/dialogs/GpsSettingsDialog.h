// The GPS settings dialog: the source (the replay entry, COM0-9, GPD0-9 and
// the ports found), the baud rate (only for a device), the SiRF
// configuration, the raw log file, and whether heading and speed come from
// the receiver; "Enable" switches the connection on and off. OK writes the
// settings; the caller then hands them to the GPS connection. Ticking "Log
// to file:" asks for the log's path at once (unticking clears it), as the
// replay entry asks for the file to replay; both questions go through
// `askFile`, so tests answer them without a file dialog.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "app/gps/GpsPortList.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace rovana {
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::dialogs {

class GpsSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  enum class FileQuestion { Replay, Log };
  // The chosen path, or empty when the user cancelled.
  using AskFile = std::function<std::string(FileQuestion question, const std::string& current)>;

  GpsSettingsDialog(SettingsStore& settings, const LanguageTable& language, QWidget* parent = nullptr,
                    AskFile askFile = {});

  QComboBox* ports() const { return ports_; }
  QComboBox* bauds() const { return bauds_; }
  QCheckBox* configure() const { return configure_; }
  QCheckBox* logToFile() const { return logToFile_; }
  QLineEdit* logPath() const { return logPath_; }
  QCheckBox* useHeading() const { return useHeading_; }
  QCheckBox* useSpeed() const { return useSpeed_; }
  QPushButton* enable() const { return enable_; }
  const std::string& chosenSource() const { return source_; }
  // A log file was chosen while the dialog was open: it starts afresh, even
  // under the name it had before.
  bool newLog() const { return newLog_; }

  void accept() override;

 private:
  void ChoosePort(int row);
  void ToggleLog(bool on);
  // The baud list is for devices only.
  void UpdateBaudState();
  std::string AskFileWithDialog(FileQuestion question, const std::string& current);

  SettingsStore& settings_;
  const LanguageTable& language_;
  AskFile askFile_;
  PortList list_;
  std::string source_;  // gpsName as chosen
  int shownRow_ = 0;
  bool newLog_ = false;
  QComboBox* ports_ = nullptr;
  QComboBox* bauds_ = nullptr;
  QCheckBox* configure_ = nullptr;
  QCheckBox* logToFile_ = nullptr;
  QLineEdit* logPath_ = nullptr;
  QCheckBox* useHeading_ = nullptr;
  QCheckBox* useSpeed_ = nullptr;
  QPushButton* enable_ = nullptr;
};

}  // namespace rovana::dialogs
