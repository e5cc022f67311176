// Turning a cover sheet and a document into one fax file, checked page by
// page against the editor's own painting.
#include <gtest/gtest.h>

#include <QPainter>
#include <filesystem>

#include "compose/fax_document_assembly.h"
#include "compose/fax_file_names.h"
#include "faximage/apf_file.h"
#include "faximage/fax_converter.h"
#include "faximage/fax_unpacker.h"
#include "qt_app.h"
#include "richtext/rich_text_editor.h"
#include "richtext/rtf/rtf_writer.h"
#include "storage/log_tables.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

class RecordingHost : public AssemblyHost {
 public:
  void SetBusy(bool busy) override { busy_ = busy; }
  void SetStatus(const QString& text) override { statuses.push_back(text); }
  void ProcessMessages() override { ++yields; }
  void ShowInformation(const QString& text) override { messages.push_back(text); }
  bool busy_ = false;
  std::vector<QString> statuses;
  std::vector<QString> messages;
  int yields = 0;
};

// An RTF text of `pages` pages: each page one line "<label> page <n>" and a
// hard page break before every page but the first.
std::string PagesRtf(const std::string& label, int pages) {
  rtf::Document doc;
  doc.page = {12240, 15840, 720, 720, 720, 720};
  for (int n = 1; n <= pages; ++n) {
    rtf::Paragraph p;
    p.format.pageBreakBefore = n > 1;
    p.format.leftIndent = 1440 * (n - 1);  // each page's line starts further right
    rtf::CharFormat f;
    f.halfPoints = 28;
    rtf::AppendText(p, label + " page " + std::to_string(n), f);
    doc.paragraphs.push_back(p);
  }
  return rtf::WriteRtf(doc);
}

MemoToFile Memo(const std::string& rtfText) {
  return [rtfText](const std::string& path) {
    testing::WriteText(path, rtfText);
    return true;
  };
}

MemoToFile NoMemo() {
  return [](const std::string&) { return false; };
}

class AssemblyTest : public ::testing::Test {
 protected:
  std::string Create(const MemoToFile& cover, const MemoToFile& doc) {
    FaxDocumentAssembler assembler(dir.Folder(), coverEditor, docEditor, converter, host);
    std::string result = assembler.CreateFaxFile(cover, doc);
    pageCount = assembler.PageCount();
    EXPECT_FALSE(host.busy_);
    return result;
  }

  std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir.Folder())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  bool haveApp = (testing::App(), true);  // before the widgets below
  testing::TempDir dir;
  RichTextEditor coverEditor;
  RichTextEditor docEditor;
  TKvFaxConverter converter;
  RecordingHost host;
  int pageCount = 0;
};

// The editor's own painting of a page at 1:1 on the fax bitmap, one bit.
MonoBitmap PaintedPage(const std::string& rtfText, int pageIndex) {
  RichTextEditor editor;
  editor.SetRtfText(rtfText);
  editor.SetZoom(200 * 100 / editor.ScreenPixelsPerInch());
  editor.SetPagePaintMode(RichTextEditor::kPaintLayoutPages);
  int line = 0;
  for (int i = 0; i < pageIndex; ++i) line = editor.PaintPage(nullptr, 0, 0, 0, 0, line, false);
  QImage image(kFaxPageWidth, kFaxPageHeight, QImage::Format_Grayscale8);
  image.fill(Qt::white);
  QPainter painter(&image);
  editor.PaintPage(&painter, kFaxPageOffset, kFaxPageOffset, kFaxPageWidth - kFaxPageOffset,
                   kFaxPageHeight - kFaxPageOffset, line, true);
  painter.end();
  return PageImageToBitmap(image);
}

// The converter's left margin for bitmaps: the page image lands this many
// pixels right of the fax line's start.
constexpr int kShift = 50;

// Compares a decoded fax page with the painted page: same ink, pixel for
// pixel, in the painted area, white elsewhere but for the corner dot.
void ExpectSameInk(const MonoBitmap& fax, const MonoBitmap& painted, const std::string& what) {
  ASSERT_EQ(fax.height, kFaxPageHeight) << what;
  ASSERT_GT(fax.width, kFaxPageWidth - 5 + kShift) << what;
  int ink = 0, differ = 0, outside = 0;
  for (int y = 0; y < fax.height; ++y) {
    for (int x = 0; x < fax.width; ++x) {
      bool black = fax.IsBlack(x, y);
      bool corner = x - kShift == kFaxPageWidth - 5 && y == kFaxPageHeight - 5;
      if (x < kShift || x >= kFaxPageWidth + kShift) {
        outside += black;
        continue;
      }
      bool expected = corner || painted.IsBlack(x - kShift, y);
      ink += expected;
      differ += black != expected;
    }
  }
  for (int y = 0; y < painted.height; ++y)
    for (int x = fax.width - kShift; x < painted.width; ++x) differ += painted.IsBlack(x, y);
  EXPECT_GT(ink, 500) << what << ": the page has text";
  EXPECT_EQ(differ, 0) << what;
  EXPECT_EQ(outside, 0) << what;
}

