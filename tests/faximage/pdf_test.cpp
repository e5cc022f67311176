// PDF files as converter input: the scanned ITU chart comes back as it was
// scanned, shapes land where the page puts them at both resolutions, page
// ranges, and files that cannot be faxed (password, damage, no pages, too
// many pages, absurd page sizes) fail with a message saying why and leave
// an older output file as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "fax_test_util.h"
#include "pdf_maker.h"
#include "faximage/fax_converter.h"
#include "faximage/fax_errors.h"
#include "faximage/fax_unpack_engine.h"
#include "faximage/pdf_document.h"
#include "support/temp_dir.h"

namespace tlm::testing {
namespace {

std::string PdfFixture(const std::string& name) { return std::string(TOLMERA_FIXTURES_DIR) + "/pdf/" + name; }

// Page `n` of an APF file as decoded by the unpacker (1 black).
Page DecodedPage(const std::string& apf, int n) {
  Page page(1728, 0);
  UnpackApfPage(apf, n, {}, {}, [&](const std::uint8_t* line, int bytes) {
    page.height++;
    page.bits.insert(page.bits.end(), line, line + std::min(bytes, page.RowBytes()));
  });
  return page;
}

int ApfPageCount(const std::string& apf) {
  const std::string data = ReadFile(apf);
  return data.size() >= ApfFileHeader::kSize
             ? ApfFileHeader::Decode(reinterpret_cast<const std::uint8_t*>(data.data())).pageCount
             : -1;
}

// The share of pixels two pages have alike, over the rows and columns both have.
double EqualShare(const Page& a, const Page& b, int bColumnOffset = 0) {
  const int rows = std::min(a.height, b.height);
  const int columns = std::min(a.width, b.width - bColumnOffset);
  long equal = 0;
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < columns; ++x) equal += a.Black(x, y) == b.Black(x + bColumnOffset, y);
  }
  const long all = long(std::max(a.height, b.height)) * long(columns);
  return all ? double(equal) / double(all) : 0;
}

class PdfInput : public ::testing::Test {
 protected:
  // Converts `input` into out.apf; the converter's exception passes on.
  std::string Convert(const std::string& input, bool fine, PdfPageRange range = {}) {
    TKvFaxConverter c;
    c.InputDocumentType = idPdf;
    c.Resolution = fine ? frHigh : frNormal;
    c.PdfPages = range;
    c.SetDocumentFile(input);
    c.OutFileName = dir.File("out.apf");
    c.ConvertToApf();
    return c.OutputPath();
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    WriteFile(dir.File(name), bytes);
    return dir.File(name);
  }
  // The conversion of `input` fails with 8002 and a message holding
  // `words`, and an older out.apf is left as it was.
  void ExpectRefused(const std::string& input, const std::string& words, PdfPageRange range = {}) {
    WriteFile(dir.File("out.apf"), "older fax");
    try {
      Convert(input, false, range);
      ADD_FAILURE() << input << " was converted";
    } catch (const EBadGraphicsFormat& e) {
      EXPECT_EQ(e.Code(), ecBadGraphicsFormat);
      EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadFile(dir.File("out.apf")), "older fax");
    for (const auto& entry : std::filesystem::directory_iterator(dir.Folder())) {
      EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
    }
  }
  TempDir dir;
};

TEST_F(PdfInput, ScannedChartComesBackAsItuChart1) {
  const std::string apf = Convert(PdfFixture("scanned-chart.pdf"), true);
  ASSERT_EQ(ApfPageCount(apf), 1);
  const Page page = DecodedPage(apf, 1);
  const Page chart = ReadPbm(ItuChart(1));
  EXPECT_EQ(page.height, chart.height);
  EXPECT_GE(EqualShare(page, chart), 0.995);
  // At standard resolution the same page has half the lines.
  const Page normal = DecodedPage(Convert(PdfFixture("scanned-chart.pdf"), false), 1);
  EXPECT_EQ(normal.height, chart.height / 2);
}

TEST_F(PdfInput, LetterHasTwoFullLengthPagesAtEachResolution) {
  for (const bool fine : {false, true}) {
    const std::string apf = Convert(PdfFixture("letter-libreoffice.pdf"), fine);
    ASSERT_EQ(ApfPageCount(apf), 2);
    const Page page = DecodedPage(apf, 2);
    EXPECT_EQ(page.height, fine ? 2156 : 1078);  // 11 inches
  }
  const std::string apf = Convert(PdfFixture("letter-libreoffice.pdf"), false, {2, 2});
  EXPECT_EQ(ApfPageCount(apf), 1);
}

