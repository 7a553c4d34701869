// The named map symbols points are drawn with: the user's bitmaps from the
// "Symbol" folders (the home's first, then the shipped resources; a name
// found in the home wins), their hot-spots from "symbols.txt", and the
// built-in 20 x 20 symbols, which a user bitmap of the same name replaces.
// Every bitmap has cyan (0, 255, 255) as its transparent colour; the
// hot-spot is the pixel (at 96 dpi) that lies on the point.
//
// Loaded once on the user-interface thread; read-only afterwards, so the
// table may then be read from any thread.
#pragma once

#include <QImage>
#include <QPoint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QPainter;

namespace rovana::ui {

inline constexpr QRgb kSymbolTransparent = 0xFF00FFFF;  // cyan
inline constexpr int kSymbolSize = 20;                  // built-in bitmaps and picker icons

struct Symbol {
  std::string name;  // empty: the blank symbol
  QPoint hotSpot;    // 96-dpi pixels into the bitmap
  QImage bitmap;     // as loaded or drawn, cyan where transparent
  QImage masked;     // the same with cyan made transparent, for drawing
  QImage icon;       // 20 x 20 copy for pickers
  bool user = false;
};

// The built-in symbols' names in their order of creation, the blank one
// first, and their hot-spots.
struct BuiltInSymbol {
  const char* name;
  int hotX, hotY;
};
std::span<const BuiltInSymbol> BuiltInSymbols();

class SymbolTable {
 public:
  // `symbolFolders`: the "Symbol" folders to read, most important first.
  explicit SymbolTable(const std::vector<std::filesystem::path>& symbolFolders);

  // The symbol of that name (case matters); any other non-empty name gives
  // "Default", the empty name the blank symbol.
  const Symbol& Find(std::string_view name) const;
  // Draws the symbol with its hot-spot on `at`, scaled by dpi / 96 (halved
  // first when `shrink`), cyan left out. Returns the rectangle it covered.
  QRect Draw(QPainter& painter, QPoint at, std::string_view name, int dpi, bool shrink) const;
  // The small loudspeaker that marks a point with an audio note, its
  // top-left corner at `topLeft`.
  void DrawAudioMark(QPainter& painter, QPoint topLeft, int dpi) const;

  std::span<const Symbol> symbols() const { return symbols_; }
  // The named symbols, in table order, for pickers.
  std::vector<std::string> Names() const;

 private:
  void LoadUserBitmaps(const std::filesystem::path& folder);
  void LoadHotSpots(const std::filesystem::path& file);
  void AddBuiltIns();
  Symbol* FindExact(std::string_view name);

  std::vector<Symbol> symbols_;
  QImage audioMark_;
  std::size_t blank_ = 0, fallback_ = 0;  // indexes of the blank symbol and "Default"
};

// The image with every cyan pixel made fully transparent.
QImage MaskCyan(const QImage& image);

}  // namespace rovana::ui
