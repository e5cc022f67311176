// Tables against LibreOffice: the fax page of a LibreOffice table has its
// borders and columns where LibreOffice's own rendering has them (column ink
// profiles of both at 200 dpi, compared allowing for scale and shift), and
// a table we save is the same table when LibreOffice reads it.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "compose/rich_text_pages.h"
#include "qt_app.h"
#include "richtext/rich_text_editor.h"
#include "support/peer.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

std::string Fixture(const std::string& name) { return std::string(TOLMERA_FIXTURES_DIR) + "/rtf/" + name; }

bool Have(const char* program) {
  return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Converts `file` with LibreOffice into `format` in `dir`, with a profile
// of its own so that it never meets another running copy.
std::string Convert(const testing::TempDir& dir, const std::string& file, const std::string& format) {
  const std::string command = "cd " + dir.Folder() + " && timeout 180 soffice -env:UserInstallation=file://" +
                              dir.File("profile") + " --headless --convert-to " + format + " --outdir " +
                              dir.Folder() + " " + file + " >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  const std::string stem = std::filesystem::path(file).stem().string();
  return dir.File(stem + "." + format.substr(0, format.find(':')));
}

// Dark pixels per column, each column summed with its neighbours within
// four pixels (half a millimetre), so that a line a pixel or two off still
// meets its counterpart.
std::vector<double> ColumnProfile(const QImage& image) {
  QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
  std::vector<double> ink(grey.width(), 0);
  for (int y = 0; y < grey.height(); ++y) {
    const uchar* row = grey.constScanLine(y);
    for (int x = 0; x < grey.width(); ++x) ink[x] += row[x] < 128;
  }
  std::vector<double> smooth(ink.size(), 0);
  for (int x = 0; x < static_cast<int>(ink.size()); ++x)
    for (int k = std::max(0, x - 4); k <= std::min<int>(ink.size() - 1, x + 4); ++k) smooth[x] += ink[k];
  return smooth;
}

double Correlation(const std::vector<double>& a, const std::vector<double>& b) {
  const double n = static_cast<double>(a.size());
  double ma = 0, mb = 0;
  for (size_t i = 0; i < a.size(); ++i) ma += a[i], mb += b[i];
  ma /= n, mb /= n;
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    ab += (a[i] - ma) * (b[i] - mb);
    aa += (a[i] - ma) * (a[i] - ma);
    bb += (b[i] - mb) * (b[i] - mb);
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

// The best correlation of `ours`, scaled by 0.95 to 1.05 and shifted by up
// to an inch, with `theirs`.
double BestCorrelation(const std::vector<double>& ours, const std::vector<double>& theirs) {
  double best = -1;
  for (int percent = 95; percent <= 105; ++percent) {
    const double scale = percent / 100.0;
    for (int shift = -200; shift <= 200; ++shift) {
      std::vector<double> moved(theirs.size(), 0);
      for (size_t x = 0; x < theirs.size(); ++x) {
        const long source = std::lround((static_cast<double>(x) - shift) / scale);
        if (source >= 0 && source < static_cast<long>(ours.size())) moved[x] = ours[source];
      }
      best = std::max(best, Correlation(moved, theirs));
    }
  }
  return best;
}

// Page 1 of the editor's text as the fax has it: 200 dots per inch.
QImage FaxPageOne(RichTextEditor& editor) {
  editor.SetZoom(RenderZoomPercent(editor.ScreenPixelsPerInch()));
  editor.SetPagePaintMode(RichTextEditor::kPaintLayoutPages);
  QImage page(kFaxPageWidth, kFaxPageHeight, QImage::Format_Grayscale8);
  page.fill(Qt::white);
  QPainter painter(&page);
  editor.PaintPage(&painter, kFaxPageOffset, kFaxPageOffset, kFaxPageWidth - kFaxPageOffset,
                   kFaxPageHeight - kFaxPageOffset, 0, true);
  return page;
}

class TablePeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    REQUIRE_PEER(Have("soffice"), "LibreOffice (soffice)");
  }
};

TEST_F(TablePeerTest, TheTableIsWhereLibreOfficePutsIt) {
  REQUIRE_PEER(Have("pdftoppm"), "pdftoppm");
  testing::TempDir dir;
  RichTextEditor editor;
  ASSERT_TRUE(editor.LoadRtf(QString::fromStdString(Fixture("table-libreoffice.rtf"))));
  const QImage ours = FaxPageOne(editor);

  const std::string pdf = Convert(dir, Fixture("table-libreoffice.rtf"), "pdf");
  const std::string command = "pdftoppm -mono -r 200 -f 1 -l 1 " + pdf + " " + dir.File("lo");
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  QImage theirs(QString::fromStdString(dir.File("lo-1.pbm")));
  ASSERT_FALSE(theirs.isNull());

  const double correlation = BestCorrelation(ColumnProfile(ours), ColumnProfile(theirs));
  EXPECT_GE(correlation, 0.8);
  RecordProperty("column_profile_correlation", std::to_string(correlation));
}

// The rows of the first table in LibreOffice's HTML, and the cells of each.
std::vector<int> HtmlTableShape(const std::string& html) {
  std::vector<int> rows;
  const size_t start = html.find("<table");
  const size_t end = html.find("</table>", start);
  if (start == std::string::npos || end == std::string::npos) return rows;
  const QString table = QString::fromStdString(html.substr(start, end - start));
  for (const QString& row : table.split(QRegularExpression("<tr[ >]"), Qt::SkipEmptyParts).mid(1))
    rows.push_back(static_cast<int>(row.count(QRegularExpression("<t[dh][ >]"))));
  return rows;
}

TEST_F(TablePeerTest, TablesWeSaveAreTheSameTablesInLibreOffice) {
  testing::TempDir dir;
  for (const char* name : {"table-libreoffice.rtf", "letter-libreoffice.rtf", "memo-pandoc.rtf"}) {
    RichTextEditor editor;
    ASSERT_TRUE(editor.LoadRtf(QString::fromStdString(Fixture(name))));
    const std::string saved = dir.File(std::string("saved-") + name);
    ASSERT_TRUE(editor.SaveRtf(QString::fromStdString(saved)));
    const std::vector<int> ours = HtmlTableShape(testing::ReadText(Convert(dir, saved, "html")));
    const std::vector<int> original = HtmlTableShape(testing::ReadText(Convert(dir, Fixture(name), "html")));
    ASSERT_FALSE(original.empty()) << name;
    EXPECT_EQ(ours, original) << name;
    if (std::string(name) == "table-libreoffice.rtf") {
      EXPECT_EQ(ours, (std::vector<int>{4, 4, 4, 4}));
    }
  }
}

}  // namespace
}  // namespace tlm
