// The picture side of MapImage: decode jobs, taking over their result and
// freeing pictures.
#include <utility>

#include "app/core/Log.h"
#include "app/maps/Loader.h"
#include "app/maps/MapImage.h"
#include "app/maps/PictureJob.h"

namespace rovana::maps {

void PictureJob::Run() {
  platform::picture::Decoded decoded = platform::picture::Decode(path_);
  if (!decoded.picture) {
    LogMessage("%s", decoded.error.empty() ? ("Picture: cannot decode " + path_).c_str() : decoded.error.c_str());
    return;
  }
  width_ = decoded.width;
  height_ = decoded.height;
  picture_ = std::move(decoded.picture);
}

bool MapImage::EnsurePicture(Loader& loader) {
  if (picture_) return true;
  if (job_) {
    if (!jobLoader_->IsDone(job_)) return false;
    auto* job = static_cast<PictureJob*>(job_);
    platform::picture::PicturePtr picture = job->TakePicture();
    if (picture) {
      width_ = job->width();
      height_ = job->height();
      picture_ = std::move(picture);
      failed_ = false;
    } else {
      failed_ = true;
    }
    jobLoader_->Release(job_);
    job_ = nullptr;
    jobLoader_ = nullptr;
    return loaded();
  }
  if (failed_) return false;  // not tried again until the picture is freed
  job_ = loader.Add(std::make_unique<PictureJob>(picturePath()));
  if (job_)
    jobLoader_ = &loader;
  else
    failed_ = true;
  return false;
}

bool MapImage::FreePicture() {
  if (pinned_) return false;
  if (job_) {
    if (!jobLoader_->Cancel(job_)) {
      if (!jobLoader_->IsDone(job_)) return false;  // running: poll again later
      jobLoader_->Release(job_);
    }
    job_ = nullptr;
    jobLoader_ = nullptr;
  }
  picture_.reset();
  failed_ = false;
  return true;
}

void MapImage::AdoptPicture(platform::picture::PicturePtr picture) {
  if (!picture) return;
  width_ = platform::picture::WidthOf(*picture);
  height_ = platform::picture::HeightOf(*picture);
  picture_ = std::move(picture);
  failed_ = false;
}

MapImage::~MapImage() {
  // The queue outlives the maps; a running job is released and destroyed by
  // the worker once done.
  if (job_ && !jobLoader_->Cancel(job_)) jobLoader_->Release(job_);
}

}  // namespace rovana::maps
