// Pictures against LibreOffice: the letter with a logo that LibreOffice
// wrote keeps its picture when we save it (LibreOffice's rendering of our
// file has ink in the picture's box), and our fax page puts the logo and the
// text where LibreOffice puts them (row ink profiles of the two pages, made
// with `soffice` and poppler's `pdftoppm -mono -r 200`, correlate).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <QApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_util.h"
#include "richtext/rich_text_editor.h"
#include "support/peer.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

int Shell(const std::string& command) {
  int status = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HavePeers() { return Shell("command -v soffice") == 0 && Shell("command -v pdftoppm") == 0; }

// A bilevel page read from a raw PBM file; ink[y * width + x] is 1 for black.
struct Page {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> ink;
  bool Black(int x, int y) const { return ink[std::size_t(y) * width + x] != 0; }
};

Page ReadPbm(const std::string& path) {
  Page page;
  std::string bytes;
  if (!ReadWholeFile(path, bytes) || bytes.compare(0, 2, "P4") != 0) return page;
  std::size_t pos = 2;
  int numbers[2] = {0, 0};
  for (int& n : numbers) {
    while (pos < bytes.size() && (std::isspace(static_cast<unsigned char>(bytes[pos])) || bytes[pos] == '#')) {
      if (bytes[pos] == '#') pos = bytes.find('\n', pos);
      ++pos;
    }
    while (pos < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[pos]))) n = n * 10 + (bytes[pos++] - '0');
  }
  ++pos;  // the single white space before the pixels
  const int rowBytes = (numbers[0] + 7) / 8;
  if (bytes.size() < pos + std::size_t(rowBytes) * numbers[1]) return page;
  page.width = numbers[0];
  page.height = numbers[1];
  page.ink.resize(std::size_t(page.width) * page.height);
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x)
      page.ink[std::size_t(y) * page.width + x] =
          (static_cast<unsigned char>(bytes[pos + std::size_t(y) * rowBytes + x / 8]) >> (7 - x % 8)) & 1;
  return page;
}

std::vector<double> RowProfile(const Page& page) {
  std::vector<double> rows(page.height, 0.0);
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x) rows[y] += page.Black(x, y);
  return rows;
}

