// The fax printer printing into PDF files, read back with poppler's tools:
// pages a sheet by the ink of pdftoppm renderings, the log, aborting from
// the status window, and outputs that cannot be written.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <filesystem>

#include "gui_test_support.h"
#include "faximage/fax_errors.h"
#include "viewer/fax_printer.h"
#include "viewer/print_status_window.h"
#include "viewer_fixtures.h"

namespace tlm {
namespace {

using namespace tlm::testing;

// Which quarters of a rendered sheet hold ink: bit 0 top left, 1 top right,
// 2 bottom left, 3 bottom right.
int InkedQuarters(const Page& sheet) {
  int mask = 0;
  for (int y = 0; y < sheet.height; ++y) {
    for (int x = 0; x < sheet.width; ++x) {
      if (sheet.Black(x, y)) mask |= 1 << ((y >= sheet.height / 2 ? 2 : 0) + (x >= sheet.width / 2 ? 1 : 0));
    }
  }
  return mask;
}

class FaxPrinterPdf : public ::testing::Test {
 protected:
  FaxPrinterPdf() {
    App();
    printer.FaxPrinterLog = &log;
    printer.FaxHeader.Enabled = false;
    printer.FaxFooter.Enabled = false;
  }
  std::string File(const std::string& name) { return data.dir.File(name); }
  // The sheets of the PDF rendered at 20 dpi as bilevel pages.
  std::vector<Page> Sheets(const std::string& pdf) {
    std::vector<Page> sheets;
    for (int n = 1; n < 20; ++n) {
      Page sheet = RenderPdfPage(pdf, n, "-r 20", File("sheet"));
      if (sheet.width == 0) break;
      sheets.push_back(sheet);
    }
    return sheets;
  }
  // `count` pages, each almost wholly black.
  void WriteInkedFax(const std::string& path, int count) {
    std::vector<Page> pages(std::size_t(count), PageWithBlocks(1728, 1000, {{100, 100, 1528, 800}}));
    WriteFax(path, pages);
  }

