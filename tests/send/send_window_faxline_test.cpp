// A fax sent from the main window through the send window, over faxline's
// emulated Class 1 modem (real modem audio, real time) to a spandsp fax
// machine: the record says "Sent" and the pages spandsp stored are the pages
// of the rendered fax, below the header line the sender adds.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTest>

#include <filesystem>
#include <vector>

#include "bitmap.h"
#include "fax/faxline_process.h"
#include "send/send_window_fixture.h"

namespace tlm {
namespace {

using faxsim::Bitmap;
using testing::SendWindowTest;
using testing::WaitUntil;

// Two pages, so that the multi-page signal and the second page's header are
// exchanged too.
constexpr const char* kTwoPages = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Sans;}}\\f0\\fs24 "
                                  "Quarterly figures, page one.\\par Revenue and costs by region.\\page "
                                  "\\fs36 Page two: the outlook.\\par}";

constexpr int kBlankLinesAround = 8;  // the sender's blank lines before and after each page

bool BlankRows(const Bitmap& page, int from, int count) {
  Bitmap blank;
  blank.resize(page.width, count);
  return faxsim::testing::sameRows(page, from, blank, count);
}

// The stored page: blank lines, the header line, the rendered page and
// blank lines again. The rendered page's first row; -1 when it is not there.
int RenderedPageAt(const Bitmap& stored, const Bitmap& rendered) {
  for (int at = kBlankLinesAround; at + rendered.height <= stored.height; ++at)
    if (faxsim::testing::sameRows(stored, at, rendered, rendered.height)) return at;
  return -1;
}

TEST_F(SendWindowTest, AFaxSentThroughTheWindowArrivesAtSpandspAsRendered) {
  std::filesystem::create_directories(line.File("in"));
  testing::FaxlineProcess faxline(line.Folder(), "--modem " + line.File("modem") + "=100 --receiver '555:" +
                                                     line.File("in") + ":ecm=0:ident=SPANDSP'");
  ASSERT_TRUE(faxline.Started()) << testing::ReadText(line.File("stderr"));
  WriteSettings(line.File("modem"), {{{"Modem", "FaxClass", "1"}}});
  AddOutgoing("555", true, kTwoPages);
  auto w = OpenMain();

  // The fax file the window was opened with, read before it is deleted.
  std::vector<Bitmap> rendered;
  AnswerSendWindow([&](TSendFaxForm& form) {
    for (const auto& entry : std::filesystem::directory_iterator(data.dir.Folder()))
      if (entry.path().extension() == ".APF") {
        EXPECT_TRUE(rendered.empty()) << "a second fax file: " << entry.path();
        EXPECT_EQ(faxsim::readApf(entry.path().string(), rendered), "");
      }
    SendAndWatch(form, 300000);
  });
  driver.Click(QMessageBox::Ok);  // "Fax sent successfully"
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  EXPECT_TRUE(driver.unexpected.empty()) << driver.unexpected.front();
  ASSERT_EQ(rendered.size(), 2u);
  EXPECT_EQ(seen.result, "Sent") << faxline.Events();
  EXPECT_EQ(seen.errorControlShown.count("on"), 0u) << "error correction is off in the settings";
  ASSERT_EQ(driver.boxes.size(), 2u);
  EXPECT_EQ(driver.boxes[1].text, "Fax sent successfully");

  // spandsp's account of the call.
  const std::string done = faxline.WaitFor({"EVENT phase_e", "fax=555"}, 30);
  ASSERT_FALSE(done.empty()) << faxline.Events();
  EXPECT_EQ(faxsim::testing::field(done, "status"), "0") << done;
  EXPECT_EQ(faxsim::testing::field(done, "pages"), std::to_string(rendered.size())) << done;
  EXPECT_EQ(faxsim::testing::field(done, "remote_ident").rfind("555 0001", 0), 0u) << done;  // the user's fax number
  EXPECT_FALSE(faxline.WaitFor({"EVENT port", "state=closed"}, 10).empty());

  // The record.
  w->close();
  const auto rec = Record();
  EXPECT_EQ(rec.at("LASTRESULT"), "Sent");
  EXPECT_EQ(rec.at("SENT"), "T");
  EXPECT_EQ(rec.at("DATESENT"), testing::Today());
  EXPECT_EQ(rec.at("PAGES"), std::to_string(rendered.size()));
  EXPECT_EQ(rec.at("PHONE"), "555");

  // Every stored page is the rendered page under the header line.
  const std::string stored = faxsim::testing::field(done, "file");
  for (std::size_t i = 0; i < rendered.size(); ++i) {
    Bitmap got;
    ASSERT_TRUE(faxsim::testing::tiffPageToBitmap(stored, int(i), got)) << "page " << i + 1;
    ASSERT_EQ(got.width, rendered[i].width) << "page " << i + 1;
    const int at = RenderedPageAt(got, rendered[i]);
    ASSERT_GT(at, kBlankLinesAround) << "page " << i + 1 << " is not the rendered page";
    EXPECT_TRUE(BlankRows(got, 0, kBlankLinesAround)) << "page " << i + 1;
    EXPECT_FALSE(BlankRows(got, kBlankLinesAround, at - kBlankLinesAround)) << "no header line on page " << i + 1;
    const int after = got.height - at - rendered[i].height;
    EXPECT_LE(after, kBlankLinesAround) << "page " << i + 1;
    EXPECT_TRUE(BlankRows(got, at + rendered[i].height, after)) << "page " << i + 1;
  }
}

// With error correction on in the settings and offered by the remote, the
// pages go in error-correction frames and the progress window says so.
TEST_F(SendWindowTest, WithErrorCorrectionTheProgressWindowShowsItOn) {
  std::filesystem::create_directories(line.File("in"));
  testing::FaxlineProcess faxline(line.Folder(), "--modem " + line.File("modem") + "=100 --receiver '555:" +
                                                     line.File("in") + ":ident=SPANDSP'");
  ASSERT_TRUE(faxline.Started()) << testing::ReadText(line.File("stderr"));
  WriteSettings(line.File("modem"), {{{"Modem", "FaxClass", "1"}, {"Dialing", "ECM", "1"}}});
  AddOutgoing("555", true, kTwoPages);
  auto w = OpenMain();
  AnswerSendWindow([&](TSendFaxForm& form) { SendAndWatch(form, 300000); });
  driver.Click(QMessageBox::Ok);  // "Fax sent successfully"
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  EXPECT_EQ(seen.result, "Sent") << faxline.Events();
  EXPECT_EQ(seen.errorControlShown.count("on"), 1u);

  const std::string done = faxline.WaitFor({"EVENT phase_e", "fax=555"}, 30);
  ASSERT_FALSE(done.empty()) << faxline.Events();
  EXPECT_EQ(faxsim::testing::field(done, "status"), "0") << done;
  EXPECT_EQ(faxsim::testing::field(done, "ecm"), "1") << done;
  EXPECT_EQ(faxsim::testing::field(done, "pages"), "2") << done;
  w->close();
  EXPECT_EQ(Record().at("LASTRESULT"), "Sent");
}

}  // namespace
}  // namespace tlm
