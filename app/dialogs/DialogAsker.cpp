#include "app/dialogs/DialogAsker.h"

#include <QColor>
#include <QColorDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"

namespace rovana::dialogs {
namespace {

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }

}  // namespace

QColor ColourOf(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xff), static_cast<int>((bgr >> 8) & 0xff),
                static_cast<int>((bgr >> 16) & 0xff));
}

std::uint32_t BgrOf(const QColor& colour) {
  return static_cast<std::uint32_t>(colour.red()) | (static_cast<std::uint32_t>(colour.green()) << 8) |
         (static_cast<std::uint32_t>(colour.blue()) << 16);
}

DialogAsker WithDefaultBoxes(DialogAsker asker, const LanguageTable& language, QWidget* parent) {
  // The language table outlives every dialog, which owns the asker.
  const LanguageTable* texts = &language;
  if (!asker.question)
    asker.question = [texts, parent](const QString& question) {
      QMessageBox box(QMessageBox::Question, Text(*texts, lang::kMessageCaption), question, QMessageBox::NoButton,
                      parent);
      QPushButton* ok = box.addButton(Text(*texts, lang::kButtonOk), QMessageBox::AcceptRole);
      box.addButton(Text(*texts, lang::kButtonCancel), QMessageBox::RejectRole);
      box.exec();
      return box.clickedButton() == ok;
    };
  if (!asker.message)
    asker.message = [texts, parent](const QString& message) {
      QMessageBox box(QMessageBox::Information, Text(*texts, lang::kMessageCaption), message, QMessageBox::NoButton,
                      parent);
      box.addButton(Text(*texts, lang::kButtonOk), QMessageBox::AcceptRole);
      box.exec();
    };
  if (!asker.input)
    asker.input = [texts, parent](const QString& prompt, const QString& initial) -> std::optional<QString> {
      QInputDialog box(parent);
      box.setWindowTitle(Text(*texts, lang::kMessageCaption));
      box.setLabelText(prompt);
      box.setTextValue(initial);
      box.setOkButtonText(Text(*texts, lang::kButtonOk));
      box.setCancelButtonText(Text(*texts, lang::kButtonCancel));
      if (box.exec() != QDialog::Accepted) return std::nullopt;
      return box.textValue();
    };
  if (!asker.colour)
    asker.colour = [parent](std::uint32_t initial) -> std::optional<std::uint32_t> {
      const QColor chosen = QColorDialog::getColor(ColourOf(initial), parent);
      if (!chosen.isValid()) return std::nullopt;
      return BgrOf(chosen);
    };
  return asker;
}

}  // namespace rovana::dialogs
