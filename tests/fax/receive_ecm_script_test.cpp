// Error correction in a receive session against a modem played from a
// script, where the sender's bursts and signals are chosen: a block with
// lost and damaged frames is answered with a partial page request naming
// exactly those, the resent frames complete it and the page is stored
// whole; CTC is answered with CTR and the next burst is heard at the new
// speed with long training; EOR gets ERR; a signal repeated for a block
// already confirmed and RR after a lost answer get the last answer again,
// also for a page's last signal and without error correction; a document
// after EOM is stored whatever its page counter; MR and MMR pages (coded by
// libtiff) are stored as MH of the same pixels.
// The bursts are framed here (flags, zero insertion, check sequence) so the
// test does not share the receiver's framing code.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <dirent.h>

#include <algorithm>
#include <deque>
#include <mutex>
#include <set>

#include "fax/t30_frames.h"
#include "receive_rig.h"
#include "scripted_modem.h"
#include "t4.h"

namespace tlm::testing {
namespace {

using R = ScriptedModem;

// HDLC as it goes over the line: bits least significant first, a 0 after
// every five 1s inside a frame, the CRC-16 (x^16+x^12+x^5+1) complemented.
class TestFramer {
 public:
  void Flags(int n) {
    for (int i = 0; i < n; ++i) Byte(0x7E, false);
  }
  void Frame(const std::string& bytes, bool damage = false) {
    std::uint16_t crc = 0xFFFF;
    for (unsigned char c : bytes) {
      crc ^= c;
      for (int i = 0; i < 8; ++i) crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0x8408) : std::uint16_t(crc >> 1);
    }
    crc = std::uint16_t(~crc);
    if (damage) crc ^= 0x0100;
    for (unsigned char c : bytes) Byte(c, true);
    Byte(std::uint8_t(crc & 0xFF), true);
    Byte(std::uint8_t(crc >> 8), true);
    ones_ = 0;
    Byte(0x7E, false);
  }
  std::string Take() {
    Flags(2);
    while (bits_ != 0) Bit(0);
    return std::move(out_);
  }

 private:
  void Byte(std::uint8_t b, bool stuff) {
    for (int i = 0; i < 8; ++i) {
      const int bit = (b >> i) & 1;
      Bit(bit);
      if (!stuff) continue;
      ones_ = bit ? ones_ + 1 : 0;
      if (ones_ == 5) {
        Bit(0);
        ones_ = 0;
      }
    }
  }
  void Bit(int bit) {
    cur_ = std::uint8_t(cur_ | (bit << bits_));
    if (++bits_ == 8) {
      out_.push_back(char(cur_));
      cur_ = 0;
      bits_ = 0;
    }
  }
  std::string out_;
  std::uint8_t cur_ = 0;
  int bits_ = 0, ones_ = 0;
};

std::string Shield(const std::string& raw) {
  std::string out;
  for (char c : raw) {
    out += c;
    if (c == 0x10) out += c;
  }
  return out;
}

// `page` coded by libtiff as two-dimensional Group 3 (MR) or Group 4
// (MMR), least significant bit first; empty when libtiff fails.
std::string LibtiffCoded(const faxsim::Bitmap& page, bool mmr, const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (tif == nullptr) return {};
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(page.width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(page.height));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, std::uint32_t(page.height));
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, 204.0);
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, page.fine ? 196.0 : 98.0);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, mmr ? COMPRESSION_CCITTFAX4 : COMPRESSION_CCITTFAX3);
  if (!mmr) TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_2DENCODING);
  std::vector<std::uint8_t> row(std::size_t(page.stride()));
  for (int y = 0; y < page.height; ++y) {
    std::copy_n(page.bits.begin() + long(y) * page.stride(), page.stride(), row.begin());
    if (TIFFWriteScanline(tif, row.data(), std::uint32_t(y), 0) < 0) {
      TIFFClose(tif);
      return {};
    }
  }
  TIFFClose(tif);
  tif = TIFFOpen(path.c_str(), "r");
  if (tif == nullptr) return {};
  std::string coded(std::size_t(TIFFRawStripSize(tif, 0)), '\0');
  if (TIFFReadRawStrip(tif, 0, coded.data(), tmsize_t(coded.size())) < 0) coded.clear();
  TIFFClose(tif);
  return coded;
}

