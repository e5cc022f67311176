#pragma once
// A picture placed in the text: the file's bytes as stored in the RTF and
// the size it takes on the page. PNG and JPEG pictures are shown; a picture
// in any other format (a metafile, a device-independent bitmap) keeps its
// place as an empty box of its size and its bytes are written back as read.
#include <string>

namespace tlm::rtf {

enum class PictureKind { Png, Jpeg, Unshown };

struct Picture {
  PictureKind kind = PictureKind::Unshown;
  std::string data;  // the picture file's bytes
  // The size on the page in twips, scaling applied; 0: the image's own size.
  int widthTwips = 0;
  int heightTwips = 0;
  // An unshown picture's format word (e.g. "wmetafile8", "emfblip") and its
  // \picw/\pich, needed to write it back; empty for PNG and JPEG.
  std::string sourceFormat;
  int sourceWidth = 0;
  int sourceHeight = 0;
  // Twips cut off each side of the picture, at its size on the page (the
  // size above is what is left); negative values add a margin.
  int cropLeft = 0;
  int cropTop = 0;
  int cropRight = 0;
  int cropBottom = 0;
  bool operator==(const Picture&) const = default;
};

}  // namespace tlm::rtf
