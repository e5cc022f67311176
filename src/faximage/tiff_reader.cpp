// TIFF files of 1 bit per sample, uncompressed or PackBits, in strips; every
// image file directory is a page. Files coded with CCITT Group 3 or 4 are
// handed to the libtiff-based reader (tiff_ccitt_reader.cpp).
#include <algorithm>
#include <cstring>
#include <set>

#include "faximage/fax_errors.h"
#include "faximage/raster_source.h"

namespace tlm {
namespace {

[[noreturn]] void Refuse() { ThrowFaxError(ecBadGraphicsFormat); }

constexpr int kMaxPages = 1000;

class TiffSource final : public RasterSource {
 public:
  explicit TiffSource(std::vector<std::uint8_t> file) : f_(std::move(file)) {
    if (f_.size() < 8) Refuse();
    if (f_[0] == 'I' && f_[1] == 'I') bigEndian_ = false;
    else if (f_[0] == 'M' && f_[1] == 'M') bigEndian_ = true;
    else Refuse();
    if (U16(2) != 42) Refuse();
    nextIfd_ = U32(4);
    if (nextIfd_ == 0) Refuse();
  }

  bool NextPage(int& width, int& height) override {
    if (nextIfd_ == 0) return false;
    ReadIfd(nextIfd_);
    budget_.Charge(width_, height_);
    width = width_;
    height = height_;
    return true;
  }
  bool MorePages() const override { return nextIfd_ != 0; }

  bool ReadRow(std::uint8_t* row, std::size_t maxBytes) override {
    const std::size_t rowBytes = (std::size_t(width_) + 7) / 8;
    const std::size_t kept = std::min(rowBytes, maxBytes);
    if (row_ >= height_) return false;
    // Each strip starts on a fresh row.
    if (row_ % rowsPerStrip_ == 0) {
      const std::size_t strip = std::size_t(row_ / rowsPerStrip_);
      if (strip >= offsets_.size()) return false;
      pos_ = offsets_[strip];
      stripEnd_ = pos_;
      if (pos_ <= f_.size()) {
        const std::uint64_t count = strip < counts_.size() ? counts_[strip] : f_.size() - pos_;
        stripEnd_ = std::min<std::uint64_t>(f_.size(), pos_ + count);
      }
      repeat_ = literal_ = 0;
    }
    ++row_;
    const bool ok = compression_ == 1 ? CopyRow(row, rowBytes, kept) : UnpackRow(row, rowBytes, kept);
    if (ok && photometric_ == 1) {
      for (std::size_t i = 0; i < kept; ++i) row[i] = std::uint8_t(~row[i]);
    }
    if (ok && (width_ & 7) && kept == rowBytes) row[rowBytes - 1] &= std::uint8_t(0xFF << (8 - (width_ & 7)));
    consumed_ = std::max<std::uint64_t>(consumed_, std::min<std::uint64_t>(pos_, f_.size()));
    return ok;
  }
  std::uint64_t BytesRead() const override { return consumed_; }
  std::uint64_t BytesTotal() const override { return f_.size(); }

 private:
  std::uint32_t U16(std::uint64_t at) const {
    if (at + 2 > f_.size()) Refuse();
    return bigEndian_ ? (std::uint32_t(f_[at]) << 8) | f_[at + 1] : (std::uint32_t(f_[at + 1]) << 8) | f_[at];
  }
  std::uint32_t U32(std::uint64_t at) const {
    if (at + 4 > f_.size()) Refuse();
    return bigEndian_ ? (U16(at) << 16) | U16(at + 2) : U16(at) | (U16(at + 2) << 16);
  }

  // The values of one directory entry as unsigned numbers.
  std::vector<std::uint64_t> Values(std::uint64_t entry) const {
    const std::uint32_t type = U16(entry + 2);
    const std::uint32_t count = U32(entry + 4);
    const int size = type == 3 ? 2 : (type == 4 ? 4 : (type == 1 ? 1 : 0));
    if (size == 0 || count == 0 || count > f_.size()) Refuse();
    const std::uint64_t bytes = std::uint64_t(count) * std::uint64_t(size);
    const std::uint64_t at = bytes <= 4 ? entry + 8 : U32(entry + 8);
    if (at + bytes > f_.size()) Refuse();
    std::vector<std::uint64_t> out(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint64_t p = at + std::uint64_t(i) * std::uint64_t(size);
      out[i] = size == 1 ? f_[p] : (size == 2 ? U16(p) : U32(p));
    }
    return out;
  }