// The page coded as MH (or given coded), cut into 256-octet frames (the
// last padded).
struct TestPageFrames {
  faxsim::Bitmap page = TestPage(2, 300);
  std::vector<std::string> frames;
  TestPageFrames() : TestPageFrames(std::string()) {}
  explicit TestPageFrames(std::string coded) {
    const faxsim::Bytes mh = faxsim::encodeMh(page, 0);
    std::string all = coded.empty() ? std::string(mh.begin(), mh.end()) : coded;
    all.append((256 - all.size() % 256) % 256, '\0');
    for (std::size_t at = 0; at < all.size(); at += 256) frames.push_back(all.substr(at, 256));
  }
};

// A burst of the frames `numbers` of the block starting at page frame
// `base` (those in `damage` with a wrong check sequence) and three RCPs.
std::string Burst(const TestPageFrames& p, int base, const std::vector<int>& numbers, std::set<int> damage = {}) {
  TestFramer f;
  f.Flags(40);
  for (int n : numbers) {
    std::string frame{char(0xFF), char(0x03), char(t30::kFCD), char(n)};
    f.Frame(frame + p.frames[std::size_t(base + n)], damage.count(n) != 0);
  }
  for (int i = 0; i < 3; ++i) f.Frame(std::string{char(0xFF), char(0x03), char(t30::kRCP)});
  return R::Result("CONNECT") + Shield(f.Take()) + "\x10\x03" + R::Result("NO CARRIER");
}

std::vector<int> Range(int first, int end, std::set<int> without = {}) {
  std::vector<int> out;
  for (int n = first; n < end; ++n)
    if (!without.count(n)) out.push_back(n);
  return out;
}

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> out;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') out.push_back(e->d_name);
    ::closedir(d);
  }
  return out;
}

const std::string kNoCarrier = R::Result("NO CARRIER");

std::string Pps(std::uint8_t postPage, int block, int frames, std::uint8_t fcf = t30::kPPS) {
  return R::Frame(fcf, std::string{char(postPage), '\0', char(block), char(frames - 1)}, true);
}

// The frame numbers a partial page request asks for among `frames`.
std::vector<int> Requested(const std::string& map, int frames) {
  std::vector<int> out;
  for (int n = 0; n < frames; ++n)
    if ((std::uint8_t(map[std::size_t(n / 8)]) >> (n % 8)) & 1) out.push_back(n);
  return out;
}

// The sender: its frames after "AT+FRH=3" and its carriers after
// "AT+FRM=<code>" come from queues; the receiver's answers are kept with
// their information fields.
struct EcmSender {
  std::mutex lock;
  std::deque<std::string> frames;
  std::deque<std::string> carriers;
  std::vector<std::string> frm;  // the "AT+FRM=" codes asked for
  std::string operator()(const std::string& cmd) {
    std::lock_guard<std::mutex> guard(lock);
    if (cmd == "AT+FTM=?" || cmd == "AT+FRM=?") return R::Result("24,48,72,73,74,96,97,98,121,122,145,146") + R::Result("OK");
    if (cmd == "ATA" || cmd == "AT+FTH=3") return R::Result("CONNECT");
    if (cmd == "AT+FRH=3") {
      if (frames.empty()) return R::Result("NO CARRIER");
      std::string f = frames.front();
      frames.pop_front();
      return f;
    }
    if (cmd.rfind("AT+FRM=", 0) == 0) {
      frm.push_back(cmd.substr(7));
      if (carriers.empty()) return R::Result("NO CARRIER");
      std::string c = carriers.front();
      carriers.pop_front();
      return c;
    }
    return R::Result("OK");
  }
};

std::string Tcf() { return R::Result("CONNECT") + std::string(1500, '\0') + "\x10\x03" + R::Result("NO CARRIER"); }

std::deque<std::string> Opening(T4Coding coding = T4Coding::MH, bool withEcm = true) {
  t30::CodingChoice ecm;
  ecm.ecm = withEcm;
  ecm.coding = coding;
  return {R::Frame(t30::kTSI, t30::StationIdField("REMOTE ECM"), false),
          R::Frame(t30::kDCS, t30::EncodeDcs(6, false, false, 0, ecm), true)};
}

