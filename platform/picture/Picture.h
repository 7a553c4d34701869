// Decoded pictures behind a handle that needs no Qt header, so that the
// map catalogue and its job queue stay free of Qt. The handle owns one
// QImage (PictureImage.h gives it to the user interface). Decoding uses only
// QImage and QImageReader, so it may run on any thread, and needs no
// QGuiApplication; the formats are those Qt reads (gif, bmp, jpg, png, ico
// with the usual image plugins).
#pragma once

#include <memory>
#include <string>

namespace platform::picture {

class Picture;  // defined in Picture.cpp around a QImage

struct PictureDeleter {
  void operator()(Picture* picture) const;
};
using PicturePtr = std::unique_ptr<Picture, PictureDeleter>;

// Pictures wider or taller than this are not decoded (a device could not
// hold them); the file is logged and skipped.
inline constexpr int kMaxPictureSide = 10000;

struct Decoded {
  PicturePtr picture;  // null when nothing could be decoded
  int width = 0;
  int height = 0;
  std::string error;  // why there is no picture, for the caller's log
};

// Reads the picture file at `path` (UTF-8). Failures (missing file, unknown
// or damaged format, too large, no memory) give a null picture and the
// reason with the path in `error`. Never throws.
Decoded Decode(const std::string& path);

int WidthOf(const Picture& picture);
int HeightOf(const Picture& picture);

}  // namespace platform::picture
