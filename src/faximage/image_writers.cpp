#include "faximage/image_writers.h"

#include <cstdio>

#include "faximage/binary_file.h"
#include "faximage/fax_errors.h"

namespace tlm {

namespace {
constexpr std::uint32_t kDcxMagic = 987654321;
constexpr std::size_t kDcxTableEntries = 1024;
constexpr int kBmpMaxHeight = 32767;
}  // namespace

std::vector<std::uint8_t> EncodeBmp(const MonoBitmap& b) {
  if (b.height > kBmpMaxHeight) ThrowFaxError(ecBmpTooBig);
  const std::size_t rowSize = ((std::size_t(b.width) + 31) / 32) * 4;
  const std::size_t dataSize = rowSize * std::size_t(b.height);
  std::vector<std::uint8_t> out(62 + dataSize, 0);
  out[0] = 'B';
  out[1] = 'M';
  PutLe32(&out[2], std::uint32_t(dataSize + 62));
  PutLe32(&out[10], 62);
  PutLe32(&out[14], 40);
  PutLe32(&out[18], std::uint32_t(b.width));
  PutLe32(&out[22], std::uint32_t(b.height));
  PutLe16(&out[26], 1);
  PutLe16(&out[28], 1);
  // Palette: black, then white.
  out[58] = out[59] = out[60] = 255;
  const std::size_t used = (std::size_t(b.width) + 7) / 8;
  for (int y = 0; y < b.height; ++y) {
    std::uint8_t* dst = &out[62 + std::size_t(b.height - 1 - y) * rowSize];
    const std::uint8_t* src = b.Row(y);
    for (std::size_t i = 0; i < rowSize; ++i) dst[i] = i < used ? src[i] : 0xFF;
    if ((b.width & 7) && used > 0) dst[used - 1] |= std::uint8_t(0xFF >> (b.width & 7));
  }
  return out;
}

std::vector<std::uint8_t> EncodePcx(const MonoBitmap& b) {
  const std::size_t rowBytes = (std::size_t(b.width) + 7) / 8;
  std::vector<std::uint8_t> out(128, 0);
  out[0] = 10;
  out[1] = 2;
  out[2] = 1;
  out[3] = 1;
  PutLe16(&out[8], std::uint32_t(b.width - 1));
  PutLe16(&out[10], std::uint32_t(b.height - 1));
  out[65] = 1;
  PutLe16(&out[66], std::uint32_t(rowBytes));
  for (int y = 0; y < b.height; ++y) {
    const std::uint8_t* row = b.Row(y);
    std::size_t i = 0;
    while (i < rowBytes) {
      std::size_t run = 1;
      while (i + run < rowBytes && run < 63 && row[i + run] == row[i]) ++run;
      if (run > 1) {
        out.push_back(std::uint8_t(0xC0 + run));
      } else if (row[i] >= 0xC0) {
        out.push_back(0xC1);
      }
      out.push_back(row[i]);
      i += run;
    }
  }
  return out;
}

std::vector<std::uint8_t> EncodeDcx(const std::vector<MonoBitmap>& pages) {
  if (pages.size() >= kDcxTableEntries) ThrowFaxError(ecBadArgument);
  std::vector<std::uint8_t> out(4 + 4 * kDcxTableEntries, 0);
  PutLe32(out.data(), kDcxMagic);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    PutLe32(&out[4 + 4 * i], std::uint32_t(out.size()));
    const std::vector<std::uint8_t> pcx = EncodePcx(pages[i]);
    out.insert(out.end(), pcx.begin(), pcx.end());
  }
  return out;
}

std::vector<std::uint8_t> EncodePbm(const MonoBitmap& b) {
  const std::string header = "P4\n" + std::to_string(b.width) + " " + std::to_string(b.height) + "\n";
  std::vector<std::uint8_t> out(header.begin(), header.end());
  const std::size_t rowBytes = (std::size_t(b.width) + 7) / 8;
  for (int y = 0; y < b.height; ++y) {
    const std::uint8_t* row = b.Row(y);
    for (std::size_t i = 0; i < rowBytes; ++i) out.push_back(std::uint8_t(~row[i]));
    if (b.width & 7) out.back() &= std::uint8_t(0xFF << (8 - (b.width & 7)));
  }
  return out;
}

void WriteImageFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  BinaryFile f;
  CheckFaxResult(f.Open(path, BinaryFile::Mode::kCreate));
  int rc = f.Write(bytes.data(), bytes.size());
  const int closed = f.Close();
  if (rc == 0) rc = closed;
  if (rc != 0) {
    std::remove(path.c_str());
    ThrowFaxError(rc);
  }
}

}  // namespace tlm