struct EcmCall {
  ReceiveRig rig;
  EcmSender sender;
  ScriptedModem modem{[this](const std::string& cmd) { return sender(cmd); }};
  std::vector<std::string> answers;  // each frame the receiver sent: FCF, info

  int Run() {
    rig.fax.SetFaxClass(fcClass1);
    rig.fax.AnswerOnRing = 1;
    rig.port.SetDeviceName(modem.Path());
    if (rig.fax.StartReceive() != 0) return -1;
    rig.Pump(5, [&] { return rig.fax.ReceiveState() == rfWaiting; });
    modem.Write(R::Result("RING"));
    rig.Pump(30, [&] { return rig.finish != INT_MIN; });
    return rig.finish;
  }
  std::vector<std::string> Frm() {
    std::lock_guard<std::mutex> guard(sender.lock);
    return sender.frm;
  }

  // The FCFs of the receiver's frames after its DIS.
  std::vector<int> Answers() {
    std::vector<int> out;
    bool afterDis = false;
    for (int f : modem.SentFrames()) {
      if (afterDis) out.push_back(f);
      afterDis = afterDis || f == t30::kDIS;
    }
    return out;
  }
  // The frames each partial page request asked for, in order.
  std::vector<std::vector<int>> Requests(int frames) {
    std::vector<std::vector<int>> out;
    for (const std::string& f : modem.SentFrameBodies())
      if (f.size() >= 3 + 32 && std::uint8_t(f[2]) == t30::kPPR) out.push_back(Requested(f.substr(3), frames));
    return out;
  }
  // The one received page, decoded by the simulator's reader.
  void ExpectStoredPage(const faxsim::Bitmap& sent) {
    ASSERT_EQ(rig.files.size(), 1u);
    const std::vector<faxsim::Bitmap> pages = ReadPages(rig.files[0]);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].width, sent.width);
    EXPECT_EQ(pages[0].height, sent.height);
    EXPECT_TRUE(pages[0].bits == sent.bits) << "the stored page differs from the page sent";
  }
};

TEST(ReceiveEcmScript, RequestsExactlyTheLostAndDamagedFramesAndStoresThePageWhole) {
  const TestPageFrames p;
  const int n = int(p.frames.size());
  ASSERT_GE(n, 6);
  EcmCall call;
  call.sender.frames = Opening();
  call.sender.frames.insert(call.sender.frames.end(),
                            {Pps(t30::kEOP, 0, n), Pps(t30::kEOP, 0, n), R::Frame(t30::kDCN, "", true)});
  call.sender.carriers = {Tcf(), Burst(p, 0, Range(0, n, {1, n - 1}), {3}), Burst(p, 0, {1, 3, n - 1})};
  EXPECT_EQ(call.Run(), 0);
  EXPECT_EQ(call.Answers(), (std::vector<int>{t30::kCFR, t30::kPPR, t30::kMCF}));
  EXPECT_EQ(call.Requests(n), (std::vector<std::vector<int>>{{1, 3, n - 1}}));
  EXPECT_EQ(call.rig.fax.RetransmittedFrames(), 3);
  call.ExpectStoredPage(p.page);
}

TEST(ReceiveEcmScript, CtcIsAnsweredWithCtrAndTheNextBurstComesAtTheNewSpeedWithLongTraining) {
  const TestPageFrames p;
  const int n = int(p.frames.size());
  EcmCall call;
  call.sender.frames = Opening();
  for (int i = 0; i < 4; ++i) call.sender.frames.push_back(Pps(t30::kEOP, 0, n));
  t30::CodingChoice ecm;
  ecm.ecm = true;
  call.sender.frames.insert(call.sender.frames.end(),
                            {R::Frame(t30::kCTC, t30::EncodeDcs(5, false, false, 0, ecm).substr(0, 2), true),
                             Pps(t30::kEOP, 0, n), R::Frame(t30::kDCN, "", true)});
  call.sender.carriers = {Tcf(), Burst(p, 0, Range(0, n, {2})), Burst(p, 0, {2}, {2}), Burst(p, 0, {2}, {2}),
                          Burst(p, 0, {2}, {2}), R::Result("+FCERROR"), Burst(p, 0, {2})};
  EXPECT_EQ(call.Run(), 0);
  EXPECT_EQ(call.Answers(),
            (std::vector<int>{t30::kCFR, t30::kPPR, t30::kPPR, t30::kPPR, t30::kPPR, t30::kCTR, t30::kMCF}));
  EXPECT_EQ(call.Requests(n), (std::vector<std::vector<int>>(4, {2})));
  EXPECT_EQ(call.Frm(), (std::vector<std::string>{"145", "146", "146", "146", "146", "146", "121"}));
  EXPECT_EQ(call.rig.fax.SessionBPS(), 12000);
  call.ExpectStoredPage(p.page);
}