int InkLeft(const MonoBitmap& page) {
  for (int x = 0; x < page.width; ++x)
    for (int y = 0; y < kFaxPageHeight - 10; ++y)
      if (page.IsBlack(x, y)) return x;
  return -1;
}

TEST_F(AssemblyTest, EmptyCoverAndOnePageDocumentGiveOneFile) {
  ASSERT_EQ(converter.LeftMargin, kShift);
  std::string result = Create(Memo("{\\rtf1 \\par   \\par}"), Memo(PagesRtf("Doc", 1)));
  EXPECT_EQ(result, dir.Folder() + "TLM_1.APF");
  EXPECT_EQ(pageCount, 1);
  EXPECT_EQ(Files(), std::vector<std::string>{"TLM_1.APF"}) << "no TLMAX, Eraseme.rtf or _TMP.BMP left";
  EXPECT_EQ(host.statuses.front(), "Creating fax file");
  EXPECT_EQ(host.statuses.back(), "");
  EXPECT_GT(host.yields, 2);
  TKvFaxUnpacker unpacker;
  unpacker.SetInFileName(result);
  ASSERT_EQ(unpacker.NumPages(), 1);
  EXPECT_TRUE(unpacker.FaxResolutionFine());
  ExpectSameInk(unpacker.UnpackPageToBitmap(1), PaintedPage(PagesRtf("Doc", 1), 0), "document page 1");
}

TEST_F(AssemblyTest, CoverPagesComeFirstAndIntermediateFilesGo) {
  testing::WriteText(dir.File("TLM_1.APF"), "taken");
  testing::WriteText(dir.File("TLM_2.APF"), "taken");
  std::string cover = PagesRtf("Cover", 2), doc = PagesRtf("Doc", 3);
  std::string result = Create(Memo(cover), Memo(doc));
  EXPECT_EQ(result, dir.Folder() + "TLM_3.APF");
  EXPECT_EQ(pageCount, 5);
  EXPECT_EQ(Files(), (std::vector<std::string>{"TLM_1.APF", "TLM_2.APF", "TLM_3.APF"}));
  int pages = 0;
  ASSERT_EQ(ApfCountPages(result, pages), 0);
  EXPECT_EQ(pages, 5);
  TKvFaxUnpacker unpacker;
  unpacker.SetInFileName(result);
  const std::pair<const std::string*, int> order[] = {{&cover, 0}, {&cover, 1}, {&doc, 0}, {&doc, 1}, {&doc, 2}};
  for (int i = 0; i < 5; ++i) {
    MonoBitmap page = unpacker.UnpackPageToBitmap(i + 1);
    ExpectSameInk(page, PaintedPage(*order[i].first, order[i].second), "fax page " + std::to_string(i + 1));
    // The text starts at the paper's corner + margin + that page's indent.
    int expectedLeft = kShift + kFaxPageOffset + 100 + 200 * order[i].second;
    EXPECT_NEAR(InkLeft(page), expectedLeft, 6) << "fax page " << i + 1;
  }
}

TEST_F(AssemblyTest, NothingToSendOrAMemoThatCannotBeWritten) {
  EXPECT_EQ(Create(Memo("{\\rtf1   \\par  }"), NoMemo()), "");
  EXPECT_EQ(host.messages, std::vector<QString>{"Fax has no contents or cover sheet"});
  EXPECT_TRUE(Files().empty());
  host.messages.clear();

  // A cover of 300 spaces is a blank page of its own.
  std::string result = Create(Memo("{\\rtf1 " + std::string(300, ' ') + "}"), NoMemo());
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(pageCount, 1);
  TKvFaxUnpacker unpacker;
  unpacker.SetInFileName(result);
  MonoBitmap blank = unpacker.UnpackPageToBitmap(1);
  int ink = 0;
  for (int y = 0; y < blank.height; ++y)
    for (int x = 0; x < blank.width; ++x) ink += blank.IsBlack(x, y);
  EXPECT_EQ(ink, 1) << "only the corner dot";
  EXPECT_TRUE(blank.IsBlack(kShift + 1659, 2151));
}

TEST_F(AssemblyTest, AFailedConversionLeavesNoFilesAndNoBusyState) {
  // A file in the way of the second page's name makes its conversion fail.
  std::filesystem::create_directory(dir.File("TLMAX2.APF"));
  EXPECT_ANY_THROW(Create(Memo(PagesRtf("Cover", 2)), NoMemo()));
  EXPECT_FALSE(host.busy_);
  EXPECT_EQ(Files(), std::vector<std::string>{"TLMAX2.APF"});
}

