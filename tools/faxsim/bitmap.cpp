// PBM and APF files for the simulated fax machines.
#include "bitmap.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "t4.h"

namespace faxsim {
namespace {

bool readAll(const std::string& path, Bytes& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), {});
  return true;
}

// Next PBM header token, skipping white space and comments.
bool token(const Bytes& d, size_t& pos, std::string& tok) {
  tok.clear();
  while (pos < d.size()) {
    if (d[pos] == '#') {
      while (pos < d.size() && d[pos] != '\n') ++pos;
    } else if (isspace(d[pos])) {
      ++pos;
    } else {
      break;
    }
  }
  while (pos < d.size() && !isspace(d[pos]) && d[pos] != '#') tok += char(d[pos++]);
  return !tok.empty();
}

uint32_t le32(const Bytes& d, size_t at) {
  return uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 | uint32_t(d[at + 2]) << 16 | uint32_t(d[at + 3]) << 24;
}
uint16_t le16(const Bytes& d, size_t at) { return uint16_t(d[at] | d[at + 1] << 8); }

}  // namespace

std::string readPbm(const std::string& path, Bitmap& out) {
  Bytes d;
  if (!readAll(path, d)) return "cannot read " + path;
  size_t pos = 0;
  std::string magic, ws, hs;
  if (!token(d, pos, magic) || (magic != "P4" && magic != "P1")) return path + ": not a PBM file";
  if (!token(d, pos, ws) || !token(d, pos, hs)) return path + ": bad PBM header";
  int w = atoi(ws.c_str()), h = atoi(hs.c_str());
  if (w <= 0 || h <= 0 || w > 4864 || h > 20000) return path + ": unusable PBM size";
  out.resize(w, h);
  if (magic == "P4") {
    ++pos;  // the single white space after the height
    if (d.size() - std::min(pos, d.size()) < out.bits.size()) return path + ": PBM data too short";
    std::memcpy(out.bits.data(), d.data() + pos, out.bits.size());
    return "";
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      while (pos < d.size() && d[pos] != '0' && d[pos] != '1') ++pos;
      if (pos >= d.size()) return path + ": PBM data too short";
      if (d[pos++] == '1') out.set(x, y);
    }
  return "";
}

std::string writeFileAtomic(const std::string& path, const Bytes& data) {
  std::string tmp = path + ".part";
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) return "cannot create " + tmp + ": " + std::strerror(errno);
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    return "cannot write " + path + ": " + std::strerror(errno);
  }
  return "";
}

std::string writePbm(const std::string& path, const Bitmap& page) {
  std::string head = "P4\n" + std::to_string(page.width) + " " + std::to_string(page.height) + "\n";
  Bytes d(head.begin(), head.end());
  d.insert(d.end(), page.bits.begin(), page.bits.end());
  return writeFileAtomic(path, d);
}

std::string readApf(const std::string& path, std::vector<Bitmap>& pages) {
  Bytes d;
  if (!readAll(path, d)) return "cannot read " + path;
  return parseApf(d, path, pages);
}

std::string parseApf(const Bytes& d, const std::string& path, std::vector<Bitmap>& pages) {
  static const uint8_t kSig[6] = {'A', 'P', 'F', '1', '0', 0x1A};
  if (d.size() < 64 || std::memcmp(d.data(), kSig, 6) != 0) return path + ": not an APF file";
  unsigned count = le16(d, 32);
  size_t at = le32(d, 34);
  for (unsigned n = 0; n < count; ++n) {
    if (at + 16 > d.size()) return path + ": page " + std::to_string(n + 1) + " missing";
    uint32_t len = le32(d, at);
    uint16_t flags = le16(d, at + 4);
    at += 16;
    if (len > d.size() - at) return path + ": page " + std::to_string(n + 1) + " truncated";
    Bytes data;
    if (flags & 4) {  // line records: 16-bit length, then coded bytes
      size_t p = at, end = at + len;
      while (p + 2 <= end) {
        size_t n2 = std::min<size_t>(le16(d, p), 4096);
        p += 2;
        n2 = std::min(n2, end - p);
        data.insert(data.end(), d.begin() + long(p), d.begin() + long(p + n2));
        p += n2;
      }
    } else {
      data.assign(d.begin() + long(at), d.begin() + long(at + len));
    }
    Bitmap page;
    page.width = (flags & 2) ? 2048 : 1728;
    page.fine = flags & 1;
    decodeMh(data, page);
    pages.push_back(std::move(page));
    at += len;
  }
  if (pages.empty()) return path + ": no pages";
  return "";
}

std::string loadPages(const std::string& files, std::vector<Bitmap>& pages) {
  std::stringstream ss(files);
  std::string file;
  while (std::getline(ss, file, ',')) {
    if (file.size() > 4 && (file.substr(file.size() - 4) == ".apf" || file.substr(file.size() - 4) == ".APF")) {
      if (auto e = readApf(file, pages); !e.empty()) return e;
      continue;
    }
    Bitmap b;
    if (auto e = readPbm(file, b); !e.empty()) return e;
    if (b.width != 1728 && b.width != 2048) return file + ": width must be 1728 or 2048";
    b.fine = b.height > 1300;
    pages.push_back(std::move(b));
  }
  if (pages.empty()) return "no pages in '" + files + "'";
  return "";
}

Bitmap samplePage(int number) {
  Bitmap b;
  b.fine = true;
  b.resize(1728, 2200);
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x) {
      bool border = x < 40 || x >= b.width - 40 || y < 40 || y >= b.height - 40;
      bool stripes = y > 200 && y < 360 && (x / (8 + number * 4)) % 2 == 0 && x > 100 && x < 1600;
      bool blocks = y > 800 && y < 1120 && ((x / 160) + (y / 160)) % 2 == 0 && x > 100 && x < 1600;
      bool diag = y > 1900 && y < 2100 && std::abs((x - 100) - (y - 1900) * 7) < 6;
      if (border && !(x >= 44 && x < b.width - 44 && y >= 44 && y < b.height - 44)) b.set(x, y);
      else if (stripes || blocks || diag) b.set(x, y);
    }
  return b;
}

}  // namespace faxsim
