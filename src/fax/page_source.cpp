#include "fax/page_source.h"

#include <cerrno>

#include "fax/dle.h"
#include "fax/fax_codes.h"
#include "faximage/fax_line_reader.h"
#include "faximage/t4_encoder.h"

namespace tlm {

namespace {
constexpr int kTextLeftMargin = 48;
}

int ApfPageSource::Open(const std::string& file, int page) {
  Close();
  if (const int rc = ApfLocatePage(file, page, header_, dataOffset_); rc != 0) return rc;
  in_.open(file, std::ios::binary);
  if (!in_) return -(errno ? errno : ENOENT);
  Rewind();
  return 0;
}

void ApfPageSource::Close() {
  if (in_.is_open()) in_.close();
  in_.clear();
  read_ = 0;
  recoder_.reset();
  recodeFinished_ = false;
}

void ApfPageSource::RecodeWith(T4PageEncoder& encoder) {
  recoder_ = std::make_unique<T4ApfPageRecoder>(encoder);
  recodeFinished_ = false;
}

void ApfPageSource::Rewind() {
  in_.clear();
  in_.seekg(std::streamoff(dataOffset_));
  read_ = 0;
}

// The next line record's data (with length words) or block of the page.
int ApfPageSource::ReadStored(std::string& block) {
  if (header_.LengthWords()) {
    unsigned char len[2];
    if (!in_.read(reinterpret_cast<char*>(len), 2)) return -fax_error::kNotAnApfFile;
    std::size_t size = std::size_t(len[0]) | std::size_t(len[1]) << 8;
    if (size > kApfMaxRecord) size = kApfMaxRecord;
    block.resize(size);
    if (size && !in_.read(block.data(), std::streamsize(size))) return -fax_error::kNotAnApfFile;
    read_ += 2 + size;
  } else {
    const std::size_t size = std::size_t(std::min<std::uint64_t>(kPageBlockSize, header_.imageLength - read_));
    block.resize(size);
    if (!in_.read(block.data(), std::streamsize(size))) return -fax_error::kNotAnApfFile;
    read_ += size;
  }
  return 0;
}

int ApfPageSource::NextCoded(std::string& out) {
  if (!recoder_ || recodeFinished_) return 0;
  // Re-coded lines come out in blocks of about the stored block size.
  const std::size_t start = out.size();
  std::string stored;
  while (out.size() - start < kPageBlockSize / 2 && read_ < header_.imageLength) {
    if (const int rc = ReadStored(stored); rc != 0) return rc;
    recoder_->Feed(reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size(), out);
  }
  if (read_ >= header_.imageLength) {
    recoder_->Finish(out);
    recodeFinished_ = true;
  }
  return 1;
}

int ApfPageSource::NextBlock(std::string& out, int minBytesPerLine, bool stuffed) {
  std::string block;
  if (recoder_) {
    const int rc = NextCoded(block);
    if (rc == 1 && stuffed) AppendDleStuffed(out, block);
    else if (rc == 1) out += block;
    return rc;
  }
  if (read_ >= header_.imageLength) return 0;
  if (const int rc = ReadStored(block); rc != 0) return rc;
  if (header_.LengthWords() && block.size() < std::size_t(minBytesPerLine)) {
    block.resize(std::size_t(minBytesPerLine), '\0');
  }
  if (stuffed) AppendDleStuffed(out, block);
  else out += block;
  return 1;
}

std::string CodeRasterLine(const std::uint8_t* line, int width, int minBytes) {
  std::uint8_t record[kT4MaxLineRecord];
  T4LineGeometry geometry;
  geometry.width = width;
  const std::size_t n = T4EncodeLine(line, std::size_t(width / 8), geometry, record);
  std::string coded(reinterpret_cast<const char*>(record), n);
  if (coded.size() < std::size_t(minBytes)) coded.resize(std::size_t(minBytes), '\0');
  return coded;
}

std::string BlankLine(int width, int minBytes) {
  const std::vector<std::uint8_t> white(std::size_t(width / 8), 0);
  return CodeRasterLine(white.data(), width, minBytes);
}

std::vector<std::string> RenderTextRows(const std::string& text, bool fine, int width, bool small) {
  FaxPageSetup setup;
  setup.width = width;
  setup.leftMargin = 0;
  setup.fine = fine;
  FaxTextLayout layout;
  layout.linesPerPage = 0;
  auto reader = MakeTextLineReader(text.empty() ? std::string(" ") : text, layout, setup,
                                   small ? kFaxFontSmall : kFaxFontStandard);
  std::vector<std::string> rows;
  std::vector<std::uint8_t> line(std::size_t(width / 8));
  bool endOfPage = false, morePages = true;
  while (morePages) {
    endOfPage = false;
    while (!endOfPage) {
      std::fill(line.begin(), line.end(), 0);
      reader->ReadLine(line.data(), endOfPage, morePages);
      // Move the text right by the margin (whole bytes).
      std::string shifted(std::size_t(width / 8), '\0');
      const std::size_t shift = kTextLeftMargin / 8;
      for (std::size_t i = 0; i + shift < shifted.size(); ++i) shifted[i + shift] = char(line[i]);
      rows.push_back(std::move(shifted));
    }
  }
  return rows;
}

std::vector<std::string> RenderTextLines(const std::string& text, bool fine, int width, bool small, int minBytes) {
  std::vector<std::string> rows = RenderTextRows(text, fine, width, small);
  for (std::string& row : rows) row = CodeRasterLine(reinterpret_cast<const std::uint8_t*>(row.data()), width, minBytes);
  return rows;
}

std::string EndOfPageCode() { return std::string(kT4EndOfPageRecord.begin(), kT4EndOfPageRecord.end()); }

}  // namespace tlm