TEST(ReceiveEcmScript, EorIsAnsweredWithErr) {
  const TestPageFrames p;
  const int n = int(p.frames.size());
  EcmCall call;
  call.sender.frames = Opening();
  call.sender.frames.insert(call.sender.frames.end(), {Pps(t30::kEOP, 0, n), Pps(t30::kEOP, 0, n, t30::kEOR),
                                                       R::Frame(t30::kDCN, "", true)});
  call.sender.carriers = {Tcf(), Burst(p, 0, Range(0, n), {n - 1}), R::Result("+FCERROR")};
  EXPECT_EQ(call.Run(), 0);
  EXPECT_EQ(call.Answers(), (std::vector<int>{t30::kCFR, t30::kPPR, t30::kERR}));
  // The page is kept with what came (all but its last frame).
  ASSERT_EQ(call.rig.files.size(), 1u);
  EXPECT_EQ(ReadPages(call.rig.files[0]).size(), 1u);
}

TEST(ReceiveEcmScript, ALostAnswerIsGivenAgainForRrAndForARepeatedSignal) {
  const TestPageFrames p;
  const int n = int(p.frames.size());
  const int k = n / 2;  // block 0: frames 0..k-1, block 1: the rest
  EcmCall call;
  call.sender.frames = Opening();
  call.sender.frames.insert(call.sender.frames.end(),
                            {Pps(0, 0, k),                   // incomplete: PPR
                             R::Frame(t30::kRR, "", true),   // the PPR was not heard: PPR again
                             Pps(0, 0, k),                   // complete: MCF
                             Pps(0, 0, k),                   // the MCF was not heard: MCF again
                             Pps(t30::kEOP, 1, n - k),       // block 1: MCF
                             R::Frame(t30::kDCN, "", true)});
  call.sender.carriers = {Tcf(), Burst(p, 0, Range(0, k, {0})), kNoCarrier, Burst(p, 0, {0}), kNoCarrier,
                          Burst(p, k, Range(0, n - k))};
  EXPECT_EQ(call.Run(), 0);
  EXPECT_EQ(call.Answers(),
            (std::vector<int>{t30::kCFR, t30::kPPR, t30::kPPR, t30::kMCF, t30::kMCF, t30::kMCF}));
  EXPECT_EQ(call.Requests(k), (std::vector<std::vector<int>>{{0}, {0}}));
  call.ExpectStoredPage(p.page);
}

TEST(ReceiveEcmScript, TheLastPagesSignalRepeatedAfterALostAnswerGetsTheAnswerAgain) {
  // The sender missed the answer to the page's last signal and sends it
  // again: it gets the same answer (ERR after EOR) rather than silence,
  // which would make it count a fax we hold as failed.
  for (const bool eor : {false, true}) {
    SCOPED_TRACE(eor ? "EOR" : "PPS");
    const TestPageFrames p;
    const int n = int(p.frames.size());
    EcmCall call;
    call.sender.frames = Opening();
    if (eor) call.sender.frames.push_back(Pps(t30::kEOP, 0, n));
    const std::string last = Pps(t30::kEOP, 0, n, eor ? t30::kEOR : t30::kPPS);
    call.sender.frames.insert(call.sender.frames.end(), {last, last, R::Frame(t30::kDCN, "", true)});
    call.sender.carriers = {Tcf(), Burst(p, 0, Range(0, n, {eor ? 0 : n})), R::Result("+FCERROR")};
    EXPECT_EQ(call.Run(), 0);
    const int answer = eor ? t30::kERR : t30::kMCF;
    const std::vector<int> expected =
        eor ? std::vector<int>{t30::kCFR, t30::kPPR, answer, answer} : std::vector<int>{t30::kCFR, answer, answer};
    EXPECT_EQ(call.Answers(), expected);
    ASSERT_EQ(call.rig.files.size(), 1u);
    EXPECT_EQ(ReadPages(call.rig.files[0]).size(), 1u);
  }
}

