#pragma once
// Turning decoded fax pages (1-bit, bit value 1 white) into what the screen
// and the printer draw: quarter turns, and a scaled image whose grey levels
// keep thin lines visible when a page is shown smaller than its pixels.
#include <QColor>
#include <QImage>

#include "faximage/mono_bitmap.h"

namespace tlm {

// The bitmap turned clockwise by `quarters` quarter turns (0..3). A quarter
// turn maps the top row to the rightmost column; the new height is the old
// row length in whole bytes times 8, rows beyond the old width white.
MonoBitmap RotateQuarters(const MonoBitmap& bitmap, int quarters);

// The bitmap at `width` × `height` pixels as an 8-bit indexed image whose
// palette runs from `background` (0) to `foreground` (255). Enlarging copies
// pixels; shrinking averages the covered pixels and triples the darkness, so
// a one-pixel line still shows dark at a quarter of the size.
QImage ScaledPageImage(const MonoBitmap& bitmap, int width, int height, QColor foreground, QColor background);

// The bitmap widened with white to `width` pixels (the decoded bitmap stops
// after its rightmost ink; a page is shown as wide as the fax line).
MonoBitmap PadToWidth(const MonoBitmap& bitmap, int width);

// The bitmap as a Qt monochrome image: index 0 black, 1 white.
QImage MonoImage(const MonoBitmap& bitmap);

}  // namespace tlm
