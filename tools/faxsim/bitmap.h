#pragma once
// A black-and-white page as the simulator stores and sends it, with the
// PBM (netpbm) and APF readers/writers the remote fax machines use.
#include <cstdint>
#include <string>
#include <vector>

namespace faxsim {

using Bytes = std::vector<uint8_t>;

struct Bitmap {
  int width = 1728;
  int height = 0;
  bool fine = false;
  std::vector<uint8_t> bits;  // rows of (width+7)/8 bytes, MSB = leftmost, 1 = black

  int stride() const { return (width + 7) / 8; }
  bool pixel(int x, int y) const { return bits[size_t(y) * stride() + x / 8] & (0x80 >> (x % 8)); }
  void set(int x, int y) { bits[size_t(y) * stride() + x / 8] |= uint8_t(0x80 >> (x % 8)); }
  void resize(int w, int h) { width = w; height = h; bits.assign(size_t(h) * stride(), 0); }
};

// Reads a P1 or P4 PBM file; returns an error text or "" on success.
std::string readPbm(const std::string& path, Bitmap& out);
// Writes a P4 PBM file atomically (temporary name, then rename).
std::string writePbm(const std::string& path, const Bitmap& page);
// Reads every page of an APF fax file (both the line-record and the raw
// layout) and decodes it.
std::string readApf(const std::string& path, std::vector<Bitmap>& pages);
std::string parseApf(const Bytes& data, const std::string& name, std::vector<Bitmap>& pages);
// Loads a page set: one APF file, or one or more PBM files separated by ','.
std::string loadPages(const std::string& files, std::vector<Bitmap>& pages);
// Writes bytes to a file atomically.
std::string writeFileAtomic(const std::string& path, const Bytes& data);

// A built-in sample page (a test chart: border, stripes and blocks).
Bitmap samplePage(int number);

}  // namespace faxsim
