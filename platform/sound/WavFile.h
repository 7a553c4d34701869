// A check of a WAV file's header before it is handed to the sound effect
// decoder, so that only files it plays reach it. Qt 6.4's sample cache never
// recovers from a file it cannot decode: a failed decode, or a data chunk
// that claims more bytes than the file holds (it waits for them for ever),
// makes destroying any sound effect afterwards wait for ever. Its decoder
// takes integer PCM only, and stumbles over odd-sized chunks.
#pragma once

#include <cstdint>
#include <string>

namespace platform::sound {

struct WavFormat {
  std::uint16_t channels = 0;
  std::uint32_t rate = 0;
  std::uint16_t bits = 0;
  std::uint32_t dataBytes = 0;
};

struct WavCheck {
  WavFormat format;
  std::string problem;  // why the file is not playable; "" when it is
  bool ok() const { return problem.empty(); }
};

// Reads the RIFF header and the chunks up to the audio data of `path`. A
// playable file is a little-endian "RIFF"/"WAVE" file with a "fmt " chunk of
// integer PCM (format 1; 8, 16, 24 or 32 bits; 1 or 2 channels; 1000 to
// 192000 Hz), then a "data" chunk of whole sample frames, at least one, all
// present in the file. Chunks before the data must have even sizes; other
// chunks are skipped. Never throws.
WavCheck CheckWavFile(const std::string& path);

}  // namespace platform::sound
