// The decode job of one map picture, run by the picture Loader's worker.
// Its owner reads the result only after the queue reports it done.
#pragma once

#include <string>
#include <utility>

#include "app/maps/Loader.h"
#include "platform/picture/Picture.h"

namespace rovana::maps {

class PictureJob : public Job {
 public:
  explicit PictureJob(std::string path) : path_(std::move(path)) {}
  // Decodes the file; a failure is logged and leaves no picture.
  void Run() override;

  const std::string& path() const { return path_; }
  // After done: the picture (taken over by the caller), null when it failed.
  platform::picture::PicturePtr TakePicture() { return std::move(picture_); }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  std::string path_;
  platform::picture::PicturePtr picture_;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace rovana::maps
