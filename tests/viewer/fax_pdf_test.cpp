// tlmfax pdf and print: the PDF read back with poppler's tools gives the
// fax's pages pixel for pixel, as 1-bit images at the fax's size.
#include <gtest/gtest.h>

#include <QDateTime>
#include <filesystem>
#include <sstream>

#include "gui_test_support.h"
#include "viewer/fax_pdf.h"
#include "viewer_fixtures.h"

namespace tlm {
namespace {

using namespace tlm::testing;

class FaxPdf : public ::testing::Test {
 protected:
  std::string File(const std::string& name) { return data.dir.File(name); }
  std::string Output(const std::string& command) {
    EXPECT_EQ(RunShell(command + " > " + File("out.txt") + " 2>&1"), 0) << command;
    return ReadFile(File("out.txt"));
  }
  static std::string Tlmfax() { return TLMFAX_PROGRAM; }
  DataFolderScope data;  // the print log goes here
};

TEST_F(FaxPdf, EachPageIsAOneBitImageThatRendersBackToItsPixels) {
  // A fine page and a standard page of the same size in lines.
  const Page fine = PageWithBlocks(1728, 400, {{10, 10, 300, 3}, {1700, 390, 28, 10}, {864, 0, 1, 400}});
  const Page standard = PageWithBlocks(1728, 200, {{0, 0, 1728, 1}, {500, 100, 50, 50}});
  std::vector<ApfPageSpec> specs = {{kApfLengthWords | kApfFine, RecordData(EncodePage(fine)), -1},
                                    {kApfLengthWords, RecordData(EncodePage(standard)), -1}};
  WriteFile(File("fax.apf"), BuildApf(specs));
  ASSERT_EQ(RunShell(Tlmfax() + " pdf " + File("fax.apf") + " " + File("fax.pdf")), 0);

  std::istringstream list(Output("pdfimages -list " + File("fax.pdf")));
  std::string line;
  std::vector<std::string> rows;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    std::string page, num, type, width, height, color, comp, bpc;
    fields >> page >> num >> type >> width >> height >> color >> comp >> bpc;
    if (type == "image") rows.push_back(width + "x" + height + " " + color + " " + bpc);
  }
  EXPECT_EQ(rows, std::vector<std::string>({"1728x400 gray 1", "1728x200 gray 1"}));

  // 8.5 inches wide; lines at 7.7 and 3.85 a millimetre.
  const std::string info = Output("pdfinfo -f 1 -l 2 " + File("fax.pdf"));
  EXPECT_NE(info.find("Page    1 size:  612 x 147.254"), std::string::npos) << info;
  EXPECT_NE(info.find("Page    2 size:  612 x 147.254"), std::string::npos) << info;
  EXPECT_NE(info.find("Title:           fax.apf"), std::string::npos) << info;
  EXPECT_NE(info.find("CreationDate:"), std::string::npos);

