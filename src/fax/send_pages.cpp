// The transmit session's pages: the job's page list, the page start with
// its header line, text covers, page data and the file concatenation.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fax/dle.h"
#include "fax/header_line.h"
#include "fax/send_fax.h"
#include "faximage/apf_page_index.h"
#include "faximage/text_pages.h"

namespace tlm {

namespace {

constexpr int kBlankLinesAround = 8;
constexpr std::size_t kMaxFill = 8192;
constexpr std::int32_t kPageTimeoutTicks = 546;

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return s;
}

std::string TimeText(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[64];
  std::strftime(buf, sizeof buf, format, &local);
  return buf;
}

int ReadTextFile(const std::string& name, std::string& text) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return -ENOENT;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return 0;
}

}  // namespace

TKvCustomSendFax::TKvCustomSendFax() = default;
TKvCustomSendFax::~TKvCustomSendFax() { StopSession(); }

int TKvCustomSendFax::StartTransmit() {
  jobFromProperties_ = false;
  lastJobError_ = 0;
  return StartSession(tfGetEntry);
}

void TKvCustomSendFax::FillLogContext(FaxLogContext& context) const {
  TKvAbstractFax::FillLogContext(context);
  context.faxFiles.clear();
  if (!jobCover_.empty()) context.faxFiles.push_back(jobCover_);
  if (!jobFaxFile_.empty()) context.faxFiles.push_back(jobFaxFile_);
  context.phoneNumber = PhoneNumber;
}

int TKvCustomSendFax::BuildPageList() {
  pages_.clear();
  coverText_.clear();
  const auto addApfPages = [this](const std::string& file) {
    ApfPageIndex index;
    if (const int rc = index.Open(file); rc != 0) return rc;
    for (int n = 1; n <= index.PageCount(); ++n) {
      ApfPageHeader header;
      std::uint64_t offset = 0;
      if (const int rc = index.Locate(n, header, offset); rc != 0) return rc;
      pages_.push_back(Page{false, file, n, header.Fine(), header.Wide()});
    }
    return 0;
  };
  std::string extension = Upper(FaxFileExt);
  extension.insert(extension.begin(), '.');
  const bool apfCover = !jobCover_.empty() && Upper(jobCover_).find(extension) != std::string::npos;
  if (!jobCover_.empty()) {
    if (apfCover) {
      if (const int rc = addApfPages(jobCover_); rc != 0) return rc;
    } else {
      if (const int rc = ReadTextFile(jobCover_, coverText_); rc != 0) return rc;
      pages_.push_back(Page{true, jobCover_, 1, false, false});
    }
  }
  const std::size_t firstFaxPage = pages_.size();
  if (!jobFaxFile_.empty()) {
    if (const int rc = addApfPages(jobFaxFile_); rc != 0) return rc;
  }
  if (pages_.empty()) return -fax_error::kNotAnApfFile;
  // A text cover takes the resolution of the pages after it.
  if (pages_.front().textCover && pages_.size() > firstFaxPage) pages_.front().fine = pages_[firstFaxPage].fine;
  totalPages_ = int(pages_.size());
  return 0;
}

int TKvCustomSendFax::PageWidth() const { return pages_[pageIndex_].wide ? 2048 : 1728; }

int TKvCustomSendFax::MinBytesPerLine() const {
  const bool fine = pages_[pageIndex_].fine;
  if (ClassInUse() == fcClass1 && choice_.ecm) return 0;  // no minimum line time with error correction
  if (ClassInUse() == fcClass1) return t30::MinBytesPerLine(remote_.scanCode, fine, t30::SpeedByIndex(speedIndex_).bps);
  return t30::MinBytesPerLine(scanCode_, fine, sessionBps_.load());
}

int TKvCustomSendFax::MinBitsPerLine() const {
  if (choice_.ecm) return 0;  // no minimum line time with error correction
  return T4MinBitsPerLine(t30::SpeedByIndex(speedIndex_).bps, t30::ScanTimeMs(remote_.scanCode, pages_[pageIndex_].fine));
}

// A raster row (or, without a line coder, a coded record) onto the page.
void TKvCustomSendFax::CodeRow(const std::string& row, std::string& raw) {
  if (lineCoder_) {
    lineCoder_->EncodeLine(reinterpret_cast<const std::uint8_t*>(row.data()), raw);
  } else {
    raw += row;
  }
}

