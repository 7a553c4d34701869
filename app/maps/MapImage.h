// MapImage: one raster map, a picture file in a data folder, with its
// calibration (a 3 x 3 transform from (longitude, latitude, 1) in radians to
// picture pixels) and the state of its decoded picture.
//
// Calibration file: the picture's name with its last three characters
// replaced by "txt", in the picture's folder; one "key = value" per line,
// numbers in the C locale. Read keys: width, height (pixels, 0 < v <=
// 100000), ref1x, ref1y, lat1/lat, lon1/lon (degrees), ref2x, ref2y, lat2,
// lon2, widthM (metres), grid (an id of the grid catalogue). Lines that are
// not "key = number" are ignored; a later line overrides an earlier one.
// Written lines, in this order:
//   width  = %d / height = %d / grid   = %d / ref1x  = %d / ref1y  = %d /
//   lat1   = %3.8lf / lon1   = %3.8lf, then widthM = %.2lf (1-point) or
//   ref2x, ref2y, lat2, lon2 (2-point).
// A file is replaced atomically (temporary file, flush, rename); writing an
// uncalibrated map deletes it. Pictures "a.jpg" and "a.png" share "a.txt":
// before replacing or deleting a file that another picture of the folder
// pairs with, the map logs it and asks the environment's hook (no hook: go
// on); loading never asks and then leaves such a file alone.
//
// Failures never throw: a file that cannot be read leaves the map
// uncalibrated; a transform that cannot be inverted is logged by matrixT and
// leaves the map uncalibrated without writing; conversions outside the grid
// are logged and leave the calibration as it was.
//
// Threads: the user-interface thread only (the loading dialog's thread at
// start-up, before the main screen runs).
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "app/maps/GridConverter.h"
#include "app/processing/MatrixT.h"
#include "platform/picture/Picture.h"

namespace rovana {
class TextList;
}

namespace rovana::maps {

class Job;
class Loader;
class MapImage;

inline constexpr int kMaxMapSide = 100000;  // pixels, for sizes read from calibration files
inline constexpr double kMinWidthM = 1.0;   // metres

// Asked before a calibration file that another picture pairs with is
// replaced or deleted: (the map writing, the other picture's name); true to
// go on.
using OverwriteHook = std::function<bool(const MapImage& map, const std::string& otherPicture)>;

// What every map of a catalogue shares. All members must outlive the maps.
struct MapEnvironment {
  GridConverter& grids;
  TextList& hiddenMaps;  // the `hiddenMaps` setting
  OverwriteHook overwrite;
};

enum class CalibrationMethod : int { OnePoint = 1, TwoPoint = 2 };

// A pixel (x, y) or a position (longitude, latitude in radians).
struct MapPoint {
  double x = 0, y = 0;
};

// The screen-to-position function of the map view: the position (x =
// longitude, y = latitude, radians) under a screen pixel; nothing when the
// view's transform cannot be inverted.
using ScreenToPosition = std::function<std::optional<MapPoint>(double x, double y)>;

struct MapBounds {
  double minLon = 0, maxLon = 0, minLat = 0, maxLat = 0;
};

// Flags of SetTransform.
struct TransformFlags {
  bool reference1AndWidth = false;  // recompute reference 1's position and widthM
  bool bothReferences = false;      // recompute both reference positions
  bool write = false;               // write the calibration file
};

class MapImage {
 public:
  // Reads the calibration file of `folder`/`name` (see above).
  MapImage(MapEnvironment& environment, std::string folder, std::string name);
  ~MapImage();
  MapImage(const MapImage&) = delete;
  MapImage& operator=(const MapImage&) = delete;

  const std::string& folder() const { return folder_; }
  const std::string& name() const { return name_; }
  // name() with its last three characters replaced by "txt".
  const std::string& calibrationName() const { return calibrationName_; }
  std::string picturePath() const;
  std::string calibrationPath() const;

