// Bytes of real pictures for the tile tests: an 8 x 8 red PNG (made with
// zlib, checked by Qt's decoder in the tests that draw it) and the first
// bytes of a JPEG and a GIF.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace testing_support {

inline const std::string kTinyPng(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x08\x00\x00\x00\x08\x08\x06\x00"
    "\x00\x00\xc4\x0f\xbe\x8b\x00\x00\x00\x12\x49\x44\x41\x54\x78\x9c\x63\x38\x21\x27\xf7\x1f\x1f\x66\x18\x19\x0a"
    "\x00\x53\x46\x80\xc1\xd4\x9f\xa6\xf6\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
    75);
inline const std::string kJpegStart("\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 20);
inline const std::string kGifStart = "GIF89a\x01\x00\x01\x00\x80\x00\x00";

inline void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace testing_support