void TKvCustomSendFax::AddBlankLines(std::string& raw) {
  const int width = PageWidth();
  const std::string blank = lineCoder_ ? std::string(std::size_t(width / 8), '\0') : BlankLine(width, MinBytesPerLine());
  for (int i = 0; i < kBlankLinesAround; ++i) CodeRow(blank, raw);
}

bool TKvCustomSendFax::PageNeedsUnsupported() const {
  return std::any_of(pages_.begin(), pages_.end(),
                     [this](const Page& p) { return (p.fine && !remote_.fine) || (p.wide && !remote_.wide); });
}

bool TKvCustomSendFax::ResolutionChange() const {
  // A change of width needs new session parameters just as one of resolution.
  return MorePages() && (pages_[pageIndex_ + 1].fine != pages_[pageIndex_].fine ||
                         pages_[pageIndex_ + 1].wide != pages_[pageIndex_].wide);
}

// What the header line's and a text cover's tokens stand for on this page.
HeaderValues TKvCustomSendFax::TokenValues() const {
  HeaderValues v;
  v.date = TimeText("%d/%m/%Y");
  v.time = TimeText("%H:%M:%S");
  v.stationId = StationID();
  v.sender = HeaderSender;
  v.recipient = HeaderRecipient;
  v.title = HeaderTitle;
  v.totalPages = int(pages_.size());
  v.currentPage = int(pageIndex_) + 1;
  return v;
}

std::string TKvCustomSendFax::HeaderText() const { return ExpandHeaderTokens(HeaderLine, TokenValues()); }

void TKvCustomSendFax::Command(const std::string& command, std::int32_t ticks) {
  SendCommand(command);
  ArmTimeout(ticks);
}

void TKvCustomSendFax::SendFrame(std::uint8_t fcf, const std::string& info, bool final) {
  Pause(20);
  Send(t30::BuildHdlcFrame(fcf, info, final));
}

void TKvCustomSendFax::WriteDleEtx() { Send(std::string{kDLE, kETX}); }

bool TKvCustomSendFax::WriteStuffed(const std::string& raw) {
  if (capture_) {
    capture_->append(raw);
    return true;
  }
  std::string stuffed;
  AppendDleStuffed(stuffed, raw);
  Send(stuffed);
  return error_.load() == 0;
}

void TKvCustomSendFax::WriteFill(std::size_t wanted) {
  if (capture_) return;  // fill only keeps a modem fed
  const std::size_t used = OutputUsed();
  if (used >= wanted) return;
  const std::size_t room = OutputFree();
  const std::size_t fill = std::min({wanted - used, kMaxFill, room});
  if (fill) Send(std::string(fill, '\0'));
}

// Page start: blank lines, the header line, and fill so that the modem
// never runs dry while the page data is read.
void TKvCustomSendFax::SendPageStart() {
  currentPage_ = int(pageIndex_) + 1;
  const int width = PageWidth();
  const bool fine = pages_[pageIndex_].fine;
  const int minBytes = MinBytesPerLine();
  if (ClassInUse() == fcClass1) {
    lineCoder_ = std::make_unique<T4PageEncoder>(lineCoding_, width, T4KFactor(fine), MinBitsPerLine());
  } else {
    lineCoder_.reset();
  }
  // Fill bytes may follow only a line that ends on a byte boundary.
  const auto writeWithFill = [this](std::string& raw) {
    const bool fill = !lineCoder_ || lineCoder_->FlushWithFill(raw);
    WriteStuffed(raw);
    if (fill) WriteFill(std::size_t(BufferMinimum));
  };
  std::string raw;
  AddBlankLines(raw);
  writeWithFill(raw);
  if (!HeaderLine.empty()) {
    raw.clear();
    const std::string text = ToFaxFontCodePage(HeaderText());
    for (const std::string& row : lineCoder_ ? RenderTextRows(text, fine, width, true)
                                             : RenderTextLines(text, fine, width, true, minBytes))
      CodeRow(row, raw);
    writeWithFill(raw);
  }
  if (pages_[pageIndex_].textCover) {
    const HeaderValues v = TokenValues();
    std::string expanded;
    std::istringstream lines(ToFaxFontCodePage(coverText_));
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      expanded += ExpandHeaderTokens(line, v) + "\n";
    }
    coverRows_ = lineCoder_ ? RenderTextRows(expanded, fine, width, false)
                            : RenderTextLines(expanded, fine, width, false, minBytes);
    coverRow_ = 0;
  }
}