  // --- Calibration -------------------------------------------------------
  void LoadCalibration();
  // Reference pixel (x1, y1) at `lon1`, `lat1` (radians), ground width
  // `widthM` metres (at least 1), aligned to `gridId`.
  // False (nothing changed) when the map has no size or the grid cannot
  // convert the reference.
  bool Calibrate1Point(double x1, double y1, double lon1, double lat1, double widthM, int gridId, bool write);
  // Two references; the second fixes the scale only. Unchanged when both
  // references have the same easting and the same northing.
  void Calibrate2Point(MapPoint pixel1, MapPoint position1, MapPoint pixel2, MapPoint position2, int gridId);
  // False (and uncalibrated, nothing written) when `transform` cannot be
  // inverted.
  bool SetTransform(const matrixT& transform, TransformFlags flags);
  // Menu "Set reference n" at `position` (longitude, latitude): n = 1 or 2.
  void SetReference(int n, MapPoint position);
  // Lays an uncalibrated picture (its size known) onto a view of
  // `screenWidth` x `screenHeight` pixels; not written.
  bool CalibrateToView(int screenWidth, int screenHeight, const ScreenToPosition& screenToPosition);
  // The interactive edits of calibration mode (none writes). Move: the map
  // follows a view offset of (dLon, dLat) radians. Scale: by `factor` about
  // `about` (longitude, latitude), which keeps its pixel. Rotate: `rotation`
  // is a rotation of the screen and `view` the screen transform it was
  // seen through.
  void Move(double dLon, double dLat);
  void Scale(double factor, MapPoint about);
  void Rotate(const matrixT& view, const matrixT& rotation);
  // Uncalibrated, hidden, and the calibration file deleted.
  void Decalibrate();

  bool calibrated() const { return calibrated_; }
  CalibrationMethod method() const { return method_; }
  int width() const { return width_; }
  int height() const { return height_; }
  const matrixT& transform() const { return transform_; }
  // Pixel of a position, and back; nothing when uncalibrated.
  std::optional<MapPoint> ToPixel(double lon, double lat) const;
  std::optional<MapPoint> ToPosition(double x, double y) const;
  MapPoint reference1Pixel() const { return ref1Pixel_; }
  MapPoint reference2Pixel() const { return ref2Pixel_; }
  MapPoint reference1Position() const { return ref1Position_; }  // longitude, latitude
  MapPoint reference2Position() const { return ref2Position_; }
  double widthM() const { return widthM_; }
  int grid() const { return grid_; }
  // Corners (0, 0), (width + 1.7, 0), (width + 1.7, height + 1.1),
  // (0, height + 1.1) as positions.
  const std::array<MapPoint, 4>& corners() const { return corners_; }
  const MapBounds& bounds() const { return bounds_; }
  double area() const { return area_; }  // radians squared

  // --- Visibility and picture --------------------------------------------
  bool visible() const { return visible_; }
  void setVisible(bool visible) { visible_ = visible; }
  bool pinned() const { return pinned_; }
  void setPinned(bool pinned) { pinned_ = pinned; }
  bool loaded() const { return static_cast<bool>(picture_); }
  bool failed() const { return failed_; }
  bool pictureJobPending() const { return job_ != nullptr; }
  // The decoded picture, null unless loaded().
  const platform::picture::Picture* picture() const { return picture_.get(); }

  // True when the picture is loaded; otherwise starts (or checks) its decode
  // job on `loader`. A failed picture is not tried again until freed.
  bool EnsurePicture(Loader& loader);
  // Drops the picture (not while pinned). A job already running is only
  // polled: false when it is still running (call again later).
  bool FreePicture();
  // For tests and for pictures made in memory.
  void AdoptPicture(platform::picture::PicturePtr picture);

 private:
  struct GridPoint {
    double northing = 0, easting = 0;
    int zone = 0;
  };
  std::optional<GridPoint> ToGrid(MapPoint position, int gridId) const;
  std::optional<MapPoint> FromGrid(const GridPoint& point, int gridId) const;
  void ComputeCorners(const matrixT& inverse);
  void RecomputeWidth();
  // Another picture of the folder that pairs with the same calibration file.
  std::string SharingPicture() const;
  bool MayReplaceFile(bool quiet) const;
  void WriteCalibration(bool quiet = false);
  void SetHiddenFromSettings();

  MapEnvironment& env_;
  std::string folder_;
  std::string name_;
  std::string calibrationName_;

  bool calibrated_ = false;
  CalibrationMethod method_ = CalibrationMethod::OnePoint;
  int width_ = 0;
  int height_ = 0;
  matrixT transform_;
  std::array<MapPoint, 4> corners_{};
  MapBounds bounds_{};
  double area_ = 0;
  MapPoint ref1Pixel_{}, ref2Pixel_{};
  MapPoint ref1Position_{}, ref2Position_{};
  double widthM_ = kMinWidthM;
  int grid_ = 0;
  bool loadingFile_ = false;  // a write while loading never asks

  bool visible_ = false;
  bool pinned_ = false;
  bool failed_ = false;
  platform::picture::PicturePtr picture_;
  Job* job_ = nullptr;
  Loader* jobLoader_ = nullptr;
};

// The calibration file's text for the map as it is ("" when uncalibrated);
// what WriteCalibration puts in the file.
std::string CalibrationText(const MapImage& map);

}  // namespace rovana::maps
