#include "app/dialogs/DialogButtons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"

namespace rovana::dialogs {

QDialogButtonBox* OkCancelButtons(QDialog& dialog, const LanguageTable& language) {
  auto* buttons = new QDialogButtonBox(&dialog);
  QPushButton* ok =
      buttons->addButton(QString::fromStdString(language.Entry(lang::kButtonOk)), QDialogButtonBox::AcceptRole);
  QPushButton* cancel =
      buttons->addButton(QString::fromStdString(language.Entry(lang::kButtonCancel)), QDialogButtonBox::RejectRole);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  return buttons;
}

}  // namespace rovana::dialogs
