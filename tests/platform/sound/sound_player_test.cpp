// The sound player under Qt's offscreen platform, with real WAV files in a
// temporary folder. Build machines usually have no audio output: then every
// play returns at once, silent, with one logged line however often it is
// asked. On a machine with audio the same calls play.
#include "platform/sound/SoundPlayer.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QElapsedTimer>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/LoggedFolder.h"

namespace {

namespace fs = std::filesystem;
using platform::sound::SoundPlayer;

constexpr const char* kNoOutputLine = "Sound: no audio output device";

// Writes a mono 16-bit PCM WAV file with a short tone.
void WriteTone(const fs::path& file, int milliseconds, int rate = 22050) {
  const std::uint32_t samples = std::uint32_t(rate) * milliseconds / 1000;
  const std::uint32_t dataBytes = samples * 2;
  std::ofstream out(file, std::ios::binary);
  auto u16 = [&](std::uint16_t v) { out.put(char(v & 0xff)).put(char(v >> 8)); };
  auto u32 = [&](std::uint32_t v) { u16(std::uint16_t(v & 0xffff)), u16(std::uint16_t(v >> 16)); };
  out << "RIFF";
  u32(36 + dataBytes);
  out << "WAVEfmt ";
  u32(16), u16(1), u16(1), u32(rate), u32(rate * 2), u16(2), u16(16);
  out << "data";
  u32(dataBytes);
  for (std::uint32_t i = 0; i < samples; ++i)
    u16(std::uint16_t(std::int16_t(8000 * std::sin(2 * M_PI * 440 * i / rate))));
}

// Lets the event loop run for `milliseconds`.
void Spin(int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

class SoundPlayerTest : public testing_support::LoggedFolderTest {
 protected:
  static void SetUpTestSuite() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "sound_player_test";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);  // one for the run
    (void)app;
  }

  std::size_t Count(const std::string& piece) const {
    const std::string log = LogText();
    std::size_t n = 0;
    for (std::size_t at = log.find(piece); at != std::string::npos; at = log.find(piece, at + 1)) ++n;
    return n;
  }
  fs::path Tone(const char* name, int milliseconds = 300) {
    const fs::path file = folder_ / name;
    WriteTone(file, milliseconds);
    return file;
  }
};

TEST_F(SoundPlayerTest, TwoPlaysReturnAtOnceAndAMissingOutputIsLoggedOnce) {
  const fs::path prompt = Tone("Arrive.wav");
  SoundPlayer player;
  QElapsedTimer clock;
  clock.start();
  const bool first = player.Play(prompt.string());
  const bool second = player.Play(prompt.string());
  EXPECT_LT(clock.elapsed(), 1000) << "playing never waits for the sound";
  Spin(300);
  if (SoundPlayer::HasAudioOutput()) {
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
    EXPECT_EQ(Count(kNoOutputLine), 0u) << LogText();
  } else {
    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    EXPECT_EQ(Count(kNoOutputLine), 1u) << LogText();
  }
  EXPECT_EQ(Count("Sound: "), Count(kNoOutputLine)) << "nothing else to report: " << LogText();
}

TEST_F(SoundPlayerTest, MissingFilesAreSilentAndLoggedOncePerFile) {
  SoundPlayer player;
  struct Row {
    std::string path;
    int plays;
  } rows[] = {{(folder_ / "Missing.wav").string(), 3},
              {(folder_ / "Other.wav").string(), 2},
              {folder_.string(), 2},  // a folder, not a file
              {"", 2}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    for (int i = 0; i < row.plays; ++i) EXPECT_FALSE(player.Play(row.path));
  }
  Spin(50);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(Count("Sound: " + row.path + " is no file"), 1u) << LogText();
  }
  EXPECT_EQ(Count("Sound: "), 4u) << LogText();
  EXPECT_EQ(Count(kNoOutputLine), 0u) << "no output is looked for without a file";
}

TEST_F(SoundPlayerTest, FilesThatAreNoWavAreRefusedBeforeAnyDecoderAndLoggedOnce) {
  const fs::path junk = folder_ / "Junk.wav";
  std::ofstream(junk, std::ios::binary) << "this is no RIFF file at all";
  const fs::path empty = folder_ / "Empty.wav";
  std::ofstream(empty, std::ios::binary).flush();
  // A header written while streaming, claiming more data than there is.
  const fs::path streamed = folder_ / "Streamed.wav";
  WriteTone(streamed, 100);
  {
    std::fstream patch(streamed, std::ios::binary | std::ios::in | std::ios::out);
    patch.seekp(40);
    patch.write("\xfe\xff\xff\x7f", 4);
  }
  const fs::path good = Tone("Good.wav");
  SoundPlayer player;
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(player.Play(junk.string()));
    EXPECT_FALSE(player.Play(empty.string()));
    EXPECT_FALSE(player.Play(streamed.string()));
    Spin(100);
  }
  EXPECT_EQ(Count("Sound: " + streamed.string() + " is not a playable WAV file: audio data of 2147483646 bytes"), 1u)
      << LogText();
  EXPECT_EQ(Count("Sound: " + junk.string() + " is not a playable WAV file: no RIFF WAVE header"), 1u) << LogText();
  EXPECT_EQ(Count("Sound: " + empty.string() + " is not a playable WAV file: too short"), 1u) << LogText();
  EXPECT_EQ(Count(kNoOutputLine), 0u) << "refused before the output is looked for";
  // A good file afterwards still plays (or meets the missing output), and
  // the player still ends.
  EXPECT_EQ(player.Play(good.string()), SoundPlayer::HasAudioOutput());
  Spin(100);
}