  DataFolderScope data;
  QApplication& app = App();  // before the printer
  TKvFaxPrinter printer;
  TKvFaxPrinterLog log;
};

TEST_F(FaxPrinterPdf, FourPagesASheetInPortrait) {
  WriteInkedFax(File("six.apf"), 6);
  printer.SetFileName(File("six.apf"));
  EXPECT_EQ(printer.PageCount(), 6);
  EXPECT_EQ(printer.FirstPage(), 1);
  EXPECT_EQ(printer.LastPage(), 6);
  printer.MultiPage = true;
  printer.SetPdfOutput(QString::fromStdString(File("six.pdf")));
  std::vector<std::pair<int, int>> next;
  printer.OnNextPage = [&](TKvFaxPrinter&, int cp, int tp) { next.emplace_back(cp, tp); };
  ASSERT_TRUE(printer.Print()) << printer.LastError().toStdString();
  EXPECT_EQ(next.size(), 6u);
  EXPECT_EQ(next.back(), std::make_pair(6, 6));
  EXPECT_EQ(printer.CurrentPage(), 0);
  EXPECT_EQ(printer.Status(), ppIdle);
  const auto sheets = Sheets(File("six.pdf"));
  ASSERT_EQ(sheets.size(), 2u);
  EXPECT_EQ(InkedQuarters(sheets[0]), 0b1111);
  EXPECT_EQ(InkedQuarters(sheets[1]), 0b0011);  // pages 5 and 6 on top
}

TEST_F(FaxPrinterPdf, TwoPagesASheetInLandscapeAndOneWithout) {
  WriteInkedFax(File("three.apf"), 3);
  printer.SetFileName(File("three.apf"));
  printer.MultiPage = true;
  printer.Printer().setPageOrientation(QPageLayout::Landscape);
  printer.SetPdfOutput(QString::fromStdString(File("two.pdf")));
  ASSERT_TRUE(printer.Print());
  auto sheets = Sheets(File("two.pdf"));
  ASSERT_EQ(sheets.size(), 2u);
  EXPECT_GT(sheets[0].width, sheets[0].height);
  EXPECT_EQ(InkedQuarters(sheets[0]), 0b0011);  // left and right halves, from the top
  EXPECT_EQ(InkedQuarters(sheets[1]), 0b0001);  // left half only

  printer.MultiPage = false;
  printer.Printer().setPageOrientation(QPageLayout::Portrait);
  printer.SetRange(2, 3);
  printer.SetPdfOutput(QString::fromStdString(File("one.pdf")));
  ASSERT_TRUE(printer.Print());
  sheets = Sheets(File("one.pdf"));
  ASSERT_EQ(sheets.size(), 2u);
  // Fitted: 93% of the width, the page's proportions kept.
  const Page& s = sheets[0];
  int left = s.width, right = 0, top = s.height, bottom = 0;
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      if (!s.Black(x, y)) continue;
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  const double ratio = double(bottom - top + 1) / (right - left + 1);
  EXPECT_NEAR(ratio, 800.0 / 1528 * (1728.0 / 215 / 7.7), 0.08);
}

TEST_F(FaxPrinterPdf, HeaderAndFooterOnEveryPage) {
  WriteInkedFax(File("three.apf"), 3);
  printer.SetFileName(File("three.apf"));
  printer.FaxHeader.Enabled = true;
  printer.FaxHeader.Caption = "To: Bob $X";
  printer.FaxFooter.Enabled = true;
  printer.FaxFooter.Caption = "Page: $P of $N";
  printer.SetPdfOutput(QString::fromStdString(File("hf.pdf")));
  ASSERT_TRUE(printer.Print());
  EXPECT_EQ(RunShell("pdftotext -f 2 -l 2 -layout " + File("hf.pdf") + " " + File("p2.txt")), 0);
  const std::string text = ReadFile(File("p2.txt"));
  const auto header = text.find("To: Bob");
  const auto footer = text.find("Page: 2 of 3");
  ASSERT_NE(header, std::string::npos) << text;
  ASSERT_NE(footer, std::string::npos) << text;
  EXPECT_LT(header, footer);
  EXPECT_EQ(text.find('$'), std::string::npos);
}

TEST_F(FaxPrinterPdf, AnEmptyRangePrintsNothingButIsLogged) {
  WriteInkedFax(File("three.apf"), 3);
  printer.SetFileName(File("three.apf"));
  printer.SetRange(3, 2);
  printer.SetPdfOutput(QString::fromStdString(File("none.pdf")));
  std::vector<TFaxPLCode> codes;
  printer.OnFaxPrintLog = [&](TKvFaxPrinter&, TFaxPLCode code) { codes.push_back(code); };
  EXPECT_TRUE(printer.Print());
  EXPECT_EQ(codes, std::vector<TFaxPLCode>({lcStart, lcFinish}));
  EXPECT_FALSE(std::filesystem::exists(File("none.pdf")));
  const std::string text = ReadFile(File("FAXPRINT.LOG"));
  EXPECT_EQ(text.find("Printing " + File("three.apf") + " started at "), 0u);
  EXPECT_NE(text.find("\r\nPrinting " + File("three.apf") + " finished at "), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
}

TEST_F(FaxPrinterPdf, AbortFromTheStatusWindowLeavesNoFile) {
  WriteInkedFax(File("four.apf"), 4);
  TKvFaxPrinterStatus status;
  printer.StatusDisplay = &status;
  printer.SetFileName(File("four.apf"));
  printer.SetPdfOutput(QString::fromStdString(File("four.pdf")));
  QString shown;
  printer.OnNextPage = [&](TKvFaxPrinter&, int page, int) {
    TStandardFaxPrinterStatusDisplay* window = status.Display();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Print Status");
    EXPECT_EQ(window->FileNameLabel->text(), "FOUR.APF");
    EXPECT_EQ(window->ResolutionLabel->text(), "high");
    EXPECT_EQ(window->WidthLabel->text(), "1728");
    if (page == 2) {
      shown = window->StatusLabel->text();
      window->AbortButton->click();
    }
  };
  std::vector<TFaxPLCode> codes;
  printer.OnFaxPrintLog = [&](TKvFaxPrinter&, TFaxPLCode code) { codes.push_back(code); };
  EXPECT_FALSE(printer.Print());
  EXPECT_TRUE(shown.endsWith(" 1 of 4")) << shown.toStdString();
  EXPECT_EQ(codes, std::vector<TFaxPLCode>({lcStart, lcAbort}));
  EXPECT_EQ(printer.CurrentPage(), 0);
  EXPECT_FALSE(printer.Printing());
  EXPECT_EQ(status.Display(), nullptr);
  EXPECT_FALSE(std::filesystem::exists(File("four.pdf")));
  EXPECT_NE(ReadFile(File("FAXPRINT.LOG")).find(" aborted at "), std::string::npos);
  Settle();
  // The printer prints again afterwards.
  printer.OnNextPage = nullptr;
  EXPECT_TRUE(printer.Print());
  EXPECT_TRUE(std::filesystem::exists(File("four.pdf")));
}

TEST_F(FaxPrinterPdf, FailuresAreReportedAndLogged) {
  WriteInkedFax(File("one.apf"), 1);
  printer.SetFileName(File("one.apf"));
  printer.SetPdfOutput(QString::fromStdString(File("no/such/folder/out.pdf")));
  EXPECT_FALSE(printer.Print());
  EXPECT_FALSE(printer.LastError().isEmpty());
  EXPECT_NE(ReadFile(File("FAXPRINT.LOG")).find(" failed at "), std::string::npos);

  // A page that ends before its data does.
  const auto records = EncodePage(PageWithBlocks(1728, 50, {{0, 0, 9, 9}}));
  WriteFile(File("cut.apf"), BuildApf({{kApfLengthWords, RecordData(records), -1}, {0, RawStream(records), 99999}}));
  printer.SetFileName(File("cut.apf"));
  printer.SetPdfOutput(QString::fromStdString(File("cut.pdf")));
  EXPECT_FALSE(printer.Print());
  EXPECT_TRUE(printer.LastError().startsWith("Page 2")) << printer.LastError().toStdString();
  EXPECT_FALSE(std::filesystem::exists(File("cut.pdf")));

  // No pages, not a fax.
  WriteFile(File("none.apf"), BuildApf({}));
  printer.SetFileName(File("none.apf"));
  EXPECT_EQ(printer.PageCount(), 0);
  EXPECT_EQ(printer.FirstPage(), 0);
  EXPECT_FALSE(printer.Print());
  EXPECT_THROW(printer.SetFileName(File("missing.apf")), EFaxImageError);

  // An unknown printer keeps the current one.
  const QString before = printer.Printer().printerName();
  EXPECT_FALSE(printer.SelectPrinter("no such printer"));
  EXPECT_EQ(printer.Printer().printerName(), before);
}

}  // namespace
}  // namespace tlm
