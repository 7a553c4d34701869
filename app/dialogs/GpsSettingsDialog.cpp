#include "app/dialogs/GpsSettingsDialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <filesystem>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/gps/BluetoothDriverCheck.h"
#include "platform/registry/Registry.h"

namespace rovana::dialogs {
namespace {

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }

}  // namespace

GpsSettingsDialog::GpsSettingsDialog(SettingsStore& settings, const LanguageTable& language, QWidget* parent,
                                     AskFile askFile)
    : QDialog(parent), settings_(settings), language_(language), askFile_(std::move(askFile)), source_(settings.gpsName) {
  setWindowTitle(Text(language, lang::kGpsTitle));
  if (!askFile_) askFile_ = [this](FileQuestion q, const std::string& current) { return AskFileWithDialog(q, current); };
  auto* outer = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  ports_ = new QComboBox(this);
  ports_->setObjectName("gpsName");
  list_ = MakePortList(settings.gpsName, language.Entry(lang::kWordFile));
  for (const PortEntry& entry : list_.entries) ports_->addItem(QString::fromStdString(entry.display));
  ports_->setCurrentIndex(list_.selected);
  shownRow_ = list_.selected;
  form->addRow(Text(language, lang::kGpsConnection), ports_);

  bauds_ = new QComboBox(this);
  bauds_->setObjectName("baudRate");
  for (const std::int32_t rate : BaudRates())
    bauds_->addItem(rate == 0 ? Text(language, lang::kGpsBaudDefault) : QString::number(rate), rate);
  const int baudRow = bauds_->findData(settings.baudRate);
  bauds_->setCurrentIndex(baudRow >= 0 ? baudRow : 0);
  form->addRow(Text(language, lang::kGpsBaudRate), bauds_);
  outer->addLayout(form);

  configure_ = new QCheckBox(Text(language, lang::kGpsConfigure), this);
  configure_->setObjectName("configGPS");
  configure_->setChecked(settings.configGPS);
  outer->addWidget(configure_);
  logToFile_ = new QCheckBox(Text(language, lang::kGpsLogToFile), this);
  logToFile_->setObjectName("gpsLoggingOn");
  logToFile_->setChecked(!settings.gpsLogging.empty());
  outer->addWidget(logToFile_);
  logPath_ = new QLineEdit(QString::fromStdString(settings.gpsLogging), this);
  logPath_->setObjectName("gpsLogging");
  logPath_->setReadOnly(true);
  outer->addWidget(logPath_);
  useHeading_ = new QCheckBox(Text(language, lang::kGpsUseHeading), this);
  useHeading_->setObjectName("useGPSHeading");
  useHeading_->setChecked(settings.useGPSHeading);
  outer->addWidget(useHeading_);
  useSpeed_ = new QCheckBox(Text(language, lang::kGpsUseSpeed), this);
  useSpeed_->setObjectName("useGPSSpeed");
  useSpeed_->setChecked(settings.useGPSSpeed);
  outer->addWidget(useSpeed_);
  outer->addStretch(1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* back = buttons->addButton(Text(language, lang::kButtonBack), QDialogButtonBox::AcceptRole);
  back->setObjectName("back");
  enable_ = buttons->addButton(Text(language, lang::kButtonEnable), QDialogButtonBox::ActionRole);
  enable_->setObjectName("enable");
  enable_->setCheckable(true);
  enable_->setChecked(settings.gpsEnabled);
  connect(back, &QPushButton::clicked, this, &QDialog::accept);
  outer->addWidget(buttons);

  CheckBluetoothDrivers(registry::Registry::Default());
  connect(ports_, &QComboBox::activated, this, &GpsSettingsDialog::ChoosePort);
  connect(logToFile_, &QCheckBox::toggled, this, &GpsSettingsDialog::ToggleLog);
  UpdateBaudState();
}

void GpsSettingsDialog::ChoosePort(int row) {
  if (row < 0 || row >= static_cast<int>(list_.entries.size())) return;
  const PortEntry& entry = list_.entries[static_cast<std::size_t>(row)];
  if (!entry.replay) {
    source_ = entry.device;
    shownRow_ = row;
    UpdateBaudState();
    return;
  }
  const std::string file = askFile_(FileQuestion::Replay, IsDeviceName(source_) ? std::string() : source_);
  if (file.empty()) {
    const QSignalBlocker quiet(ports_);
    ports_->setCurrentIndex(shownRow_);  // cancelled: the previous choice stays
    return;
  }
  source_ = file;
  shownRow_ = 0;
  ports_->setItemText(0, QString::fromStdString(language_.Entry(lang::kWordFile) + "...(" +
                                                std::filesystem::path(file).filename().string() + ")"));
  UpdateBaudState();
}

void GpsSettingsDialog::ToggleLog(bool on) {
  if (!on) {
    logPath_->clear();
    return;
  }
  const std::string path = askFile_(FileQuestion::Log, logPath_->text().toStdString());
  if (path.empty()) {
    const QSignalBlocker quiet(logToFile_);
    logToFile_->setChecked(false);
    return;
  }
  logPath_->setText(QString::fromStdString(path));
  newLog_ = true;
}

void GpsSettingsDialog::UpdateBaudState() { bauds_->setEnabled(IsDeviceName(source_)); }

std::string GpsSettingsDialog::AskFileWithDialog(FileQuestion question, const std::string& current) {
  const QString filter = "pgl (*.pgl);;All (*.*)";
  QString chosen;
  if (question == FileQuestion::Replay) {
    chosen = QFileDialog::getOpenFileName(this, Text(language_, lang::kGpsReplayFile), QString::fromStdString(current),
                                          filter);
  } else {
    QFileDialog dialog(this, Text(language_, lang::kGpsLogToFile), QString::fromStdString(current), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("pgl");
    if (current.empty()) dialog.selectFile("gpslog.pgl");
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) chosen = dialog.selectedFiles().front();
  }
  return chosen.toStdString();
}

void GpsSettingsDialog::accept() {
  settings_.gpsName = source_;
  settings_.baudRate = bauds_->currentData().toInt();
  settings_.configGPS = configure_->isChecked();
  settings_.gpsLogging = logToFile_->isChecked() ? logPath_->text().toStdString() : std::string();
  settings_.useGPSHeading = useHeading_->isChecked();
  settings_.useGPSSpeed = useSpeed_->isChecked();
  settings_.gpsEnabled = enable_->isChecked();
  LogMessage("GPS settings: %s at %d baud, %s", settings_.gpsName.empty() ? "(none)" : settings_.gpsName.c_str(),
             settings_.baudRate, settings_.gpsEnabled ? "enabled" : "disabled");
  QDialog::accept();
}

}  // namespace rovana::dialogs
