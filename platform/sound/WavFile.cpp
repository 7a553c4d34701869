#include "platform/sound/WavFile.h"

#include <array>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

namespace platform::sound {

namespace {

constexpr int kMaxChunks = 64;  // a header with more chunks before its data is refused
constexpr std::uint32_t kMaxFormatChunk = 1024;
constexpr std::uint16_t kIntegerPcm = 1;

std::uint16_t U16(const unsigned char* p) { return std::uint16_t(p[0] | p[1] << 8); }
std::uint32_t U32(const unsigned char* p) { return std::uint32_t(U16(p)) | std::uint32_t(U16(p + 2)) << 16; }

WavCheck Problem(std::string why) {
  WavCheck check;
  check.problem = std::move(why);
  return check;
}

// The fmt chunk's body (at least 16 bytes) judged; "" when playable.
std::string FormatProblem(const unsigned char* body, WavFormat& f) {
  const std::uint16_t format = U16(body);
  f.channels = U16(body + 2);
  f.rate = U32(body + 4);
  f.bits = U16(body + 14);
  if (format != kIntegerPcm) return "not integer PCM (format " + std::to_string(format) + ")";
  if (f.bits != 8 && f.bits != 16 && f.bits != 24 && f.bits != 32) return std::to_string(f.bits) + " bits per sample";
  if (f.channels < 1 || f.channels > 2) return std::to_string(f.channels) + " channels";
  if (f.rate < 1000 || f.rate > 192000) return "a rate of " + std::to_string(f.rate) + " Hz";
  return "";
}

}  // namespace

WavCheck CheckWavFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return Problem("cannot be opened");
  const std::streamoff fileSize = in.tellg();
  in.seekg(0);
  std::array<unsigned char, 12> riff{};
  if (fileSize < 0 || !in.read(reinterpret_cast<char*>(riff.data()), riff.size()))
    return Problem("too short for a WAV header");
  if (std::memcmp(riff.data(), "RIFF", 4) != 0 || std::memcmp(riff.data() + 8, "WAVE", 4) != 0)
    return Problem("no RIFF WAVE header");
  WavCheck check;
  bool haveFormat = false;
  for (int chunk = 0; chunk < kMaxChunks; ++chunk) {
    std::array<unsigned char, 8> head{};
    if (!in.read(reinterpret_cast<char*>(head.data()), head.size()))
      return Problem(haveFormat ? "no audio data" : "no format chunk");
    const std::uint32_t size = U32(head.data() + 4);
    const std::streamoff remaining = fileSize - in.tellg();
    if (std::memcmp(head.data(), "data", 4) == 0) {
      if (!haveFormat) return Problem("audio data before the format chunk");
      const std::uint32_t frame = std::uint32_t(check.format.channels) * (check.format.bits / 8);
      if (size == 0) return Problem("no audio data");
      if (size % frame) return Problem("audio data of " + std::to_string(size) + " bytes, not whole frames");
      if (std::streamoff(size) > remaining)
        return Problem("audio data of " + std::to_string(size) + " bytes of which the file holds " +
                       std::to_string(remaining));
      check.format.dataBytes = size;
      return check;
    }
    if (size % 2) return Problem("an odd-sized chunk before the audio data");
    if (std::streamoff(size) > remaining) return Problem("a cut-off chunk before the audio data");
    if (std::memcmp(head.data(), "fmt ", 4) == 0) {
      if (size < 16 || size > kMaxFormatChunk) return Problem("a format chunk of " + std::to_string(size) + " bytes");
      std::array<unsigned char, kMaxFormatChunk> body{};
      if (!in.read(reinterpret_cast<char*>(body.data()), size)) return Problem("a cut-off format chunk");
      std::string why = FormatProblem(body.data(), check.format);
      if (!why.empty()) return Problem(why);
      haveFormat = true;
    } else {
      in.seekg(size, std::ios::cur);
    }
  }
  return Problem("too many chunks before the audio data");
}

}  // namespace platform::sound