// A black square of one inch, one inch from the top left corner of an A4
// page, lands there at both resolutions: the page is centred on the line
// (1686 pixels wide: 16 pixels to the left) and not moved by the margin.
TEST_F(PdfInput, ShapesLandWhereThePagePutsThem) {
  const std::string pdf = Write("square.pdf", MakePdf({{595, 842, "0 g 72 698 72 72 re f", 0}}));
  for (const bool fine : {false, true}) {
    const Page page = DecodedPage(Convert(pdf, fine), 1);
    const double ydpi = fine ? 196 : 98;
    EXPECT_EQ(page.height, int(std::ceil(842 / 72.0 * ydpi)));
    const int left = 16 + 204, right = 16 + 408, top = int(ydpi), bottom = int(2 * ydpi);
    EXPECT_TRUE(page.Black(left + 3, top + 3));
    EXPECT_TRUE(page.Black(right - 3, bottom - 3));
    EXPECT_FALSE(page.Black(left - 3, top + 10));
    EXPECT_FALSE(page.Black(right + 3, top + 10));
    EXPECT_FALSE(page.Black(left + 10, top - 3));
    EXPECT_FALSE(page.Black(left + 10, bottom + 3));
  }
  // A page turned by a quarter is as wide as it is shown: scaled to the line.
  const std::string turned = Write("turned.pdf", MakePdf({{595, 842, "0 g 0 0 595 842 re f", 90}}));
  const Page page = DecodedPage(Convert(turned, false), 1);
  EXPECT_EQ(page.height, int(std::ceil(595 / 72.0 * 98 * 1728 / (842 / 72.0 * 204))));
  EXPECT_TRUE(page.Black(4, 4));
  EXPECT_TRUE(page.Black(1723, page.height - 4));
}

TEST_F(PdfInput, HugeAndTinyPagesAreBounded) {
  // 10 x 10 m: scaled to the line, as long as it is wide.
  const std::string huge = Write("huge.pdf", MakePdf({{28346, 28346, "0 g 0 0 14173 14173 re f", 0}}));
  Page page = DecodedPage(Convert(huge, false), 1);
  EXPECT_EQ(page.height, 831);  // 1728 pixels at 204 dpi are 8.47 inches: 830.1 lines at 98
  EXPECT_TRUE(page.Black(10, page.height - 10));
  EXPECT_FALSE(page.Black(1720, 10));
  // 10 cm x 10 m: full resolution across, scaled down to 40 inches long.
  const std::string strip = Write("strip.pdf", MakePdf({{283, 28346, "0 g 0 0 283 28346 re f", 0}}));
  page = DecodedPage(Convert(strip, false), 1);
  EXPECT_EQ(page.height, 40 * 98);
  // One point square: a page of a few pixels, centred.
  const std::string dot = Write("dot.pdf", MakePdf({{1, 1, "", 0}}));
  page = DecodedPage(Convert(dot, true), 1);
  EXPECT_GE(page.height, 1);
  EXPECT_LE(page.height, 3);
}

TEST_F(PdfInput, ManyPagesAreTakenUpToTheBound) {
  std::vector<PdfPageSpec> pages(500, PdfPageSpec{595, 842, "0 g 100 100 50 50 re f", 0});
  const std::string fiveHundred = Write("500.pdf", MakePdf(pages));
  EXPECT_EQ(ApfPageCount(Convert(fiveHundred, false)), 500);
  EXPECT_EQ(ApfPageCount(Convert(fiveHundred, false, {499, 500})), 2);
  pages.resize(kMaxPdfPages + 1, pages.front());
  const std::string many = Write("many.pdf", MakePdf(pages));
  ExpectRefused(many, "has 1001 pages; a fax can take at most 1000 of them");
  EXPECT_EQ(ApfPageCount(Convert(many, false, {2, 1001})), 1000);
}

TEST_F(PdfInput, FilesThatCannotBeFaxedSayWhy) {
  ExpectRefused(PdfFixture("password-protected.pdf"), "protected by a password");
  const std::string letter = ReadFile(PdfFixture("letter-libreoffice.pdf"));
  ExpectRefused(Write("cut.pdf", letter.substr(0, letter.size() / 2)), "damaged");
  ExpectRefused(Write("empty.pdf", ""), "not a PDF file");
  ExpectRefused(Write("text.pdf", "hello, this is text\n%%EOF\n"), "not a PDF file");
  ExpectRefused(Write("garbage.pdf", "%PDF-1.4\n" + std::string(5000, '\x9c') + "\n%%EOF\n"), "damaged");
  ExpectRefused(Write("none.pdf", MakePdf({})), "no pages");
  ExpectRefused(Write("flat.pdf", MakePdf({{0, 842, "", 0}})), "has no size");
  ExpectRefused(PdfFixture("letter-libreoffice.pdf"), "has 2 pages, not pages 3-4", {3, 4});
  ExpectRefused(PdfFixture("letter-libreoffice.pdf"), "not pages 2-1", {2, 1});
}

// The reader on its own: each page's bitmap fits the line.
TEST_F(PdfInput, DocumentRendersPagesWithinTheLine) {
  const std::string file = ReadFile(PdfFixture("letter-libreoffice.pdf"));
  PdfDocument document(std::vector<std::uint8_t>(file.begin(), file.end()));
  ASSERT_EQ(document.PageCount(), 2);
  const MonoBitmap page = document.RenderPage(0, FaxRasterFor(true));
  EXPECT_EQ(page.width, 1728);
  EXPECT_EQ(page.height, 2156);
  const MonoBitmap wide = document.RenderPage(1, FaxRasterFor(false, 2048));
  EXPECT_EQ(wide.width, 1734);
  EXPECT_THROW(document.RenderPage(2, FaxRasterFor(false)), EBadGraphicsFormat);
}

}  // namespace
}  // namespace tlm::testing
