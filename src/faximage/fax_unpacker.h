#pragma once
// TKvFaxUnpacker: decodes the pages of an APF file into raster lines, a
// monochrome bitmap in memory, or BMP, PCX and DCX files.
#include <cstdint>
#include <functional>
#include <string>

#include "faximage/fax_unpack_engine.h"
#include "faximage/mono_bitmap.h"

namespace tlm {

enum TUnpackerOption : std::uint8_t { uoYield = 1, uoAbort = 2 };
using TUnpackerOptions = std::uint8_t;
enum TAutoScaleMode { asNone, asDoubleHeight, asHalfWidth };

class TKvFaxUnpacker;
using TUnpackOutputLineEvent = std::function<void(TKvFaxUnpacker& sender, bool starting, bool ending,
                                                  const std::uint8_t* data, int len, int pageNum)>;
using TUnpackStatusEvent = std::function<void(TKvFaxUnpacker& sender, const std::string& fileName, int pageNum,
                                              long bytesUnpacked, long bytesToUnpack)>;

class TKvFaxUnpacker {
 public:
  // Setting uoAbort (from an event handler) stops the running unpack.
  TUnpackerOptions Options = uoYield;
  bool WhitespaceCompression = false;
  int WhitespaceFrom = 0;
  int WhitespaceTo = 0;
  bool Scaling = false;
  TAutoScaleMode AutoScaleMode = asDoubleHeight;

  int HorizMult() const { return horizMult_; }
  int HorizDiv() const { return horizDiv_; }
  int VertMult() const { return vertMult_; }
  int VertDiv() const { return vertDiv_; }
  // Assigning 0 is ignored.
  void SetHorizMult(int v) { if (v > 0) horizMult_ = v; }
  void SetHorizDiv(int v) { if (v > 0) horizDiv_ = v; }
  void SetVertMult(int v) { if (v > 0) vertMult_ = v; }
  void SetVertDiv(int v) { if (v > 0) vertDiv_ = v; }

  const std::string& InFileName() const { return inFileName_; }
  // A name that differs (ignoring case) also sets OutFileName to it without
  // its extension.
  void SetInFileName(const std::string& fileName);
  std::string OutFileName;

  TUnpackOutputLineEvent OnOutputLine;
  TUnpackStatusEvent OnStatus;
  // Lets the owner process pending events (with uoYield, every 16 lines);
  // false means quit (error 1003).
  std::function<bool()> OnYield;

  // The file header's page count.
  int NumPages() const;
  // Page 1's resolution (true: fine) and width (true: 2048 pixels).
  bool FaxResolutionFine() const;
  bool FaxWidthWide() const;

  // Raises OnOutputLine for every line of every page.
  void UnpackFile();
  MonoBitmap UnpackPageToBitmap(int page);
  void UnpackPageToBmp(int page);
  void UnpackPageToPcx(int page);
  // Page 0 puts every page of the file into the DCX file.
  void UnpackPageToDcx(int page);

  // The export file name for a format extension such as "BMP".
  std::string ExportPath(const std::string& extension) const;

 private:
  UnpackSettings Settings() const;
  UnpackHooks Hooks(int page);
  MonoBitmap ScaledBitmap(int page);
  template <typename F>
  auto Guarded(F&& f) -> decltype(f());

  int horizMult_ = 1, horizDiv_ = 1, vertMult_ = 1, vertDiv_ = 1;
  std::string inFileName_;
};

}  // namespace tlm