// The status line counts the pages as they are made, over cover and
// document together.
TEST_F(AssemblyTest, StatusLineCountsThePages) {
  ASSERT_FALSE(Create(Memo(PagesRtf("Cover", 2)), Memo(PagesRtf("Doc", 3))).empty());
  std::vector<QString> progress;
  for (const QString& s : host.statuses)
    if (s.contains("page")) progress.push_back(s);
  EXPECT_EQ(progress, (std::vector<QString>{"Creating fax file.... page 1 of 5", "Creating fax file.... page 2 of 5",
                                             "Creating fax file.... page 3 of 5", "Creating fax file.... page 4 of 5",
                                             "Creating fax file.... page 5 of 5"}));
  EXPECT_EQ(host.statuses.back(), "");
}

// A fax longer than a fax file holds is refused with a message before any
// page is made.
TEST_F(AssemblyTest, AFaxTooLongForItsFileIsRefusedUpFront) {
  FaxDocumentAssembler assembler(dir.Folder(), coverEditor, docEditor, converter, host);
  assembler.SetPageLimit(4);
  EXPECT_EQ(assembler.CreateFaxFile(Memo(PagesRtf("Cover", 2)), Memo(PagesRtf("Doc", 3))), "");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0], "This fax would have 5 pages; a fax file holds at most 4. Split the document into "
                              "several faxes.");
  EXPECT_FALSE(host.busy_);
  EXPECT_TRUE(Files().empty());
  for (const QString& s : host.statuses) EXPECT_FALSE(s.contains("page")) << s.toStdString();
  assembler.SetPageLimit(5);
  EXPECT_FALSE(assembler.CreateFaxFile(Memo(PagesRtf("Cover", 2)), Memo(PagesRtf("Doc", 3))).empty());
  EXPECT_EQ(assembler.PageCount(), 5);
}

}  // namespace
}  // namespace tlm

namespace tlm {
namespace {

// The outgoing log itself: the editors' texts go into the memo fields and
// the fax is built from the current record.
TEST(AssemblyFromLog, MemoFieldsOfTheCurrentRecord) {
  testing::App();
  testing::TempDir dir;
  TXbTable table;
  TXbEngine engine(table);
  ASSERT_TRUE(OpenFaxDBF(table, engine, dir.Folder())) << table.LastError();
  RichTextEditor cover, doc;
  ASSERT_TRUE(cover.SetRtfText(PagesRtf("Cover", 2)));
  ASSERT_TRUE(doc.SetRtfText(PagesRtf("Doc", 1)));
  ASSERT_TRUE(table.Append());
  ASSERT_TRUE(table.SetString("SUBJECT", "Offer"));
  ASSERT_TRUE(SaveRichText(cover, "RTFCOVER", engine, dir.Folder()));
  ASSERT_TRUE(SaveRichText(doc, "RTFDOC", engine, dir.Folder()));
  ASSERT_TRUE(table.Post());
  EXPECT_FALSE(std::filesystem::exists(dir.File(kMemoTransferFileName)));

  RichTextEditor loaded;
  ASSERT_TRUE(LoadRichText(loaded, "RTFCOVER", engine, dir.Folder()));
  EXPECT_EQ(loaded.Line(1), "Cover page 2");
  EXPECT_EQ(loaded.PageSetup(), (rtf::PageSetup{12240, 15840, 720, 720, 720, 720}));

  RichTextEditor wpCover, wpDoc;
  TKvFaxConverter converter;
  RecordingHost host;
  FaxDocumentAssembler assembler(dir.Folder(), wpCover, wpDoc, converter, host);
  std::string result = assembler.CreateFaxFile(engine);
  EXPECT_EQ(result, dir.Folder() + "TLM_1.APF");
  EXPECT_EQ(assembler.PageCount(), 3);
  int pages = 0;
  ASSERT_EQ(ApfCountPages(result, pages), 0);
  EXPECT_EQ(pages, 3);
}

}  // namespace
}  // namespace tlm

#include <QApplication>
#include <QLabel>

namespace tlm {
namespace {

// The window's side: hourglass, disabled button bar and the status texts
// while the fax is built, all restored afterwards.
TEST(AssemblyInAWindow, BusyStateAndStatusLine) {
  testing::App();
  testing::TempDir dir;
  QWidget buttonBar;
  QLabel status;
  WidgetAssemblyHost host(nullptr, &buttonBar, [&](const QString& text) { status.setText(text); });
  RichTextEditor cover, doc;
  TKvFaxConverter converter;
  FaxDocumentAssembler assembler(dir.Folder(), cover, doc, converter, host);
  bool busyWhileLoading = false;
  QString statusWhileLoading;
  auto memo = [&](const std::string& path) {
    busyWhileLoading = !buttonBar.isEnabled() && QApplication::overrideCursor() != nullptr &&
                       QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    statusWhileLoading = status.text();
    testing::WriteText(path, PagesRtf("Doc", 1));
    return true;
  };
  std::string result = assembler.CreateFaxFile(NoMemo(), memo);
  EXPECT_FALSE(result.empty());
  EXPECT_TRUE(busyWhileLoading);
  EXPECT_EQ(statusWhileLoading, "Creating fax file");
  EXPECT_TRUE(buttonBar.isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(status.text(), "");
}

}  // namespace
}  // namespace tlm
