// Finding sounds in real home and resource folders, and the shipped prompts.
#include "app/core/SoundFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace rovana;

namespace {

class SoundFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    root_ = fs::temp_directory_path() / ("rovana-sounds-" + std::to_string(rd()) + std::to_string(rd()));
    folders_ = FoldersUnder((root_ / "home").string(), HomeSource::Option);
    folders_.resources = (root_ / "share").string();
    fs::create_directories(root_ / "home");
    fs::create_directories(root_ / "share");
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(root_ / "home" / "samples", fs::perms::owner_all, ec);
    fs::remove_all(root_, ec);
  }
  // Writes a file at `relative` under the temporary root.
  fs::path Put(const std::string& relative) {
    const fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << "RIFF";
    return path;
  }

  fs::path root_;
  ProgramFolders folders_;
};

TEST_F(SoundFilesTest, TheHomeWinsThenTheLanguageThenEnglish) {
  struct Row {
    const char* what;
    std::vector<std::string> present;  // files under the temporary root
    const char* language;
    const char* file;
    const char* expected;  // relative to the root, "" for none
  } rows[] = {
      {"only English shipped", {"share/samples/English/Arrive.wav"}, "German", "Arrive.wav",
       "share/samples/English/Arrive.wav"},
      {"the language's own prompt",
       {"share/samples/English/Arrive.wav", "share/samples/German/Arrive.wav"},
       "German", "Arrive.wav", "share/samples/German/Arrive.wav"},
      {"the home's file beats every language",
       {"home/samples/Arrive.wav", "share/samples/English/Arrive.wav", "share/samples/German/Arrive.wav"},
       "German", "Arrive.wav", "home/samples/Arrive.wav"},
      {"the home's file alone", {"home/samples/Win.wav"}, "English", "Win.wav", "home/samples/Win.wav"},
      {"English asked, German present only", {"share/samples/German/Win.wav"}, "English", "Win.wav", ""},
      {"a language without prompts", {"share/samples/English/Faster.wav"}, "Danish", "Faster.wav",
       "share/samples/English/Faster.wav"},
      {"another file's prompt does not stand in", {"share/samples/English/Faster.wav"}, "English",
       "SlowDown.wav", ""},
      {"nothing anywhere", {}, "English", "Arrive.wav", ""},
      {"a folder named like the file", {"home/samples/Arrive.wav/x", "share/samples/English/Arrive.wav"},
       "English", "Arrive.wav", "share/samples/English/Arrive.wav"},
      {"the home's language folder is not looked into", {"home/samples/German/Arrive.wav"}, "German",
       "Arrive.wav", ""},
      {"an empty language", {"share/samples/English/Arrive.wav"}, "", "Arrive.wav",
       "share/samples/English/Arrive.wav"},
      {"a language with a path", {"share/samples/English/Arrive.wav", "share/Arrive.wav"}, "../..",
       "Arrive.wav", "share/samples/English/Arrive.wav"},
      {"a file name with a path", {"share/samples/English/x/Arrive.wav", "home/Arrive.wav"}, "English",
       "../Arrive.wav", ""},
      {"an empty file name", {"share/samples/English/Arrive.wav"}, "English", "", ""},
      {"names are case-sensitive", {"share/samples/English/arrive.wav"}, "English", "Arrive.wav", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TearDown();
    SetUp();
    for (const std::string& file : row.present) Put(file);
    const fs::path found = FindSound(folders_, row.language, row.file);
    if (*row.expected == '\0')
      EXPECT_TRUE(found.empty()) << found;
    else
      EXPECT_EQ(found, root_ / row.expected);
  }
}

TEST_F(SoundFilesTest, CandidatesComeInOrderWithoutDuplicates) {
  struct Row {
    const char* what;
    const char* resources;  // relative to the root; nullptr for no resource folder
    const char* language;
    std::vector<std::string> expected;
  } rows[] = {
      {"German", "share", "German",
       {"home/samples/Win.wav", "share/samples/German/Win.wav", "share/samples/English/Win.wav"}},
      {"English once", "share", "English", {"home/samples/Win.wav", "share/samples/English/Win.wav"}},
      {"no resource folder", nullptr, "German", {"home/samples/Win.wav"}},
      {"resources in the home", "home", "English", {"home/samples/Win.wav", "home/samples/English/Win.wav"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    folders_.resources = row.resources ? (root_ / row.resources).string() : std::string();
    std::vector<fs::path> expected;
    for (const std::string& e : row.expected) expected.push_back(root_ / e);
    EXPECT_EQ(SoundCandidates(folders_, row.language, "Win.wav"), expected);
  }
}

TEST_F(SoundFilesTest, AnUnreadableHomeSamplesFolderIsNoError) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every folder";
  Put("home/samples/Straight.wav");
  Put("share/samples/English/Straight.wav");
  fs::permissions(root_ / "home" / "samples", fs::perms::none);
  EXPECT_EQ(FindSound(folders_, "English", "Straight.wav"), root_ / "share/samples/English/Straight.wav");
}

TEST_F(SoundFilesTest, ALinkToAFileCounts) {
  const fs::path own = Put("elsewhere/mine.wav");
  fs::create_directories(root_ / "home" / "samples");
  fs::create_symlink(own, root_ / "home" / "samples" / "Faster.wav");
  fs::create_symlink(root_ / "nowhere.wav", root_ / "home" / "samples" / "Win.wav");
  Put("share/samples/English/Win.wav");
  EXPECT_EQ(FindSound(folders_, "English", "Faster.wav"), root_ / "home/samples/Faster.wav");
  EXPECT_EQ(FindSound(folders_, "English", "Win.wav"), root_ / "share/samples/English/Win.wav")
      << "a dangling link is no sound";
}

// The WAV header fields the player needs: PCM, channels, rate, bits.
struct WavFormat {
  bool riff = false;
  std::uint16_t format = 0, channels = 0, bits = 0;
  std::uint32_t rate = 0, dataBytes = 0;
};

WavFormat ReadWavFormat(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::array<unsigned char, 44> h{};
  WavFormat w;
  if (!in.read(reinterpret_cast<char*>(h.data()), h.size())) return w;
  auto u16 = [&](int at) { return std::uint16_t(h[at] | h[at + 1] << 8); };
  auto u32 = [&](int at) { return std::uint32_t(u16(at) | std::uint32_t(u16(at + 2)) << 16); };
  w.riff = std::string(h.begin(), h.begin() + 4) == "RIFF" && std::string(h.begin() + 8, h.begin() + 16) == "WAVEfmt ";
  w.format = u16(20);
  w.channels = u16(22);
  w.rate = u32(24);
  w.bits = u16(34);
  if (std::string(h.begin() + 36, h.begin() + 40) == "data") w.dataBytes = u32(40);
  return w;
}

TEST(ShippedSounds, EveryPromptExistsInEveryLanguageAsSmallMonoPcm) {
  ProgramFolders folders = FoldersUnder("/nonexistent-rovana-home", HomeSource::Option);
  folders.resources = ROVANA_SOURCE_DATA;
  const char* prompts[] = {"TryUTurn.wav", "AhLeftTurn.wav", "Straight.wav", "AhRightTurn.wav",
                           "Arrive.wav",   "HangOn.wav",     "Faster.wav",   "SlowDown.wav",
                           "Win.wav",      "Loose.wav",      "SpeedAlert.wav"};
  for (const char* language : {"English", "German"}) {
    // Every shipped language has a language file of the same name.
    EXPECT_TRUE(fs::exists(fs::path(ROVANA_SOURCE_DATA) / "Language" / (std::string(language) + ".txt")));
    for (const char* prompt : prompts) {
      SCOPED_TRACE(std::string(language) + "/" + prompt);
      const fs::path found = FindSound(folders, language, prompt);
      ASSERT_EQ(found, fs::path(ROVANA_SOURCE_DATA) / "samples" / language / prompt);
      const WavFormat w = ReadWavFormat(found);
      EXPECT_TRUE(w.riff);
      EXPECT_EQ(w.format, 1) << "PCM";
      EXPECT_EQ(w.channels, 1);
      EXPECT_EQ(w.bits, 16);
      EXPECT_LE(w.rate, 22050u);
      EXPECT_GE(w.rate, 8000u);
      // Spoken, and short: between a tenth of a second and four seconds.
      EXPECT_GT(w.dataBytes, w.rate * 2 / 10);
      EXPECT_LT(w.dataBytes, w.rate * 2 * 4);
      EXPECT_EQ(fs::file_size(found), 44u + w.dataBytes);
    }
  }
}

}  // namespace
