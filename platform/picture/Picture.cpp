#include "platform/picture/Picture.h"

#include <QImageReader>
#include <QString>
#include <new>
#include <utility>

#include "platform/picture/PictureImage.h"

namespace platform::picture {

class Picture {
 public:
  explicit Picture(QImage image) : image_(std::move(image)) {}
  const QImage& image() const { return image_; }

 private:
  QImage image_;
};

namespace {

// The largest picture we accept needs 10000 x 10000 x 4 bytes; Qt's own
// default limit (256 MiB) would refuse it before our check could say why.
constexpr int kAllocationLimitMiB = 512;

}  // namespace

void PictureDeleter::operator()(Picture* picture) const { delete picture; }

Decoded Decode(const std::string& path) {
  Decoded result;
  QImageReader reader(QString::fromStdString(path));
  reader.setAllocationLimit(kAllocationLimitMiB);
  const QSize announced = reader.size();
  auto tooLarge = [](QSize size) { return size.width() > kMaxPictureSide || size.height() > kMaxPictureSide; };
  if (announced.isValid() && tooLarge(announced)) {
    result.error = ("Picture: " + path + " is " + std::to_string(announced.width()) + " x " +
           std::to_string(announced.height()) + " pixels, larger than 10000 x 10000; skipped");
    return result;
  }
  QImage image = reader.read();
  if (image.isNull()) {
    result.error = ("Picture: cannot decode " + path + ": " + reader.errorString().toStdString());
    return result;
  }
  if (tooLarge(image.size())) {
    result.error = ("Picture: " + path + " is " + std::to_string(image.width()) + " x " + std::to_string(image.height()) +
           " pixels, larger than 10000 x 10000; skipped");
    return result;
  }
  result.width = image.width();
  result.height = image.height();
  result.picture = MakePicture(std::move(image));
  if (!result.picture) {
    result.width = result.height = 0;
    result.error = ("Picture: out of memory for " + path);
  }
  return result;
}

int WidthOf(const Picture& picture) { return picture.image().width(); }
int HeightOf(const Picture& picture) { return picture.image().height(); }

const QImage& ImageOf(const Picture& picture) { return picture.image(); }

PicturePtr MakePicture(QImage image) { return PicturePtr(new (std::nothrow) Picture(std::move(image))); }

}  // namespace platform::picture