TEST(ReceiveEcmScript, WithoutErrorCorrectionARepeatedEopGetsMcfAgain) {
  const faxsim::Bitmap page = TestPage(2, 300);
  const faxsim::Bytes mh = faxsim::encodeMh(page, 0);
  EcmCall call;
  call.sender.frames = Opening(T4Coding::MH, false);
  const std::string eop = R::Frame(t30::kEOP, "", true);
  call.sender.frames.insert(call.sender.frames.end(), {eop, eop, R::Frame(t30::kDCN, "", true)});
  call.sender.carriers = {Tcf(), R::Result("CONNECT") + Shield(std::string(mh.begin(), mh.end())) + "\x10\x03" +
                                     R::Result("NO CARRIER")};
  EXPECT_EQ(call.Run(), 0);
  EXPECT_EQ(call.Answers(), (std::vector<int>{t30::kCFR, t30::kMCF, t30::kMCF}));
  call.ExpectStoredPage(page);
}

TEST(ReceiveEcmScript, ADocumentAfterEomIsStoredWhetherThePageCounterRunsOnOrStartsAgain) {
  const TestPageFrames p;
  const int n = int(p.frames.size());
  for (const int secondPage : {1, 0}) {
    SCOPED_TRACE(secondPage);
    EcmCall call;
    call.sender.frames = Opening();
    call.sender.frames.push_back(R::Frame(t30::kPPS, std::string{char(t30::kEOM), 0, 0, char(n - 1)}, true));
    for (std::string& f : Opening()) call.sender.frames.push_back(f);
    call.sender.frames.push_back(
        R::Frame(t30::kPPS, std::string{char(t30::kEOP), char(secondPage), 0, char(n - 1)}, true));
    call.sender.frames.push_back(R::Frame(t30::kDCN, "", true));
    call.sender.carriers = {Tcf(), Burst(p, 0, Range(0, n)), Tcf(), Burst(p, 0, Range(0, n))};
    EXPECT_EQ(call.Run(), 0);
    const std::vector<int> sent = call.modem.SentFrames();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), t30::kMCF), 2);
    std::vector<std::string> files = FilesIn(call.rig.dir.Folder());
    std::vector<faxsim::Bitmap> pages;
    for (const std::string& f : files)
      for (const faxsim::Bitmap& b : ReadPages(call.rig.Path(f))) pages.push_back(b);
    ASSERT_EQ(pages.size(), 2u) << "each document's page is stored";
    for (const faxsim::Bitmap& b : pages) EXPECT_TRUE(b.bits == p.page.bits);
  }
}

TEST(ReceiveEcmScript, MrAndMmrPagesAreStoredAsMhOfTheSamePixels) {
  for (const bool mmr : {false, true}) {
    SCOPED_TRACE(mmr ? "MMR" : "MR");
    EcmCall call;
    const std::string coded = LibtiffCoded(TestPage(2, 300), mmr, call.rig.Path("coded.tif"));
    ASSERT_FALSE(coded.empty());
    const TestPageFrames p(coded);
    const int n = int(p.frames.size());
    call.sender.frames = Opening(mmr ? T4Coding::MMR : T4Coding::MR);
    call.sender.frames.insert(call.sender.frames.end(), {Pps(t30::kEOP, 0, n), R::Frame(t30::kDCN, "", true)});
    call.sender.carriers = {Tcf(), Burst(p, 0, Range(0, n))};
    EXPECT_EQ(call.Run(), 0);
    EXPECT_EQ(call.Answers(), (std::vector<int>{t30::kCFR, t30::kMCF}));
    call.ExpectStoredPage(p.page);
  }
}

}  // namespace
}  // namespace tlm::testing
