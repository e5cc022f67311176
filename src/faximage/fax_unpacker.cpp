#include "faximage/fax_unpacker.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "faximage/apf_file.h"
#include "faximage/fax_errors.h"
#include "faximage/image_writers.h"

namespace tlm {

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

void TKvFaxUnpacker::SetInFileName(const std::string& fileName) {
  if (!EqualNoCase(fileName, inFileName_)) {
    std::filesystem::path p(fileName);
    OutFileName = p.replace_extension().string();
  }
  inFileName_ = fileName;
}

int TKvFaxUnpacker::NumPages() const {
  int count = 0;
  CheckFaxResult(ApfCountPages(inFileName_, count));
  return count;
}

bool TKvFaxUnpacker::FaxResolutionFine() const {
  ApfPageHeader h;
  std::uint64_t offset = 0;
  CheckFaxResult(ApfLocatePage(inFileName_, 1, h, offset));
  return h.Fine();
}

bool TKvFaxUnpacker::FaxWidthWide() const {
  ApfPageHeader h;
  std::uint64_t offset = 0;
  CheckFaxResult(ApfLocatePage(inFileName_, 1, h, offset));
  return h.Wide();
}

UnpackSettings TKvFaxUnpacker::Settings() const {
  UnpackSettings s;
  s.doubleHeight = AutoScaleMode == asDoubleHeight;
  s.halfWidth = AutoScaleMode == asHalfWidth;
  s.whitespaceCompression = WhitespaceCompression;
  s.whitespaceFrom = WhitespaceFrom;
  s.whitespaceTo = WhitespaceTo;
  return s;
}

UnpackHooks TKvFaxUnpacker::Hooks(int page) {
  UnpackHooks h;
  if (OnStatus) {
    h.status = [this, page](long done, long total) { OnStatus(*this, inFileName_, page, done, total); };
  }
  if ((Options & uoYield) && OnYield) h.yield = OnYield;
  h.aborted = [this] { return (Options & uoAbort) != 0; };
  return h;
}

// Runs an operation; an abort request is cleared once it has taken effect.
template <typename F>
auto TKvFaxUnpacker::Guarded(F&& f) -> decltype(f()) {
  Options = TUnpackerOptions(Options & ~uoAbort);
  try {
    return f();
  } catch (const EUnpackAbort&) {
    Options = TUnpackerOptions(Options & ~uoAbort);
    throw;
  }
}

void TKvFaxUnpacker::UnpackFile() {
  Guarded([&] {
    const int pages = NumPages();
    for (int page = 1; page <= pages; ++page) {
      if (OnOutputLine) OnOutputLine(*this, true, false, nullptr, 0, page);
      UnpackApfPage(inFileName_, page, Settings(), Hooks(page), [&](const std::uint8_t* line, int bytes) {
        if (OnOutputLine) OnOutputLine(*this, false, false, line, bytes, page);
      });
      if (OnOutputLine) OnOutputLine(*this, false, true, nullptr, 0, page);
    }
    return 0;
  });
}

MonoBitmap TKvFaxUnpacker::ScaledBitmap(int page) {
  MonoBitmap b = UnpackApfPageToBitmap(inFileName_, page, Settings(), Hooks(page));
  if (Scaling && (horizMult_ != horizDiv_ || vertMult_ != vertDiv_)) {
    const long w = long(b.width) * horizMult_ / horizDiv_;
    const long h = long(b.height) * vertMult_ / vertDiv_;
    if (w > 65535 || h > kMaxBitmapLines) ThrowFaxError(-ecOutOfMemory);
    b = StretchBitmap(b, int(w), int(h));
  }
  return b;
}

MonoBitmap TKvFaxUnpacker::UnpackPageToBitmap(int page) {
  return Guarded([&] { return ScaledBitmap(page); });
}

// An export always carries its format's extension: a name that already ends
// in it (in any case) is kept, any other extension is replaced, so a PCX
// export is never written under a ".bmp" name.
std::string TKvFaxUnpacker::ExportPath(const std::string& extension) const {
  const std::string base = OutFileName.empty() ? inFileName_ : OutFileName;
  std::filesystem::path p(base);
  if (EqualNoCase(p.extension().string(), "." + extension)) return base;
  return p.replace_extension(extension).string();
}

void TKvFaxUnpacker::UnpackPageToBmp(int page) {
  Guarded([&] {
    const MonoBitmap b = ScaledBitmap(page);
    WriteImageFile(ExportPath("BMP"), EncodeBmp(b));
    return 0;
  });
}

void TKvFaxUnpacker::UnpackPageToPcx(int page) {
  Guarded([&] {
    WriteImageFile(ExportPath("PCX"), EncodePcx(ScaledBitmap(page)));
    return 0;
  });
}

void TKvFaxUnpacker::UnpackPageToDcx(int page) {
  Guarded([&] {
    std::vector<MonoBitmap> pages;
    if (page == 0) {
      const int count = NumPages();
      for (int p = 1; p <= count; ++p) pages.push_back(ScaledBitmap(p));
    } else {
      pages.push_back(ScaledBitmap(page));
    }
    WriteImageFile(ExportPath("DCX"), EncodeDcx(pages));
    return 0;
  });
}

}  // namespace tlm
