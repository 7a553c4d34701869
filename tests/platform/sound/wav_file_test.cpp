// The WAV header check on real files written by the test.
#include "platform/sound/WavFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "tests/support/LoggedFolder.h"

namespace {

namespace fs = std::filesystem;
using platform::sound::CheckWavFile;

std::string U16(std::uint32_t v) { return {char(v & 0xff), char(v >> 8 & 0xff)}; }
std::string U32(std::uint32_t v) { return U16(v & 0xffff) + U16(v >> 16); }
std::string Chunk(const std::string& id, const std::string& body) {
  std::string c = id + U32(std::uint32_t(body.size())) + body;
  if (body.size() % 2) c += '\0';
  return c;
}
std::string Fmt(std::uint16_t format, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  const std::uint16_t align = std::uint16_t(channels * bits / 8);
  return Chunk("fmt ", U16(format) + U16(channels) + U32(rate) + U32(rate * align) + U16(align) + U16(bits));
}
std::string Extensible(std::uint16_t subFormat, std::uint16_t channels, std::uint16_t bits) {
  const std::uint16_t align = std::uint16_t(channels * bits / 8);
  std::string guid = U16(subFormat) + std::string("\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71", 14);
  return Chunk("fmt ", U16(0xFFFE) + U16(channels) + U32(22050) + U32(22050 * align) + U16(align) + U16(bits) +
                           U16(22) + U16(bits) + U32(4) + guid);
}
std::string Riff(const std::string& chunks) { return "RIFF" + U32(std::uint32_t(4 + chunks.size())) + "WAVE" + chunks; }
const std::string kSamples = std::string(400, '\x01');

class WavFileTest : public testing_support::LoggedFolderTest {};

TEST_F(WavFileTest, PlayableAndUnplayableHeaders) {
  struct Row {
    const char* what;
    std::string bytes;
    const char* problem;  // "" when playable; else a piece of the problem
  } rows[] = {
      {"mono 16-bit 22050 Hz", Riff(Fmt(1, 1, 22050, 16) + Chunk("data", kSamples)), ""},
      {"stereo 8-bit 11025 Hz", Riff(Fmt(1, 2, 11025, 8) + Chunk("data", kSamples)), ""},
      {"24-bit 48 kHz", Riff(Fmt(1, 1, 48000, 24) + Chunk("data", kSamples.substr(0, 399))), ""},
      {"32-bit 192 kHz stereo", Riff(Fmt(1, 2, 192000, 32) + Chunk("data", kSamples)), ""},
      {"1000 Hz", Riff(Fmt(1, 1, 1000, 16) + Chunk("data", kSamples)), ""},
      {"an 18-byte format chunk", Riff(Chunk("fmt ", Fmt(1, 1, 22050, 16).substr(8) + U16(0)) + Chunk("data", kSamples)), ""},
      {"an even LIST chunk before the data",
       Riff(Fmt(1, 1, 22050, 16) + Chunk("LIST", "INFOxy") + Chunk("data", kSamples)), ""},
      {"a LIST chunk first", Riff(Chunk("LIST", "INFOxy") + Fmt(1, 1, 22050, 16) + Chunk("data", kSamples)), ""},
      {"an odd chunk after the data", Riff(Fmt(1, 1, 22050, 16) + Chunk("data", kSamples) + Chunk("LIST", "INFOx")), ""},
      {"a data chunk shorter than the file", Riff(Fmt(1, 1, 22050, 16)) + "data" + U32(200) + kSamples, ""},
      {"empty file", "", "too short"},
      {"text", "this is not a wave file", "no RIFF WAVE header"},
      {"big-endian RIFX", "RIFX" + U32(4) + "WAVE", "no RIFF WAVE header"},
      {"AVI", "RIFF" + U32(4) + "AVI ", "no RIFF WAVE header"},
      {"header only", Riff(""), "no format chunk"},
      {"no data chunk", Riff(Fmt(1, 1, 22050, 16)), "no audio data"},
      {"empty data", Riff(Fmt(1, 1, 22050, 16) + Chunk("data", "")), "no audio data"},
      {"a streamed header claiming more data",
       "RIFF" + U32(0xFFFFFFFF) + "WAVE" + Fmt(1, 1, 22050, 16) + "data" + U32(0x7FFFFFFE) + kSamples,
       "audio data of 2147483646 bytes of which the file holds 400"},
      {"data cut off", Riff(Fmt(1, 1, 22050, 16)) + "data" + U32(400) + "\x01", "of which the file holds 1"},
      {"half a frame", Riff(Fmt(1, 1, 22050, 16) + Chunk("data", kSamples.substr(0, 399))), "not whole frames"},
      {"data before format", Riff(Chunk("data", kSamples) + Fmt(1, 1, 22050, 16)), "before the format"},
      {"an odd LIST chunk before the data",
       Riff(Fmt(1, 1, 22050, 16) + Chunk("LIST", "INFOx") + Chunk("data", kSamples)), "odd-sized chunk"},
      {"a chunk running past the end", Riff(Fmt(1, 1, 22050, 16)) + "junk" + U32(1000000), "cut-off chunk"},
      {"MP3 inside", Riff(Fmt(0x55, 1, 22050, 0) + Chunk("data", kSamples)), "not integer PCM (format 85)"},
      {"ADPCM", Riff(Fmt(2, 1, 22050, 4) + Chunk("data", kSamples)), "not integer PCM (format 2)"},
      {"32-bit float", Riff(Fmt(3, 1, 44100, 32) + Chunk("data", kSamples)), "not integer PCM (format 3)"},
      {"extensible PCM", Riff(Extensible(1, 2, 16) + Chunk("data", kSamples)), "not integer PCM (format 65534)"},
      {"12 bits", Riff(Fmt(1, 1, 22050, 12) + Chunk("data", kSamples)), "12 bits per sample"},
      {"no channels", Riff(Fmt(1, 0, 22050, 16) + Chunk("data", kSamples)), "0 channels"},
      {"six channels", Riff(Fmt(1, 6, 22050, 16) + Chunk("data", kSamples)), "6 channels"},
      {"rate 0", Riff(Fmt(1, 1, 0, 16) + Chunk("data", kSamples)), "a rate of 0 Hz"},
      {"rate 384 kHz", Riff(Fmt(1, 1, 384000, 16) + Chunk("data", kSamples)), "a rate of 384000 Hz"},
      {"short format chunk", Riff(Chunk("fmt ", std::string("\x01\0\x01\0", 4)) + Chunk("data", kSamples)),
       "format chunk of 4 bytes"},
      {"huge format chunk", Riff(Chunk("fmt ", std::string(2000, '\0')) + Chunk("data", kSamples)),
       "format chunk of 2000 bytes"},
      {"format chunk cut off", Riff("fmt " + U32(16) + "\x01\0"), "cut-off chunk"},
      {"too many chunks", Riff([] {
         std::string many;
         for (int i = 0; i < 70; ++i) many += Chunk("LIST", "ab");
         return many;
       }() + Fmt(1, 1, 22050, 16) + Chunk("data", kSamples)),
       "too many chunks"},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const fs::path file = folder_ / ("case" + std::to_string(n++) + ".wav");
    std::ofstream(file, std::ios::binary) << row.bytes;
    const auto check = CheckWavFile(file.string());
    if (*row.problem == '\0') {
      EXPECT_TRUE(check.ok()) << check.problem;
    } else {
      EXPECT_FALSE(check.ok());
      EXPECT_NE(check.problem.find(row.problem), std::string::npos) << check.problem;
    }
  }
}

TEST_F(WavFileTest, TheFormatIsReported) {
  const fs::path file = folder_ / "tone.wav";
  std::ofstream(file, std::ios::binary) << Riff(Fmt(1, 1, 16000, 16) + Chunk("data", kSamples));
  const auto check = CheckWavFile(file.string());
  ASSERT_TRUE(check.ok()) << check.problem;
  EXPECT_EQ(check.format.channels, 1);
  EXPECT_EQ(check.format.rate, 16000u);
  EXPECT_EQ(check.format.bits, 16);
  EXPECT_EQ(check.format.dataBytes, kSamples.size());
}

TEST_F(WavFileTest, AMissingFileOrAFolderIsNoWav) {
  EXPECT_EQ(CheckWavFile((folder_ / "missing.wav").string()).problem, "cannot be opened");
  EXPECT_FALSE(CheckWavFile(folder_.string()).ok());
  EXPECT_FALSE(CheckWavFile("").ok());
}

TEST_F(WavFileTest, TheShippedPromptsPass) {
  for (const char* language : {"English", "German"})
    for (const auto& entry : fs::directory_iterator(fs::path(ROVANA_SOURCE_DATA) / "samples" / language)) {
      SCOPED_TRACE(entry.path().string());
      const auto check = CheckWavFile(entry.path().string());
      EXPECT_TRUE(check.ok()) << check.problem;
      EXPECT_EQ(check.format.channels, 1);
      EXPECT_EQ(check.format.bits, 16);
    }
}

}  // namespace
