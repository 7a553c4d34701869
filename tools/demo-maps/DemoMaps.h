// The demo's raster maps: pictures of the made-up town around the demo
// drive (DemoArea.h) at three scales, each with the calibration file that
// ties its pixels to latitude and longitude. The pictures are north up with
// latitude and longitude linear in the pixels (what a calibration can
// express), drawn with the Liberation fonts, so the same machine draws the
// same pixels on every run.
#pragma once

#include <QImage>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/demo-maps/DemoArea.h"

namespace demomaps {

struct MapSheet {
  const char* fileName;  // the picture; the calibration ends in .txt instead of .png
  const char* title;
  int width, height;     // pixels
  LatLon centre;         // at the picture's centre (width / 2, height / 2)
  double metresPerPixel; // on the ground, at the centre
  int method;            // calibration: 1 (reference and ground width) or 2 (two references)
};
const std::vector<MapSheet>& DemoMapSheets();

// Pixels (x right, y down; pixel i spans i to i + 1) and positions of one map.
class Projection {
 public:
  explicit Projection(const MapSheet& sheet);
  double X(double lon) const;
  double Y(double lat) const;
  LatLon At(double x, double y) const;
  double metresPerPixel() const { return metresPerPixel_; }

 private:
  double centreX_, centreY_, metresPerPixel_;
  LatLon centre_;
  double metresPerDegreeNorth_, metresPerDegreeEast_;
};

// The calibration file's text: width, height, grid 0, reference 1 and
// either the ground width (method 1) or reference 2 (method 2), numbers in
// the C locale.
std::string CalibrationText(const MapSheet& sheet);
std::string CalibrationName(const MapSheet& sheet);

// Loads the Liberation fonts (creating the Qt application on the offscreen
// platform when the process has none). Returns what went wrong, "" when
// ready; drawing needs it first.
std::string PrepareFonts();

// The picture; a null image when the fonts are missing.
QImage DrawMap(const MapSheet& sheet);

// FNV-1a of the picture's pixels as 32-bit 0xAARRGGBB, row by row.
std::uint64_t PixelHash(const QImage& image);

// Writes every picture and its calibration into `folder`, each through a
// temporary file renamed into place. Returns what went wrong, "" on success.
std::string WriteDemoMaps(const std::filesystem::path& folder);

}  // namespace demomaps