  void ReadIfd(std::uint64_t ifd) {
    if (!seen_.insert(ifd).second || seen_.size() > kMaxPages) Refuse();
    const std::uint32_t entries = U16(ifd);
    width_ = height_ = -1;
    bitsPerSample_ = 1;
    compression_ = 1;
    photometric_ = 0;
    samples_ = 1;
    rowsPerStrip_ = -1;
    offsets_.clear();
    counts_.clear();
    for (std::uint32_t i = 0; i < entries; ++i) {
      const std::uint64_t e = ifd + 2 + std::uint64_t(i) * 12;
      const std::uint32_t tag = U16(e);
      switch (tag) {
        case 255: break;  // subfile type: every image is taken as a page
        case 256: width_ = Scalar(e); break;
        case 257: height_ = Scalar(e); break;
        case 258: bitsPerSample_ = Scalar(e); break;
        case 259: compression_ = Scalar(e); break;
        case 262: photometric_ = Scalar(e); break;
        case 273: offsets_ = Values(e); break;
        case 277: samples_ = Scalar(e); break;
        case 278: rowsPerStrip_ = Scalar(e); break;
        case 279: counts_ = Values(e); break;
        default: break;
      }
    }
    nextIfd_ = U32(ifd + 2 + std::uint64_t(entries) * 12);
    if (width_ <= 0 || height_ < 0 || offsets_.empty()) Refuse();
    if (width_ > kMaxImageSide || height_ > kMaxImageSide) Refuse();
    if (bitsPerSample_ != 1 || samples_ != 1) Refuse();
    if (compression_ != 1 && compression_ != 32773) Refuse();
    if (photometric_ != 0 && photometric_ != 1) Refuse();
    if (rowsPerStrip_ <= 0 || rowsPerStrip_ > height_) rowsPerStrip_ = std::max(height_, 1);
    row_ = 0;
  }

  // The first value of an entry.
  int Scalar(std::uint64_t entry) const {
    const std::uint32_t type = U16(entry + 2);
    const std::uint32_t count = U32(entry + 4);
    const int size = type == 3 ? 2 : (type == 4 ? 4 : (type == 1 ? 1 : 0));
    if (size == 0 || count == 0) Refuse();
    const std::uint64_t at = std::uint64_t(count) * std::uint64_t(size) <= 4 ? entry + 8 : U32(entry + 8);
    const std::uint64_t v = size == 1 ? (at < f_.size() ? f_[at] : (Refuse(), 0)) : (size == 2 ? U16(at) : U32(at));
    return v > 0x7FFFFFFF ? 0x7FFFFFFF : int(v);
  }

  bool CopyRow(std::uint8_t* row, std::size_t n, std::size_t kept) {
    if (pos_ + n > stripEnd_) return false;
    std::copy_n(f_.begin() + std::ptrdiff_t(pos_), kept, row);
    pos_ += n;
    return true;
  }

  // PackBits: a count byte n; 0..127 copies n + 1 bytes, -1..-127 repeats
  // the next byte 1 - n times, -128 is skipped. Runs may cross rows. Bytes
  // past `kept` are decoded without being stored.
  bool UnpackRow(std::uint8_t* row, std::size_t n, std::size_t kept) {
    std::size_t i = 0;
    while (i < n) {
      if (literal_ > 0) {
        if (i >= kept) {
          const std::size_t skip = std::min<std::size_t>({std::size_t(literal_), n - i, stripEnd_ - pos_});
          if (skip == 0) return false;
          pos_ += skip;
          i += skip;
          literal_ -= int(skip);
          continue;
        }
        const std::size_t n1 = std::min<std::size_t>({std::size_t(literal_), kept - i, stripEnd_ - pos_});
        if (n1 == 0) return false;
        std::memcpy(row + i, &f_[pos_], n1);
        i += n1;
        pos_ += n1;
        literal_ -= int(n1);
      } else if (repeat_ > 0) {
        if (i >= kept) {
          const std::size_t skip = std::min<std::size_t>(std::size_t(repeat_), n - i);
          i += skip;
          repeat_ -= int(skip);
          continue;
        }
        const std::size_t n1 = std::min<std::size_t>(std::size_t(repeat_), kept - i);
        std::memset(row + i, repeatByte_, n1);
        i += n1;
        repeat_ -= int(n1);
      } else {
        if (pos_ >= stripEnd_) return false;
        const int c = std::int8_t(f_[pos_++]);
        if (c >= 0) {
          literal_ = c + 1;
        } else if (c != -128) {
          if (pos_ >= stripEnd_) return false;
          repeatByte_ = f_[pos_++];
          repeat_ = 1 - c;
        }
      }
    }
    return true;
  }

  std::vector<std::uint8_t> f_;
  bool bigEndian_ = false;
  std::uint64_t nextIfd_ = 0;
  std::set<std::uint64_t> seen_;
  ImageBudget budget_;
  int width_ = 0, height_ = 0, bitsPerSample_ = 1, compression_ = 1, photometric_ = 0, samples_ = 1;
  int rowsPerStrip_ = 1;
  std::vector<std::uint64_t> offsets_, counts_;
  int row_ = 0;
  std::uint64_t pos_ = 0, stripEnd_ = 0, consumed_ = 0;
  int literal_ = 0, repeat_ = 0;
  std::uint8_t repeatByte_ = 0;
};

}  // namespace

std::unique_ptr<RasterSource> OpenTiff(std::vector<std::uint8_t> file) {
  if (TiffIsCcittCoded(file)) return OpenCcittTiff(std::move(file));
  return std::make_unique<TiffSource>(std::move(file));
}

}  // namespace tlm
