// The map symbols: built-in ones with their hot-spots, the user's bitmaps
// replacing them, hot-spots from symbols.txt, lookup rules and drawing with
// the hot-spot on the point and cyan left out.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <filesystem>
#include <fstream>
#include <random>

#include "app/ui/Symbols.h"

namespace {

namespace fs = std::filesystem;
using rovana::ui::SymbolTable;

struct Folders {
  fs::path root;
  Folders() {
    std::random_device rd;
    root = fs::temp_directory_path() / ("symbols-" + std::to_string(rd()));
    fs::create_directories(root / "home");
    fs::create_directories(root / "shipped");
  }
  ~Folders() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  void Bitmap(const std::string& folder, const std::string& name, QColor colour) {
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(colour);
    image.setPixel(0, 0, rovana::ui::kSymbolTransparent);
    ASSERT_TRUE(image.save(QString::fromStdString((root / folder / (name + ".bmp")).string()), "BMP"));
  }
};

TEST(Symbols, BuiltInsUserBitmapsAndLookup) {
  Folders f;
  f.Bitmap("home", "CacheTrad", Qt::red);
  f.Bitmap("shipped", "CacheTrad", Qt::blue);  // the home's wins
  f.Bitmap("shipped", "Kiosk", Qt::green);
  std::ofstream(f.root / "shipped" / "symbols.txt") << "Kiosk 3,4\r\nFinish 1,1\ngarbage\nCacheTrad 2,2\n";
  std::ofstream(f.root / "shipped" / "Broken.bmp") << "not a bitmap";
  const SymbolTable table({f.root / "home", f.root / "shipped"});

  EXPECT_EQ(table.Find("Default").hotSpot, QPoint(10, 20));
  EXPECT_EQ(table.Find("Finish").hotSpot, QPoint(10, 17)) << "built-in hot-spots are not the file's";
  EXPECT_EQ(table.Find("Kiosk").hotSpot, QPoint(3, 4));
  EXPECT_EQ(table.Find("CacheTrad").bitmap.pixelColor(3, 3), QColor(Qt::red));
  EXPECT_TRUE(table.Find("CacheTrad").user);
  EXPECT_EQ(table.Find("Unheard of").name, "Default");
  EXPECT_EQ(table.Find("kiosk").name, "Default") << "case matters";
  EXPECT_EQ(table.Find("").name, "");
  EXPECT_EQ(table.Find("Broken").name, "Default") << "an unreadable bitmap is skipped";
  const auto names = table.Names();
  EXPECT_EQ(std::count(names.begin(), names.end(), "CacheTrad"), 1);
  EXPECT_EQ(names.size(), rovana::ui::BuiltInSymbols().size() - 1 + 1) << "the built-ins but the blank, plus Kiosk";
  for (const auto& s : table.symbols()) {
    EXPECT_EQ(s.icon.width(), 20) << s.name;
    EXPECT_EQ(qAlpha(s.masked.pixel(0, 0)), 0) << s.name << ": the cyan corner is transparent";
  }
}

TEST(Symbols, DrawingPutsTheHotSpotOnThePoint) {
  const SymbolTable table({});
  QImage canvas(100, 100, QImage::Format_RGB32);
  canvas.fill(Qt::white);
  QPainter p(&canvas);
  table.Draw(p, QPoint(50, 50), "Default", 192, false);  // 40 x 40, hot-spot 20,40
  p.end();
  // The pin's head is above the point, nothing below it, and the cyan
  // background of the bitmap never shows.
  EXPECT_NE(canvas.pixelColor(50, 25), QColor(Qt::white));
  EXPECT_EQ(canvas.pixelColor(50, 60), QColor(Qt::white));
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_NE(canvas.pixel(x, y), rovana::ui::kSymbolTransparent) << x << "," << y;
}

}  // namespace
