// The QImage inside a decoded picture, for the code that paints it (map
// view, dialogs). Only the picture's owner may hold the reference, and only
// as long as it keeps the picture.
#pragma once

#include <QImage>

#include "platform/picture/Picture.h"

namespace platform::picture {

const QImage& ImageOf(const Picture& picture);

// A picture made from an image, for tests and for pictures built in memory.
PicturePtr MakePicture(QImage image);

}  // namespace platform::picture
