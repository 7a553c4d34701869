#include "app/dialogs/CalibrationChoiceDialog.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"

namespace rovana::dialogs {
namespace {
QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }
}  // namespace

CalibrationChoiceDialog::CalibrationChoiceDialog(const LanguageTable& language, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromStdString(language.Title(lang::kMenuMapCalibrate)));
  auto* layout = new QVBoxLayout(this);
  auto* question = new QLabel(Text(language, lang::kCalibrateQuestion), this);
  question->setObjectName("question");
  question->setWordWrap(true);
  layout->addWidget(question);
  auto* row = new QHBoxLayout;
  auto button = [&](int entry, const char* name, CalibrationChoice choice) {
    auto* b = new QPushButton(Text(language, entry), this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, choice] { Choose(choice); });
    row->addWidget(b);
    return b;
  };
  byMap_ = button(lang::kCalibrateByMap, "byMap", CalibrationChoice::ByMap);
  byGrid_ = button(lang::kCalibrateByGrid, "byGrid", CalibrationChoice::ByGrid);
  cancel_ = button(lang::kButtonCancel, "cancel", CalibrationChoice::Cancel);
  layout->addLayout(row);
}

void CalibrationChoiceDialog::Choose(CalibrationChoice choice) {
  choice_ = choice;
  if (choice == CalibrationChoice::Cancel)
    reject();
  else
    accept();
}

}  // namespace rovana::dialogs
