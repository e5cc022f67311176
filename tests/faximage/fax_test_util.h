#pragma once
// Helpers shared by the fax image tests: bilevel pages (1 black), PBM files,
// coding pages into line records, writing APF files by hand, running tools.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "faximage/apf_file.h"
#include "faximage/mono_bitmap.h"
#include "faximage/t4_encoder.h"

namespace tlm::testing {

// A bilevel page, rows packed (width + 7) / 8 bytes, most significant bit
// leftmost, 1 black.
struct Page {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bits;

  Page() = default;
  Page(int w, int h) : width(w), height(h), bits(std::size_t((w + 7) / 8) * std::size_t(h), 0) {}
  int RowBytes() const { return (width + 7) / 8; }
  std::uint8_t* Row(int y) { return bits.data() + std::size_t(y) * std::size_t(RowBytes()); }
  const std::uint8_t* Row(int y) const { return bits.data() + std::size_t(y) * std::size_t(RowBytes()); }
  void Set(int x, int y) { Row(y)[x >> 3] |= std::uint8_t(0x80 >> (x & 7)); }
  bool Black(int x, int y) const { return (Row(y)[x >> 3] >> (7 - (x & 7))) & 1; }
  bool operator==(const Page& o) const { return width == o.width && height == o.height && bits == o.bits; }
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary);
  out << data;
}

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& data) {
  WriteFile(path, std::string(data.begin(), data.end()));
}

// Reads a binary (P4) PBM.
inline Page ReadPbm(const std::string& path) {
  const std::string data = ReadFile(path);
  std::istringstream in(data);
  std::string magic;
  int w = 0, h = 0;
  in >> magic;
  // Skip comments between the fields.
  auto number = [&in] {
    in >> std::ws;
    while (in.peek() == '#') {
      std::string comment;
      std::getline(in, comment);
      in >> std::ws;
    }
    int v = 0;
    in >> v;
    return v;
  };
  w = number();
  h = number();
  if (magic != "P4") throw std::runtime_error("not a P4 PBM: " + path);
  in.get();
  Page p(w, h);
  const auto start = std::size_t(in.tellg());
  if (data.size() < start + p.bits.size()) throw std::runtime_error("short PBM: " + path);
  std::copy(data.begin() + std::ptrdiff_t(start), data.begin() + std::ptrdiff_t(start + p.bits.size()), p.bits.begin());
  return p;
}

inline void WritePbm(const std::string& path, const Page& p) {
  std::string out = "P4\n" + std::to_string(p.width) + " " + std::to_string(p.height) + "\n";
  out.append(p.bits.begin(), p.bits.end());
  WriteFile(path, out);
}

// A monochrome bitmap (1 white) as a page (1 black) of the bitmap's width.
inline Page PageOf(const MonoBitmap& b) {
  Page p(b.width, b.height);
  for (int y = 0; y < b.height; ++y) {
    for (int x = 0; x < b.width; ++x) {
      if (b.IsBlack(x, y)) p.Set(x, y);
    }
  }
  return p;
}

// The page cut or padded with white to `width` pixels.
inline Page Resized(const Page& p, int width) {
  Page out(width, p.height);
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < std::min(width, p.width); ++x) {
      if (p.Black(x, y)) out.Set(x, y);
    }
  }
  return out;
}

// Line records of a page coded with no margin.
inline std::vector<std::vector<std::uint8_t>> EncodePage(const Page& p) {
  std::vector<std::vector<std::uint8_t>> records;
  std::vector<std::uint8_t> buf(kT4MaxLineRecord);
  for (int y = 0; y < p.height; ++y) {
    const std::size_t n = T4EncodeLine(p.Row(y), std::size_t(p.RowBytes()), {p.width, 0, false}, buf.data());
    records.emplace_back(buf.begin(), buf.begin() + std::ptrdiff_t(n));
  }
  records.emplace_back(kT4EndOfPageRecord.begin(), kT4EndOfPageRecord.end());
  return records;
}

// The records' data one after the other: the page as a raw stream.
inline std::vector<std::uint8_t> RawStream(const std::vector<std::vector<std::uint8_t>>& records) {
  std::vector<std::uint8_t> out;
  for (const auto& r : records) out.insert(out.end(), r.begin(), r.end());
  return out;
}

// Page image data with length words.
inline std::vector<std::uint8_t> RecordData(const std::vector<std::vector<std::uint8_t>>& records) {
  std::vector<std::uint8_t> out;
  for (const auto& r : records) {
    out.push_back(std::uint8_t(r.size()));
    out.push_back(std::uint8_t(r.size() >> 8));
    out.insert(out.end(), r.begin(), r.end());
  }
  return out;
}

struct ApfPageSpec {
  std::uint16_t flags = 0;
  std::vector<std::uint8_t> data;
  std::int64_t declaredLength = -1;  // the image length field; -1: the data's size
};

// An APF file written by hand.
inline std::string BuildApf(const std::vector<ApfPageSpec>& pages, int declaredPages = -1) {
  ApfFileHeader h;
  h.pageCount = std::uint16_t(declaredPages < 0 ? int(pages.size()) : declaredPages);
  std::uint8_t raw[ApfFileHeader::kSize];
  h.Encode(raw);
  std::string out(reinterpret_cast<char*>(raw), sizeof raw);
  for (const auto& p : pages) {
    ApfPageHeader ph;
    ph.flags = p.flags;
    ph.imageLength = std::uint32_t(p.declaredLength < 0 ? std::int64_t(p.data.size()) : p.declaredLength);
    std::uint8_t praw[ApfPageHeader::kSize];
    ph.Encode(praw);
    out.append(reinterpret_cast<char*>(praw), sizeof praw);
    out.append(p.data.begin(), p.data.end());
  }
  return out;
}

// Runs a shell command; its exit status.
inline int RunShell(const std::string& command) {
  const int rc = std::system(command.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// The checked-in fixtures (tests/fixtures), and the ITU charts unpacked from
// them into the build tree.
inline std::string ImageFixture(const std::string& name) { return std::string(TOLMERA_FIXTURES_DIR) + "/images/" + name; }
inline std::string ItuChart(int n) {
  return std::string(TOLMERA_BUILT_FIXTURES_DIR) + "/itu/itu" + std::to_string(n) + ".pbm";
}

}  // namespace tlm::testing
