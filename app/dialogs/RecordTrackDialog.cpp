#include "app/dialogs/RecordTrackDialog.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstdio>
#include <new>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/waypoints/Waypoints.h"

namespace rovana::dialogs {
namespace {

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }

}  // namespace

std::string ProposedTrackFileName(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char name[64];
  std::snprintf(name, sizeof name, "%04d-%02d-%02d_%02d-%02d-%02d.gpx", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return name;
}

RecordTrackDialog::RecordTrackDialog(Waypoints& waypoints, SettingsStore& /*settings*/, const LanguageTable& language,
                                     QWidget* parent, Asker asker)
    : QDialog(parent), waypoints_(waypoints), language_(language),
      asker_(WithDefaultBoxes(std::move(asker), language, this)) {
  setWindowTitle(QString::fromStdString(language.Title(lang::kMenuGpxRecordTrack)));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;

  newFile_ = new QRadioButton(Text(language, lang::kRecordNewFile), this);
  newFile_->setObjectName("newFile");
  newName_ = new QLineEdit(QString::fromStdString(ProposedTrackFileName(std::time(nullptr))), this);
  newName_->setObjectName("newName");
  grid->addWidget(newFile_, 0, 0);
  grid->addWidget(newName_, 0, 1);

  existingFile_ = new QRadioButton(Text(language, lang::kRecordExistingFile), this);
  existingFile_->setObjectName("existingFile");
  existing_ = new QComboBox(this);
  existing_->setObjectName("existing");
  for (const auto& file : waypoints_.files()) {
    files_.push_back(file.get());
    existing_->addItem(QString::fromStdString(file->name()));
    if (file.get() == waypoints_.currentFile()) existing_->setCurrentIndex(existing_->count() - 1);
  }
  grid->addWidget(existingFile_, 1, 0);
  grid->addWidget(existing_, 1, 1);

  grid->addWidget(new QLabel(Text(language, lang::kRecordTrackName), this), 2, 0);
  trackNameEdit_ = new QLineEdit(this);
  trackNameEdit_->setObjectName("trackName");
  grid->addWidget(trackNameEdit_, 2, 1);
  layout->addLayout(grid);

  newFile_->setChecked(true);
  existingFile_->setEnabled(!files_.empty());
  connect(newFile_, &QRadioButton::toggled, this, &RecordTrackDialog::UpdateEnabled);
  UpdateEnabled();

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(Text(language, lang::kButtonOk), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(Text(language, lang::kButtonCancel), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &RecordTrackDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);
}

void RecordTrackDialog::UpdateEnabled() {
  newName_->setEnabled(newFile_->isChecked());
  existing_->setEnabled(!newFile_->isChecked());
}

void RecordTrackDialog::accept() {
  GpxParser* chosen = nullptr;
  if (newFile_->isChecked()) {
    const std::string name = newName_->text().trimmed().toStdString();
    switch (waypoints_.CheckNewName(name)) {
      case Waypoints::NameCheck::Bad: asker_.message(Text(language_, lang::kGpxBadName)); return;
      case Waypoints::NameCheck::Exists: asker_.message(Text(language_, lang::kGpxNameExists)); return;
      case Waypoints::NameCheck::Good: break;
    }
    try {
      chosen = &waypoints_.NewFile(name);
    } catch (const std::bad_alloc&) {
      LogMessage("Not enough memory for the new GPX file %s", name.c_str());
      asker_.message(Text(language_, lang::kWordOutOfMemory));
      return;
    }
    waypoints_.MakeCurrent(waypoints_.FirstOf(*chosen));
  } else {
    const int at = existing_->currentIndex();
    if (at < 0 || at >= static_cast<int>(files_.size())) return;
    chosen = files_[static_cast<std::size_t>(at)];
    // The recording appends to the file: its points must be in memory, or a
    // later reload would match the new track against what is on disk.
    waypoints_.EnsureLoaded(*chosen);
  }
  chosen_ = chosen;
  trackName_ = trackNameEdit_->text().trimmed().toStdString();
  QDialog::accept();
}

}  // namespace rovana::dialogs
