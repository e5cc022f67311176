#include "richtext/rtf/rtf_writer_picture.h"

#include "richtext/rtf/rtf_reader_picture.h"

namespace tlm::rtf {
namespace {

constexpr std::size_t kHexLine = 128;  // hex digits per line

void Number(std::string& out, const char* word, long long value) {
  out += word;
  out += std::to_string(value);
}

void Hex(std::string& out, const std::string& data) {
  static const char digits[] = "0123456789abcdef";
  out.reserve(out.size() + data.size() * 2 + data.size() / (kHexLine / 2) + 2);
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i % (kHexLine / 2) == 0) out += '\n';
    auto b = static_cast<unsigned char>(data[i]);
    out += digits[b >> 4];
    out += digits[b & 15];
  }
}

}  // namespace

void WritePicture(std::string& out, const Picture& p) {
  if (p.data.empty()) return;
  const bool shown = p.kind != PictureKind::Unshown;
  if (!shown && p.sourceFormat.empty()) return;
  int pixelWidth = p.sourceWidth;
  int pixelHeight = p.sourceHeight;
  if (shown && !ImagePixelSize(p.data, p.kind, pixelWidth, pixelHeight)) {
    pixelWidth = p.widthTwips / 15;
    pixelHeight = p.heightTwips / 15;
  }
  if (shown) out += "{\\*\\shppict";
  out += "{\\pict\\picscalex100\\picscaley100";
  if (pixelWidth > 0 || pixelHeight > 0) {
    Number(out, "\\picw", pixelWidth);
    Number(out, "\\pich", pixelHeight);
  }
  if (p.widthTwips > 0 && p.heightTwips > 0) {
    // The goal size is the whole picture's; the crops take the edges off.
    Number(out, "\\picwgoal", static_cast<long long>(p.widthTwips) + p.cropLeft + p.cropRight);
    Number(out, "\\pichgoal", static_cast<long long>(p.heightTwips) + p.cropTop + p.cropBottom);
    if (p.cropLeft) Number(out, "\\piccropl", p.cropLeft);
    if (p.cropTop) Number(out, "\\piccropt", p.cropTop);
    if (p.cropRight) Number(out, "\\piccropr", p.cropRight);
    if (p.cropBottom) Number(out, "\\piccropb", p.cropBottom);
  }
  switch (p.kind) {
    case PictureKind::Png: out += "\\pngblip"; break;
    case PictureKind::Jpeg: out += "\\jpegblip"; break;
    case PictureKind::Unshown: out += "\\" + p.sourceFormat; break;
  }
  Hex(out, p.data);
  out += "\n}";
  if (shown) out += "}";
}

}  // namespace tlm::rtf
