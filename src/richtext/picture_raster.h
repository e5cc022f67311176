#pragma once
// Pictures made black and white for a bilevel device (the fax page): line
// art is thresholded so that it stays sharp, photographs are dithered with
// the converter's ordered dither, both at the device's own pixels.
#include <QImage>
#include <QTextDocument>

namespace tlm {

// `image` at `width` x `height` device pixels, black (0) and white (255) in
// grey; transparent parts are paper.
QImage BilevelPicture(const QImage& image, int width, int height);

// Replaces the image of every picture of `doc` with its black-and-white
// rendering at `dpi`, the resolution of the device it is painted on.
void MakePicturesBilevel(QTextDocument& doc, double dpi);

}  // namespace tlm
