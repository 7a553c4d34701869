// How the waypoint dialogs (record track, GPX files, collection details)
// talk to the user outside their own window: an OK/Cancel question, a
// message, a line of text and a colour. Each member left empty falls back
// to a message box, an input box or the colour picker; tests and unattended
// runs fill in the ones they answer.
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

namespace rovana {
class LanguageTable;
}

namespace rovana::dialogs {

struct DialogAsker {
  // True for OK.
  std::function<bool(const QString& question)> question;
  std::function<void(const QString& message)> message;
  // The text typed, nothing when cancelled.
  std::function<std::optional<QString>(const QString& prompt, const QString& initial)> input;
  // A colour 0x00BBGGRR, nothing when cancelled.
  std::function<std::optional<std::uint32_t>(std::uint32_t initial)> colour;
};

// `asker` with every empty member replaced by its box, parented to `parent`
// and captioned with the language's caption and buttons.
DialogAsker WithDefaultBoxes(DialogAsker asker, const LanguageTable& language, QWidget* parent);

// 0x00BBGGRR and back.
QColor ColourOf(std::uint32_t bgr);
std::uint32_t BgrOf(const QColor& colour);

}  // namespace rovana::dialogs