TEST_F(SoundPlayerTest, ManyPromptsInARowOverflowTheCacheHarmlessly) {
  SoundPlayer player;
  std::vector<fs::path> prompts;
  for (std::size_t i = 0; i < SoundPlayer::kCachedSounds + 5; ++i)
    prompts.push_back(Tone(("Prompt" + std::to_string(i) + ".wav").c_str(), 100));
  QElapsedTimer clock;
  clock.start();
  for (int round = 0; round < 2; ++round)
    for (const fs::path& prompt : prompts) player.Play(prompt.string());
  EXPECT_LT(clock.elapsed(), 3000);
  Spin(300);
  player.Stop();
  Spin(50);
  EXPECT_LE(Count(kNoOutputLine), 1u) << LogText();
  EXPECT_EQ(Count(" is no file"), 0u) << LogText();
  EXPECT_EQ(Count("cannot be loaded"), 0u) << "our own tones load: " << LogText();
}

TEST_F(SoundPlayerTest, APlayFromAnotherThreadHappensOnThePlayersThread) {
  const fs::path prompt = Tone("Faster.wav");
  const fs::path missing = folder_ / "Gone.wav";
  SoundPlayer player;
  bool handed = false, handedMissing = false;
  std::thread worker([&] {
    handed = player.Play(prompt.string());
    handedMissing = player.Play(missing.string());
  });
  worker.join();
  EXPECT_TRUE(handed) << "handed over, not yet judged";
  EXPECT_TRUE(handedMissing);
  EXPECT_EQ(Count("Sound: "), 0u) << "nothing happened on the worker: " << LogText();
  Spin(300);
  EXPECT_EQ(Count("Sound: " + missing.string() + " is no file"), 1u) << LogText();
  EXPECT_EQ(Count(kNoOutputLine), SoundPlayer::HasAudioOutput() ? 0u : 1u) << LogText();
}

TEST_F(SoundPlayerTest, APlayerGoneBeforeItsHandedOverPlayIsNoCrash) {
  const fs::path missing = folder_ / "Late.wav";
  {
    SoundPlayer player;
    std::thread worker([&] { player.Play(missing.string()); });
    worker.join();
  }
  Spin(100);
  EXPECT_EQ(Count("Sound: "), 0u) << "the handed-over play was dropped: " << LogText();
}

TEST_F(SoundPlayerTest, TheShippedPromptsPassTheCheckAndLoad) {
  SoundPlayer player;
  for (const char* language : {"English", "German"})
    for (const auto& entry : fs::directory_iterator(fs::path(ROVANA_SOURCE_DATA) / "samples" / language)) {
      player.Play(entry.path().string());
      Spin(30);
    }
  Spin(300);
  EXPECT_EQ(Count("Sound: "), Count(kNoOutputLine)) << "every prompt is playable: " << LogText();
  EXPECT_LE(Count(kNoOutputLine), 1u);
}

TEST_F(SoundPlayerTest, APlayerDestroyedWhileItsFilesLoadReturnsAtOnce) {
  const fs::path longTone = Tone("Long.wav", 20000);
  const fs::path shortTone = Tone("Short.wav", 50);
  QElapsedTimer clock;
  clock.start();
  {
    SoundPlayer player;
    player.Play(longTone.string());
    player.Play(shortTone.string());
  }
  EXPECT_LT(clock.elapsed(), 2000);
  Spin(200);  // the loads end after their player
  SoundPlayer next;
  EXPECT_EQ(next.Play(shortTone.string()), SoundPlayer::HasAudioOutput());
  Spin(100);
}

TEST_F(SoundPlayerTest, StopIsHarmlessAnywhere) {
  SoundPlayer player;
  player.Stop();  // nothing plays
  player.Play(Tone("Win.wav").string());
  player.Stop();
  player.Stop();
  std::thread worker([&] { player.Stop(); });  // ignored off the player's thread
  worker.join();
  Spin(100);
  SUCCEED();
}

}  // namespace