// Writes rendered cover rows while 4096 bytes are free; at the end, the
// blank lines and the end-of-page code.
void TKvCustomSendFax::SendCoverLines() {
  while (coverRow_ < coverRows_.size() && OutputFree() >= kPageBlockSize) {
    std::string raw;
    while (coverRow_ < coverRows_.size() && raw.size() < kPageBlockSize / 2) CodeRow(coverRows_[coverRow_++], raw);
    if (!WriteStuffed(raw)) return;
  }
  if (coverRow_ < coverRows_.size()) {
    ArmOutputFree(kPageBlockSize);
    ArmTimeout(kPageTimeoutTicks);
    Wait(tfSendCover);
    return;
  }
  std::string raw;
  AddBlankLines(raw);
  if (lineCoder_) {
    lineCoder_->Finish(raw);
  } else {
    raw += EndOfPageCode();
  }
  WriteStuffed(raw);
  if (ClassInUse() == fcClass1) WriteDleEtx();
  ArmOutputUsed(0);
  ArmTimeout(kPageTimeoutTicks);
  Wait(tfDrainPage);
}

void TKvCustomSendFax::SendPageData() {
  const int minBytes = MinBytesPerLine();
  bool done = false;
  for (int blocks = 0; blocks < MaxSendCount;) {
    if (pending_.empty()) {
      const int rc = source_.NextBlock(pending_, minBytes);
      if (rc < 0) {
        Fail(rc);
        return;
      }
      if (rc == 0) {
        done = true;
        break;
      }
    }
    if (OutputUsed() > std::size_t(BufferMinimum)) {
      ArmOutputUsed(std::uint16_t(BufferMinimum));
      break;
    }
    if (OutputFree() < pending_.size()) {
      ArmOutputFree(std::uint16_t(std::min<std::size_t>(pending_.size(), 0xFFFF)));
      break;
    }
    Send(pending_);
    if (error_.load() != 0) return;
    pending_.clear();
    bytesDone_ = source_.BytesRead();
    ++blocks;
    if (blocks == MaxSendCount) ArmOutputUsed(std::uint16_t(BufferMinimum));
  }
  ArmTimeout(kPageTimeoutTicks);
  if (!done) {
    Wait(tfSendPage);
    return;
  }
  source_.Close();
  if (ClassInUse() == fcClass1) WriteDleEtx();
  ArmOutputUsed(0);
  Wait(tfDrainPage);
}

// The whole page in the session's coding, for error correction: the same
// lines as a streamed page, collected instead of written.
int TKvCustomSendFax::ComposePage(std::string& coded) {
  coded.clear();
  capture_ = &coded;
  SendPageStart();
  capture_ = nullptr;
  const Page& page = pages_[pageIndex_];
  if (!page.textCover) {
    if (const int rc = source_.Open(page.file, page.number); rc != 0) return rc;
    if (lineCoder_) source_.RecodeWith(*lineCoder_);
    for (;;) {
      const int rc = source_.NextBlock(coded, 0, false);
      if (rc < 0) return rc;
      if (rc == 0) break;
    }
    source_.Close();
    return 0;
  }
  for (const std::string& row : coverRows_) CodeRow(row, coded);
  AddBlankLines(coded);
  if (lineCoder_) {
    lineCoder_->Finish(coded);
  } else {
    coded += EndOfPageCode();
  }
  return 0;
}

int TKvCustomSendFax::ConcatFaxes(const std::string& destination) {
  if (FaxFileList.empty()) return -fax_error::kNoFilename;
  const std::string temp = destination + ".part";
  std::error_code ec;
  if (!ApfCheckSignature(FaxFileList.front())) return -fax_error::kNotAnApfFile;
  std::filesystem::copy_file(FaxFileList.front(), temp, std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) return -ec.value();
  int rc = 0;
  for (std::size_t i = 1; i < FaxFileList.size() && rc == 0; ++i) {
    if (!ApfCheckSignature(FaxFileList[i])) rc = -fax_error::kNotAnApfFile;
  }
  // One append for all files: the joined pages are walked once.
  if (rc == 0) rc = ApfAppendFiles(temp, {FaxFileList.begin() + 1, FaxFileList.end()});
  if (rc != 0) {
    std::filesystem::remove(temp, ec);
    return rc;
  }
  std::filesystem::rename(temp, destination, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return -EIO;
  }
  return 0;
}

}  // namespace tlm
