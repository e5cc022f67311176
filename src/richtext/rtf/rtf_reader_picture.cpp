#include "richtext/rtf/rtf_reader_picture.h"

#include <algorithm>
#include <cmath>

namespace tlm::rtf {
namespace {

constexpr int kMaxTwips = 63360;           // 44 inches
constexpr int kTwipsPerPixel = 15;         // at 96 pixels per inch
constexpr double kTwipsPerHimetric = 1440.0 / 2540.0;

int Clamp(long long value, int low, int high) { return static_cast<int>(std::clamp<long long>(value, low, high)); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

unsigned Byte(const std::string& s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

}  // namespace

bool ImagePixelSize(const std::string& d, PictureKind kind, int& width, int& height) {
  if (kind == PictureKind::Png) {
    // Signature, then the IHDR chunk: length, type, width, height (big-endian).
    if (d.size() < 24 || d.compare(12, 4, "IHDR") != 0) return false;
    auto be32 = [&](std::size_t i) { return (Byte(d, i) << 24) | (Byte(d, i + 1) << 16) | (Byte(d, i + 2) << 8) | Byte(d, i + 3); };
    width = Clamp(be32(16), 0, 1 << 30);
    height = Clamp(be32(20), 0, 1 << 30);
    return width > 0 && height > 0;
  }
  if (kind == PictureKind::Jpeg) {
    // Walk the markers to the first start-of-frame.
    std::size_t i = 2;
    while (i + 9 < d.size()) {
      if (Byte(d, i) != 0xFF) return false;
      unsigned marker = Byte(d, i + 1);
      if (marker == 0xFF) {
        ++i;
        continue;
      }
      std::size_t length = (Byte(d, i + 2) << 8) | Byte(d, i + 3);
      bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
      if (frame) {
        height = static_cast<int>((Byte(d, i + 5) << 8) | Byte(d, i + 6));
        width = static_cast<int>((Byte(d, i + 7) << 8) | Byte(d, i + 8));
        return width > 0 && height > 0;
      }
      if (length < 2) return false;
      i += 2 + length;
    }
  }
  return false;
}

void PictureReader::Begin() { *this = PictureReader{}; }

void PictureReader::Word(std::string_view w, bool hasParam, long long param) {
  auto format = [&](PictureKind kind, bool pixels) {
    if (formatSeen_) return;  // the first format word decides
    formatSeen_ = true;
    picture_.kind = kind;
    pixelSizes_ = pixels;
    if (kind == PictureKind::Unshown) picture_.sourceFormat = std::string(w) + (hasParam ? std::to_string(param) : "");
  };
  if (w == "pngblip") format(PictureKind::Png, true);
  else if (w == "jpegblip") format(PictureKind::Jpeg, true);
  else if (w == "wmetafile" || w == "emfblip" || w == "pmmetafile" || w == "macpict") format(PictureKind::Unshown, false);
  else if (w == "dibitmap" || w == "wbitmap") format(PictureKind::Unshown, true);
  else if (w == "picw") picture_.sourceWidth = Clamp(param, 0, 1 << 24);
  else if (w == "pich") picture_.sourceHeight = Clamp(param, 0, 1 << 24);
  else if (w == "picwgoal") goalWidth_ = Clamp(param, 0, kMaxTwips);
  else if (w == "pichgoal") goalHeight_ = Clamp(param, 0, kMaxTwips);
  else if (w == "picscalex") scaleX_ = Clamp(param, 1, 1000);
  else if (w == "picscaley") scaleY_ = Clamp(param, 1, 1000);
  else if (w == "piccropl") crop_[0] = Clamp(param, -kMaxTwips, kMaxTwips);
  else if (w == "piccropt") crop_[1] = Clamp(param, -kMaxTwips, kMaxTwips);
  else if (w == "piccropr") crop_[2] = Clamp(param, -kMaxTwips, kMaxTwips);
  else if (w == "piccropb") crop_[3] = Clamp(param, -kMaxTwips, kMaxTwips);
}

void PictureReader::Text(char c) {
  if (damaged_ || c == ' ' || c == '\r' || c == '\n' || c == '\t') return;
  int value = HexValue(c);
  if (value < 0) {
    damaged_ = true;
    return;
  }
  if (highNibble_ < 0) {
    highNibble_ = value;
  } else {
    picture_.data += static_cast<char>(highNibble_ * 16 + value);
    highNibble_ = -1;
  }
}

void PictureReader::Binary(std::string_view bytes, bool complete) {
  if (!complete || highNibble_ >= 0) damaged_ = true;
  if (!damaged_) picture_.data.append(bytes);
}

std::optional<Picture> PictureReader::End() {
  if (damaged_ || !formatSeen_ || highNibble_ >= 0 || picture_.data.empty()) return std::nullopt;
  Picture p = std::move(picture_);
  // The size before scaling: the goal size, else \picw/\pich (pixels of a
  // bitmap at 96 dpi, 0.01 mm of a metafile), else the image's own pixels.
  double width = goalWidth_;
  double height = goalHeight_;
  if (width <= 0 || height <= 0) {
    int pw = p.sourceWidth;
    int ph = p.sourceHeight;
    if ((pw <= 0 || ph <= 0) && p.kind != PictureKind::Unshown) ImagePixelSize(p.data, p.kind, pw, ph);
    width = pixelSizes_ ? pw * double(kTwipsPerPixel) : pw * kTwipsPerHimetric;
    height = pixelSizes_ ? ph * double(kTwipsPerPixel) : ph * kTwipsPerHimetric;
  }
  if (width > 0 && height > 0) {
    // Scaled, then cropped: what is left is the size on the page. Crops
    // that leave nothing, or sizes beyond a page, are not believed.
    const long long w = std::llround(width * scaleX_ / 100.0);
    const long long h = std::llround(height * scaleY_ / 100.0);
    long long crop[4];
    for (int i = 0; i < 4; ++i) crop[i] = std::llround(crop_[i] * (i % 2 == 0 ? scaleX_ : scaleY_) / 100.0);
    const long long cw = w - crop[0] - crop[2];
    const long long ch = h - crop[1] - crop[3];
    const auto fits = [](long long v) { return v >= 1 && v <= kMaxTwips; };
    const bool cropped = fits(w) && fits(h) && fits(cw) && fits(ch) &&
                         std::all_of(crop, crop + 4, [](long long c) { return c >= -kMaxTwips && c <= kMaxTwips; });
    if (cropped) {
      p.cropLeft = static_cast<int>(crop[0]);
      p.cropTop = static_cast<int>(crop[1]);
      p.cropRight = static_cast<int>(crop[2]);
      p.cropBottom = static_cast<int>(crop[3]);
    }
    p.widthTwips = Clamp(cropped ? cw : w, 1, kMaxTwips);
    p.heightTwips = Clamp(cropped ? ch : h, 1, kMaxTwips);
  }
  if (p.kind != PictureKind::Unshown) {
    p.sourceWidth = 0;
    p.sourceHeight = 0;
  }
  *this = PictureReader{};
  return p;
}

}  // namespace tlm::rtf
