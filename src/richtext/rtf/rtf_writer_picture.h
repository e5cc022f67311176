#pragma once
// Writes a picture as RTF: PNG and JPEG inside {\*\shppict{\pict ...}}, an
// unshown picture in its own format, each with its goal size so that word
// processors show it at the size it has here.
#include <string>

#include "richtext/rtf/rtf_picture.h"

namespace tlm::rtf {

void WritePicture(std::string& out, const Picture& picture);

}  // namespace tlm::rtf