double Correlation(const std::vector<double>& a, const std::vector<double>& b) {
  const std::size_t n = std::min(a.size(), b.size());
  double ma = 0, mb = 0;
  for (std::size_t i = 0; i < n; ++i) ma += a[i], mb += b[i];
  ma /= n;
  mb /= n;
  double ab = 0, aa = 0, bb = 0;
  for (std::size_t i = 0; i < n; ++i) {
    ab += (a[i] - ma) * (b[i] - mb);
    aa += (a[i] - ma) * (a[i] - ma);
    bb += (b[i] - mb) * (b[i] - mb);
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

// The best correlation of `ours` with `theirs` resampled by a scale near 1
// and shifted by up to 150 rows: the pages differ in size, resolution and
// top margin, not in where things are relative to each other. Only the
// first `rows` rows of ours count (0: all).
double BestCorrelation(std::vector<double> ours, const std::vector<double>& theirs, std::size_t rows = 0) {
  if (rows > 0 && rows < ours.size()) ours.resize(rows);
  double best = -1;
  for (double scale = 0.9; scale <= 1.1001; scale += 0.005) {
    for (int shift = -150; shift <= 150; shift += 2) {
      std::vector<double> moved(ours.size(), 0.0);
      for (std::size_t y = 0; y < ours.size(); ++y) {
        const long source = std::lround((static_cast<double>(y) - shift) * scale);
        if (source >= 0 && source < static_cast<long>(theirs.size())) moved[y] = theirs[source];
      }
      best = std::max(best, Correlation(ours, moved));
    }
  }
  return best;
}

// LibreOffice's rendering of an RTF file's first page at 200 dpi, bilevel.
Page LibreOfficePage(const testing::TempDir& dir, const std::string& rtf, const std::string& stem) {
  const std::string profile = "file://" + dir.File("lo-profile");
  EXPECT_EQ(Shell("cd " + dir.Folder() + " && soffice -env:UserInstallation=" + profile +
                " --headless --convert-to pdf --outdir " + dir.Folder() + " " + rtf),
            0);
  const std::string pdf = dir.File(stem + ".pdf");
  EXPECT_EQ(Shell("pdftoppm -mono -r 200 -f 1 -l 1 -singlefile " + pdf + " " + dir.File(stem + "-lo")), 0);
  return ReadPbm(dir.File(stem + "-lo.pbm"));
}

// Ink in a box given in twips from the paper's top left corner, at 200 dpi.
double InkIn(const Page& page, int leftTwips, int topTwips, int widthTwips, int heightTwips) {
  const auto px = [](int twips) { return twips * 200 / 1440; };
  int black = 0, total = 0;
  for (int y = px(topTwips); y < px(topTwips + heightTwips) && y < page.height; ++y)
    for (int x = px(leftTwips); x < px(leftTwips + widthTwips) && x < page.width; ++x, ++total) black += page.Black(x, y);
  return total > 0 ? double(black) / total : 0;
}

const std::string kLetter = std::string(TOLMERA_FIXTURES_DIR) + "/rtf/letter-with-logo-libreoffice.rtf";

TEST(PicturePeer, OurSavedLetterShowsItsLogoInLibreOffice) {
  REQUIRE_PEER(HavePeers(), "soffice and pdftoppm");
  static int argc = 1;
  static char name[] = "picture_peer_test";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  testing::TempDir dir;
  RichTextEditor editor;
  QString error;
  ASSERT_TRUE(editor.LoadRtf(QString::fromStdString(kLetter), &error)) << error.toStdString();
  ASSERT_TRUE(editor.SaveRtf(QString::fromStdString(dir.File("ours.rtf")), &error)) << error.toStdString();

  const Page theirs = LibreOfficePage(dir, kLetter, "letter-with-logo-libreoffice");
  const Page ours = LibreOfficePage(dir, dir.File("ours.rtf"), "ours");
  ASSERT_GT(ours.height, 0);
  // The logo: 3000 x 900 twips at the top left of the text (margins 1134, 567).
  const double original = InkIn(theirs, 1134, 567, 3000, 900);
  const double saved = InkIn(ours, 1134, 567, 3000, 900);
  EXPECT_GT(original, 0.15);
  EXPECT_GT(saved, original * 0.8) << "LibreOffice shows our saved logo with less ink than its own";
  EXPECT_LT(saved, original * 1.25);
  // Below the logo, where nothing is drawn across the full width.
  EXPECT_LT(InkIn(ours, 1134 + 3100, 567, 4000, 900), 0.01);
}

TEST(PicturePeer, OurFaxPagePutsTheLogoWhereLibreOfficeDoes) {
  REQUIRE_PEER(HavePeers(), "soffice and pdftoppm");
  testing::TempDir dir;
  const std::string tool = TLMFAX_PATH;
  ASSERT_EQ(Shell("QT_QPA_PLATFORM=offscreen " + tool + " render --doc " + kLetter + " " + dir.File("fax.APF")), 0);
  ASSERT_EQ(Shell(tool + " unpack " + dir.File("fax.APF") + " --page 1 --format pbm " + dir.File("fax.pbm")), 0);
  const Page ours = ReadPbm(dir.File("fax.pbm"));
  const Page theirs = LibreOfficePage(dir, kLetter, "letter-with-logo-libreoffice");
  ASSERT_GT(ours.height, 0);
  ASSERT_GT(theirs.height, 0);
  const double correlation = BestCorrelation(RowProfile(ours), RowProfile(theirs));
  EXPECT_GE(correlation, 0.8);
  // The top 2.5 inches, the logo and the heading: without the logo (or with
  // it elsewhere) this band correlates about 0.5.
  const double band = BestCorrelation(RowProfile(ours), RowProfile(theirs), 500);
  EXPECT_GE(band, 0.7);
  std::printf("row ink profile correlation with LibreOffice: page %.3f, top band %.3f\n", correlation, band);
}

}  // namespace
}  // namespace tlm
