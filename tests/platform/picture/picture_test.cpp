// Decoding real picture files written by the test.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/picture/Picture.h"
#include "platform/picture/PictureImage.h"

namespace {

namespace fs = std::filesystem;

class PictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    folder_ = fs::temp_directory_path() / ("rovana-picture-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  std::string Path(const char* name) const { return (folder_ / name).string(); }
  fs::path folder_;
};

TEST_F(PictureTest, DecodesPicturesOfTheMapFormats) {
  struct Case {
    const char* name;
    const char* format;
    int width, height;
    bool lossless;
  } cases[] = {{"small.png", "PNG", 7, 5, true},
               {"small.bmp", "BMP", 3, 9, true},
               {"one row.png", "PNG", 2, 1, true},
               {"photo.jpg", "JPG", 16, 8, false},
               {"icon.ico", "ICO", 16, 16, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QImage image(c.width, c.height, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    image.setPixelColor(0, 0, QColor(255, 0, 0));
    ASSERT_TRUE(image.save(QString::fromStdString(Path(c.name)), c.format));
    platform::picture::Decoded decoded = platform::picture::Decode(Path(c.name));
    ASSERT_TRUE(decoded.picture) << decoded.error;
    EXPECT_EQ(decoded.width, c.width);
    EXPECT_EQ(decoded.height, c.height);
    EXPECT_TRUE(decoded.error.empty());
    const QImage& read = platform::picture::ImageOf(*decoded.picture);
    EXPECT_EQ(platform::picture::WidthOf(*decoded.picture), c.width);
    if (!c.lossless) continue;
    EXPECT_EQ(read.pixelColor(0, 0), QColor(255, 0, 0));
    EXPECT_EQ(read.pixelColor(c.width - 1, c.height - 1), QColor(10, 200, 30));
  }
}

TEST_F(PictureTest, FailuresGiveNoPictureAndSayWhy) {
  {
    std::ofstream damaged(Path("damaged.png"), std::ios::binary);
    damaged << "\x89PNG\r\n\x1a\n this is not the rest of a picture";
  }
  std::ofstream(Path("empty.jpg")).close();
  QImage wide(10001, 2, QImage::Format_Mono);
  wide.fill(0);
  ASSERT_TRUE(wide.save(QString::fromStdString(Path("wide.png")), "PNG"));
  struct Case {
    const char* name;
    const char* reason;
  } cases[] = {{"missing.png", "missing.png"},
               {"damaged.png", "damaged.png"},
               {"empty.jpg", "empty.jpg"},
               {"wide.png", "larger than 10000 x 10000; skipped"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::picture::Decoded decoded = platform::picture::Decode(Path(c.name));
    EXPECT_FALSE(decoded.picture);
    EXPECT_EQ(decoded.width, 0);
    EXPECT_NE(decoded.error.find(c.reason), std::string::npos) << decoded.error;
  }
}

}  // namespace
