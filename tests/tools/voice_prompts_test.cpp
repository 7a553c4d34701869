// tools/make-voice-prompts run with a stand-in for espeak-ng that records
// what it is asked to say and writes a prepared WAV file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "tests/support/Process.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ProcessResult;
using testing_support::RunProcess;
using testing_support::SplitLines;

const std::string kScript = std::string(ZEN_SOURCE_DIR) + "/tools/make-voice-prompts";

std::string U16(std::uint32_t v) { return {char(v & 0xff), char(v >> 8 & 0xff)}; }
std::string U32(std::uint32_t v) { return U16(v & 0xffff) + U16(v >> 16); }
std::string Wav(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  const std::string data(400, '\x02');
  const std::uint16_t align = std::uint16_t(channels * bits / 8);
  return "RIFF" + U32(36 + data.size()) + "WAVEfmt " + U32(16) + U16(1) + U16(channels) + U32(rate) +
         U32(rate * align) + U16(align) + U16(bits) + "data" + U32(data.size()) + data;
}

class VoicePromptsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    folder_ = fs::temp_directory_path() / ("rovana-prompts-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(folder_);
    // Records "voice|file|phrase" and copies the prepared WAV to the -w file.
    fake_ = folder_ / "fake-espeak";
    std::ofstream(fake_) << "#!/usr/bin/env bash\n"
                            "voice= file=\n"
                            "while [ $# -gt 0 ]; do case \"$1\" in\n"
                            "  -v) voice=$2; shift 2;; -w) file=$2; shift 2;; --) shift; break;;\n"
                            "  -s|-p|-a) shift 2;; *) shift;; esac; done\n"
                            "echo \"$voice|$(basename \"$file\")|$*\" >> '"
                         << (folder_ / "said").string() << "'\ncp '" << (folder_ / "template.wav").string()
                         << "' \"$file\"\n";
    fs::permissions(fake_, fs::perms::owner_all);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  void Template(const std::string& bytes) { std::ofstream(folder_ / "template.wav", std::ios::binary) << bytes; }
  ProcessResult Run() { return RunProcess(kScript, {"--out", (folder_ / "out").string(), "--espeak", fake_.string()}); }
  std::map<std::string, std::string> Said() const {  // "voice|file" -> phrase
    std::ifstream in(folder_ / "said");
    std::map<std::string, std::string> said;
    for (std::string line; std::getline(in, line);) {
      const auto bar = line.rfind('|');
      said[line.substr(0, bar)] = line.substr(bar + 1);
    }
    return said;
  }

  fs::path folder_, fake_;
};

const char* kPrompts[] = {"TryUTurn", "AhLeftTurn", "Straight", "AhRightTurn", "Arrive",    "HangOn",
                          "Faster",   "SlowDown",   "Win",      "Loose",       "SpeedAlert"};

TEST_F(VoicePromptsTest, WritesEveryPromptInBothLanguagesWithTheirVoices) {
  Template(Wav(1, 22050, 16));
  const ProcessResult run = Run();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(SplitLines(run.out).size(), 22u) << "one line per written file: " << run.out;
  const auto said = Said();
  EXPECT_EQ(said.size(), 22u);
  struct Row {
    const char* folder;
    const char* voice;
  } rows[] = {{"English", "en"}, {"German", "de"}};
  for (const Row& row : rows)
    for (const char* prompt : kPrompts) {
      SCOPED_TRACE(std::string(row.folder) + "/" + prompt);
      const std::string file = std::string(prompt) + ".wav";
      EXPECT_TRUE(fs::exists(folder_ / "out" / row.folder / file));
      ASSERT_EQ(said.count(std::string(row.voice) + "|." + file + ".partial"), 1u) << "written beside its name";
      EXPECT_FALSE(said.at(std::string(row.voice) + "|." + file + ".partial").empty());
    }
  EXPECT_EQ(said.at("en|.Arrive.wav.partial"), "You have arrived");
  EXPECT_EQ(said.at("de|.Straight.wav.partial"), "Geradeaus");
  for (const auto& e : fs::recursive_directory_iterator(folder_ / "out"))
    EXPECT_EQ(e.path().filename().string().find(".partial"), std::string::npos) << e.path();
}

TEST_F(VoicePromptsTest, ASynthesiserGivingTheWrongFormatFailsAndKeepsThePreviousPrompts) {
  struct Row {
    const char* what;
    std::string bytes;
  } rows[] = {{"stereo", Wav(2, 22050, 16)}, {"44.1 kHz", Wav(1, 44100, 16)}, {"8-bit", Wav(1, 22050, 8)},
              {"no RIFF", "not a wave file at all, but long enough for a header........"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(folder_ / "out");
    fs::create_directories(folder_ / "out" / "English");
    std::ofstream(folder_ / "out" / "English" / "TryUTurn.wav") << "the previous prompt";
    Template(row.bytes);
    const ProcessResult run = Run();
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("is not mono 16-bit PCM at 22050 Hz or less"), std::string::npos) << run.err;
    std::ifstream kept(folder_ / "out" / "English" / "TryUTurn.wav");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "the previous prompt");
    for (const auto& e : fs::recursive_directory_iterator(folder_ / "out"))
      EXPECT_EQ(e.path().filename().string().find(".partial"), std::string::npos) << e.path();
  }
}

TEST_F(VoicePromptsTest, HelpMistakesAndAMissingSynthesiser) {
  struct Row {
    const char* what;
    std::vector<std::string> args;
    int status;
    const char* piece;  // in standard output for status 0, else in standard error
  } rows[] = {
      {"help", {"--help"}, 0, "SpeedAlert"},
      {"help names the package", {"--help"}, 0, "espeak-ng"},
      {"unknown option", {"--loud"}, 2, "unknown argument '--loud'"},
      {"--out without a folder", {"--out"}, 2, "--out needs a folder"},
      {"no synthesiser", {"--espeak", "/nonexistent/espeak-ng", "--out", "/nonexistent/out"}, 1,
       "apt-get install espeak-ng"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const ProcessResult run = RunProcess(kScript, row.args);
    EXPECT_EQ(run.status, row.status);
    const std::string& text = row.status == 0 ? run.out : run.err;
    EXPECT_NE(text.find(row.piece), std::string::npos) << text;
  }
  EXPECT_FALSE(fs::exists("/nonexistent/out"));
}

}  // namespace