  // Rendered back at the fax's own resolution (grey, cut at half): every
  // pixel of the pages.
  auto render = [&](int page, const Page& original) {
    return RenderPdfPage(File("fax.pdf"), page, "-scale-to-x 1728 -scale-to-y " + std::to_string(original.height),
                         File("p" + std::to_string(page)));
  };
  auto differing = [](const Page& a, const Page& b) {
    if (a.width != b.width || a.height != b.height) return -1;
    int n = 0;
    for (int y = 0; y < a.height; ++y) {
      for (int x = 0; x < a.width; ++x) n += a.Black(x, y) != b.Black(x, y);
    }
    return n;
  };
  EXPECT_EQ(differing(render(1, fine), fine), 0);
  EXPECT_EQ(differing(render(2, standard), standard), 0);
}

TEST_F(FaxPdf, ATextPageStaysSmallAndBadInputWritesNothing) {
  std::string text;
  for (int i = 1; i <= 60; ++i) text += "Line " + std::to_string(i) + " of a typical letter sent by fax to a customer.\n";
  WriteFile(File("letter.txt"), text);
  ASSERT_EQ(RunShell(Tlmfax() + " convert --fine " + File("letter.txt") + " " + File("letter.apf")), 0);
  ASSERT_EQ(RunShell(Tlmfax() + " pdf " + File("letter.apf") + " " + File("letter.pdf")), 0);
  EXPECT_LT(std::filesystem::file_size(File("letter.pdf")), 100u * 1024);
  EXPECT_NE(Output("pdftotext " + File("letter.pdf") + " -").size(), 0u);

  // A damaged fax, an unwritable folder: an error, no file.
  WriteFile(File("bad.apf"), std::string("APF10\x1A but then nothing", 24));
  EXPECT_NE(RunShell(Tlmfax() + " pdf " + File("bad.apf") + " " + File("bad.pdf") + " 2>/dev/null"), 0);
  EXPECT_FALSE(std::filesystem::exists(File("bad.pdf")));
  EXPECT_NE(RunShell(Tlmfax() + " pdf " + File("letter.apf") + " " + File("no/dir/x.pdf") + " 2>/dev/null"), 0);
  // A page of no lines is a blank page, in the PDF and on paper.
  const auto ink = RecordData(EncodePage(PageWithBlocks(1728, 40, {{0, 0, 8, 8}})));
  WriteFile(File("blank.apf"), BuildApf({{kApfLengthWords | kApfFine, {}, -1}, {kApfLengthWords | kApfFine, ink, -1}}));
  ASSERT_EQ(RunShell(Tlmfax() + " pdf " + File("blank.apf") + " " + File("blank.pdf")), 0);
  EXPECT_NE(Output("pdfinfo " + File("blank.pdf")).find("Pages:           2"), std::string::npos);
  ASSERT_EQ(RunShell(Tlmfax() + " print --pdf " + File("blank-print.pdf") + " " + File("blank.apf")), 0);
  EXPECT_NE(Output("pdftotext " + File("blank-print.pdf") + " -").find("Page: 2 of 2"), std::string::npos);

  QString error;
  EXPECT_FALSE(ExportFaxAsPdf(File("missing.apf"), File("m.pdf"), "t", &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(std::filesystem::exists(File("m.pdf")));
}

TEST_F(FaxPdf, PrintCommandPrintsARangeThroughTheFaxPrinter) {
  WriteNumberedFax(File("fax.apf"), 3, 600);
  ASSERT_EQ(RunShell(Tlmfax() + " print --pdf " + File("all.pdf") + " " + File("fax.apf")), 0);
  EXPECT_NE(Output("pdftotext " + File("all.pdf") + " -").find("Page: 3 of 3"), std::string::npos);
  ASSERT_EQ(RunShell(Tlmfax() + " print --pdf " + File("two.pdf") + " --pages 2-3 --no-header --no-footer " +
                     File("fax.apf")), 0);
  EXPECT_NE(Output("pdfinfo " + File("two.pdf")).find("Pages:           2"), std::string::npos);
  EXPECT_EQ(Output("pdftotext " + File("two.pdf") + " - | tr -d ' \\n\\f'"), "");
  ASSERT_EQ(RunShell(Tlmfax() + " print --pdf " + File("multi.pdf") + " --multipage " + File("fax.apf")), 0);
  EXPECT_NE(Output("pdfinfo " + File("multi.pdf")).find("Pages:           1"), std::string::npos);
  EXPECT_NE(RunShell(Tlmfax() + " print --pdf " + File("x.pdf") + " --pages 2-9 " + File("fax.apf") + " 2>/dev/null"), 0);
  EXPECT_NE(RunShell(Tlmfax() + " print --pages x " + File("fax.apf") + " 2>/dev/null"), 0);
  const std::string log = ReadFile(File("FAXPRINT.LOG"));
  EXPECT_NE(log.find(" finished at "), std::string::npos);
}

}  // namespace
}  // namespace tlm
