// The values the send window derives (dial wait from S7, the init command,
// the header line, the result text) and the progress display's arithmetic:
// meter blocks at their boundaries, times, file names and page progress.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "app/gui_test_support.h"
#include "send/kv_meter.h"
#include "send/send_options.h"
#include "send/standard_fax_display.h"

namespace tlm {
namespace {

TEST(DialWait, S7SetsTheWaitWithinItsLimits) {
  EXPECT_EQ(DialWaitFromInit("ATS7=90"), 90);
  EXPECT_EQ(DialWaitFromInit("s7=90"), 90);          // letter case ignored
  EXPECT_EQ(DialWaitFromInit("AT&FS7=30"), 55);      // raised to 55
  EXPECT_EQ(DialWaitFromInit("ATS7=55"), 55);
  EXPECT_EQ(DialWaitFromInit("ATS7=120L0"), 120);    // three digits, then other commands
  EXPECT_EQ(DialWaitFromInit("ATS7=1200"), 120);     // only three digits are read
  EXPECT_EQ(DialWaitFromInit("ATS7="), 60);          // no digits
  EXPECT_EQ(DialWaitFromInit("ATS7=X"), 60);
  EXPECT_EQ(DialWaitFromInit("ATS7=9X"), 55);        // trailing letter cut: 9, raised
  EXPECT_EQ(DialWaitFromInit("ATS7=7X9"), 60);       // a letter among the digits
  EXPECT_EQ(DialWaitFromInit("AT&F"), 60);           // no S7
  EXPECT_EQ(DialWaitFromInit(""), 60);
}

TEST(ModemInit, AtIsPutInFrontOnlyWhenMissing) {
  EXPECT_EQ(ModemInitCommand("&F"), "AT&F");
  EXPECT_EQ(ModemInitCommand("at&f"), "at&f");
  EXPECT_EQ(ModemInitCommand("X3"), "ATX3");
  EXPECT_EQ(ModemInitCommand("&FAT"), "&FAT");  // holds "AT" somewhere
}

TEST(Header, BlanksAndTokensAsPrinted) {
  const QString tail = QStringLiteral("           1/2/26    9:05 AM              Page $P of $N");
  EXPECT_EQ(BuildHeader("", "", "1/2/26", "9:05 AM"), QStringLiteral("Sent") + tail);
  EXPECT_EQ(BuildHeader("   ", " ", "1/2/26", "9:05 AM"), QStringLiteral("Sent") + tail);
  EXPECT_EQ(BuildHeader("Ann Smith", "", "1/2/26", "9:05 AM"), QStringLiteral("Sent by: Ann Smith    ") + tail);
  EXPECT_EQ(BuildHeader("", "555 1234", "1/2/26", "9:05 AM"),
            QStringLiteral("Sent by         $I          ") + tail);
  EXPECT_EQ(BuildHeader("Ann", "555", "1/2/26", "9:05 AM"),
            QStringLiteral("Sent by: Ann             $I          ") + tail);
  // Today's date and time in the locale's short forms.
  EXPECT_TRUE(BuildHeader("", "").endsWith(QStringLiteral("              Page $P of $N")));
}

TEST(Result, SentForSuccessElseTheErrorText) {
  EXPECT_EQ(SendResultText(0), "Sent");
  EXPECT_EQ(SendResultText(-8064), "Called fax number was busy");
  EXPECT_EQ(SendResultText(-6005), "Cancel requested");
  EXPECT_TRUE(IsSentResult("Sent"));
  EXPECT_TRUE(IsSentResult("ok"));
  EXPECT_TRUE(IsSentResult("SENT"));
  EXPECT_FALSE(IsSentResult("Called fax number was busy"));
  EXPECT_FALSE(IsSentResult(""));
}

TEST(Meter, BlocksAtTheBoundaries) {
  // The progress window's meter: 406 pixels, blocks of 10, 0..100.
  EXPECT_EQ(ComputeMeterBlocks(0, 0, 100, 406, 10), (MeterBlocks{0, 0}));
  EXPECT_EQ(ComputeMeterBlocks(-5, 0, 100, 406, 10), (MeterBlocks{0, 0}));
  EXPECT_EQ(ComputeMeterBlocks(1, 0, 100, 406, 10), (MeterBlocks{1, 0}));  // 1*40/100 + 1
  EXPECT_EQ(ComputeMeterBlocks(2, 0, 100, 406, 10), (MeterBlocks{1, 0}));
  EXPECT_EQ(ComputeMeterBlocks(3, 0, 100, 406, 10), (MeterBlocks{2, 0}));
  EXPECT_EQ(ComputeMeterBlocks(50, 0, 100, 406, 10), (MeterBlocks{21, 0}));
  EXPECT_EQ(ComputeMeterBlocks(99, 0, 100, 406, 10), (MeterBlocks{40, 0}));  // 400 <= 402
  // 41 blocks would pass width - 4: 40 whole blocks and 2 pixels.
  EXPECT_EQ(ComputeMeterBlocks(100, 0, 100, 406, 10), (MeterBlocks{40, 2}));
  EXPECT_EQ(ComputeMeterBlocks(250, 0, 100, 406, 10), (MeterBlocks{40, 2}));
  // Another range and width; an empty range shows nothing.
  EXPECT_EQ(ComputeMeterBlocks(15, 10, 20, 57, 5), (MeterBlocks{6, 0}));  // 5*10/10 + 1
  EXPECT_EQ(ComputeMeterBlocks(20, 10, 20, 57, 5), (MeterBlocks{10, 3}));
  EXPECT_EQ(ComputeMeterBlocks(5, 5, 5, 406, 10), (MeterBlocks{0, 0}));
}

TEST(Meter, RepaintsOnlyWhenTheBlockCountChanges) {
  testing::App();
  TKvMeter meter;
  meter.resize(406, 20);
  const int before = meter.RepaintCount();
  meter.SetPosition(1);
  EXPECT_EQ(meter.RepaintCount(), before + 1);
  meter.SetPosition(2);  // still one block
  EXPECT_EQ(meter.RepaintCount(), before + 1);
  meter.SetPosition(100);
  EXPECT_EQ(meter.Blocks(), (MeterBlocks{40, 2}));
  EXPECT_EQ(meter.RepaintCount(), before + 2);
}

TEST(Display, TimesFileNamesAndProgress) {
  EXPECT_EQ(FormatDisplayTime(0), "  0:00");
  EXPECT_EQ(FormatDisplayTime(65), "  1:05");
  EXPECT_EQ(FormatDisplayTime(600), " 10:00");
  EXPECT_EQ(FormatDisplayTime(6000), "100:00");
  EXPECT_EQ(DisplayFileName("/data/TLM_1.APF"), "TLM_1.APF");
  EXPECT_EQ(DisplayFileName("/x/abcdefghijklmnopqrst.apf"), "abcdefghijklmnopqrst...");
  EXPECT_EQ(DisplayFileName("/x/abcdefghijklmnop.apf"), "abcdefghijklmnop.apf");  // exactly 20
  EXPECT_EQ(PageProgress(0, 0), 0);
  EXPECT_EQ(PageProgress(500, 0), 0);
  EXPECT_EQ(PageProgress(1, 3), 33);
  EXPECT_EQ(PageProgress(3, 3), 100);
  EXPECT_EQ(PageProgress(3'000'000'000L, 3'000'000'000L), 100);  // no overflow
}

TEST(Display, LabelsAtTheNamedMoments) {
  testing::App();
  TStandardFaxDisplay display;
  FaxDisplayValues v;
  v.phoneNumber = "5550100";
  v.faxFile = "/data/TLM_1.APF";
  v.totalPages = 3;
  v.status = 1;
  display.Update(v);
  EXPECT_EQ(display.windowTitle(), "Fax Status");
  EXPECT_EQ(display.Value("Phone number:"), "5550100");
  EXPECT_EQ(display.Value("Current page:"), "<cover page>");
  EXPECT_EQ(display.Value("Elapsed time:"), "00:00");  // before the connection
  display.TickSeconds(5);
  EXPECT_EQ(display.Value("Elapsed time:"), "00:00");

  // Busy: the countdown of the retry wait follows the status text.
  v.status = 3;
  v.dialRetryWait = 90;
  display.Update(v);
  EXPECT_EQ(display.Value("Status:"), "Busy, waiting until redial...  1:30");
  display.TickSeconds(31);
  EXPECT_EQ(display.Value("Status:"), "Busy, waiting until redial...  0:59");
  v.status = 2;  // another status ends it
  v.dialAttempt = 2;
  display.Update(v);
  EXPECT_EQ(display.Value("Status:"), "Dialing");
  EXPECT_EQ(display.Value("Dial attempt:"), "2");

  // The clock starts at status 40 or 41 and stops at 43.
  v.status = 40;
  v.remoteId = "REMOTE";
  v.connectBps = 14400;
  v.fine = true;
  display.Update(v);
  EXPECT_EQ(display.Value("Elapsed time:"), "  0:00");
  display.TickSeconds(61);
  EXPECT_EQ(display.Value("Elapsed time:"), "  1:01");
  v.status = 4;
  v.currentPage = 2;
  v.pageLength = 4000;
  v.bytesTransferred = 2000;
  display.Update(v);
  EXPECT_EQ(display.Value("Current page:"), "2");
  EXPECT_EQ(display.Value("Resolution:"), "high");
  EXPECT_EQ(display.Value("Width:"), "1728");
  EXPECT_EQ(display.Value("Error control:"), "off");
  EXPECT_EQ(display.Value("Connect BPS:"), "14400");
  EXPECT_EQ(display.Meter()->Position(), 50);
  EXPECT_EQ(display.Meter()->Blocks().blocks, 21);
  v.status = 43;
  display.Update(v);
  display.TickSeconds(10);
  EXPECT_EQ(display.Value("Elapsed time:"), "  1:01");
  EXPECT_EQ(display.Value("Status:"), "Finished");

  // A receive: no number, no meter.
  TStandardFaxDisplay receive;
  receive.SetForReceive(true);
  receive.Update(v);
  EXPECT_EQ(receive.Value("Phone number:"), "");
  EXPECT_EQ(receive.Value("Dial attempt:"), "1");
  EXPECT_EQ(receive.Value("Page progress:"), "Page progress: N/A");
  EXPECT_TRUE(receive.Meter()->isHidden());
}

}  // namespace
}  // namespace tlm
