// The OK and Cancel buttons at the foot of a dialog, captioned from the
// language table. OK calls the dialog's accept() and Cancel its reject()
// (both virtual, so a dialog's own versions run).
#pragma once

class QDialog;
class QDialogButtonBox;

namespace rovana {
class LanguageTable;
}

namespace rovana::dialogs {

QDialogButtonBox* OkCancelButtons(QDialog& dialog, const LanguageTable& language);

}  // namespace rovana::dialogs
