// A fax whose document is a PDF file put in with "Insert File...", sent from
// the main window over faxsim: the remote machine receives the PDF's two
// pages, each with about the ink of the page it shows.
#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>

#include "compose/file_pictures.h"
#include "faximage/pdf_document.h"
#include "bitmap.h"
#include "richtext/rich_text_editor.h"
#include "send/send_window_fixture.h"

namespace tlm {
namespace {

using testing::SendWindowTest;
using testing::WaitUntil;

double InkShare(const MonoBitmap& page) {
  long black = 0;
  for (int y = 0; y < page.height; ++y) {
    for (int x = 0; x < page.width; ++x) black += page.IsBlack(x, y);
  }
  return double(black) / (double(page.width) * page.height);
}

double InkShare(const faxsim::Bitmap& page) {
  long black = 0;
  for (int y = 0; y < page.height; ++y) {
    for (int x = 0; x < page.width; ++x) black += page.pixel(x, y) ? 1 : 0;
  }
  return double(black) / (double(page.width) * page.height);
}

TEST_F(SendWindowTest, APdfDocumentArrivesAsItsPages) {
  const std::string pdf = std::string(TOLMERA_FIXTURES_DIR) + "/pdf/letter-libreoffice.pdf";
  // The document as the fax editor makes it from the PDF.
  RichTextEditor editor;
  editor.SetPageSetup({12240, 15840, 720, 720, 720, 720});
  int width = 0, height = 0;
  PictureBoxOf(editor, width, height);
  QString error;
  const std::vector<FilePicture> pictures =
      ReadFilePictures(QString::fromStdString(pdf), width, height, kFaxPictureDpi, &error);
  ASSERT_EQ(pictures.size(), 2u) << error.toStdString();
  InsertFilePictures(editor, pictures);
  const std::string rtf = editor.RtfText();

  StartLine();
  WriteSettings(line.File("modem"));
  AddOutgoing("5550100", true, rtf.c_str());
  auto w = OpenMain();
  AnswerSendWindow([&](TSendFaxForm& form) { SendAndWatch(form); });
  driver.Click(QMessageBox::Ok);  // "Fax sent successfully"
  QTest::mouseClick(w->findChild<QPushButton*>("SendButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }, 1000));
  EXPECT_TRUE(driver.unexpected.empty()) << driver.unexpected.front();
  EXPECT_EQ(seen.result, "Sent");
  EXPECT_TRUE(seen.pagesShown.count("2"));
  EXPECT_FALSE(sim->waitFor({"fax_done", "status=0"}, 10).empty());
  EXPECT_FALSE(std::filesystem::exists(line.File("rx") + "/rx-5550100-1-p3.pbm"));

  const std::string bytes = testing::ReadText(pdf);
  PdfDocument document(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  for (int page = 1; page <= 2; ++page) {
    faxsim::Bitmap received;
    ASSERT_EQ(faxsim::readPbm(line.File("rx") + "/rx-5550100-1-p" + std::to_string(page) + ".pbm", received), "");
    EXPECT_EQ(received.width, 1728);
    // The picture is the page at 7.5 of its 8.5 inches: a little less ink
    // than the page itself, and never a black block.
    const double ratio = InkShare(received) / InkShare(document.RenderPage(page - 1, {200, 200, 1700, 0}));
    EXPECT_GT(ratio, 0.6) << "page " << page;
    EXPECT_LT(ratio, 1.2) << "page " << page;
  }
  w->close();
  EXPECT_EQ(Record().at("PAGES"), "2");
}

}  // namespace
}  // namespace tlm
