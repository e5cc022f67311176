// "Insert File..." on the fax editor's document page, as a user does it: a
// PDF file chosen in the file dialog becomes a picture a page, saved with
// the fax and rendered as its pages; pictures keep their own bytes; files
// that cannot be used are said so and leave the document as it was.
#include <QBuffer>
#include <QImageReader>
#include <QMessageBox>
#include <QTextBlock>
#include <QFileDialog>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>

#include "compose/fax_document_assembly.h"
#include "compose/fax_editor.h"
#include "compose/file_pictures.h"
#include "compose_gui_support.h"
#include "faximage/fax_converter.h"
#include "faximage/fax_unpacker.h"
#include "faximage/pdf_document.h"
#include "richtext/text_document_pictures.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

using testing::ActionIn;
using testing::ButtonIn;
using testing::EditIn;

std::string PdfFixture(const std::string& name) { return std::string(TOLMERA_FIXTURES_DIR) + "/pdf/" + name; }

// The blocks of a document that hold a picture, in order.
std::vector<QTextBlock> PictureBlocks(const QTextDocument& doc) {
  std::vector<QTextBlock> blocks;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      if (IsPictureFormat(it.fragment().charFormat())) {
        blocks.push_back(b);
        break;
      }
    }
  }
  return blocks;
}

bool BreaksBefore(const QTextBlock& block) {
  return (block.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) != 0;
}

double InkShare(const MonoBitmap& page) {
  long black = 0;
  for (int y = 0; y < page.height; ++y) {
    for (int x = 0; x < page.width; ++x) black += page.IsBlack(x, y);
  }
  return page.width && page.height ? double(black) / (double(page.width) * page.height) : 0;
}

// The CRC of PNG chunks.
std::uint32_t Crc32(const QByteArray& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char c : bytes) {
    crc ^= std::uint8_t(c);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// A one-page TIFF, 1 bit uncompressed and all black, of the given
// resolution in dots per inch.
std::string UncompressedTiff(int width, int height, int xdpi, int ydpi) {
  std::string out("II*\0", 4);
  auto u16 = [&out](int v) { out += char(v & 0xFF), out += char((v >> 8) & 0xFF); };
  auto u32 = [&](std::uint32_t v) { u16(int(v & 0xFFFF)), u16(int(v >> 16)); };
  const std::uint32_t entries = 11, ifd = 8, rationals = ifd + 2 + entries * 12 + 4, data = rationals + 16;
  const std::uint32_t bytes = std::uint32_t((width + 7) / 8 * height);
  u32(ifd);
  u16(int(entries));
  auto entry = [&](int tag, int type, std::uint32_t value) {
    u16(tag), u16(type), u32(1);
    if (type == 3) u16(int(value)), u16(0); else u32(value);
  };
  entry(256, 3, std::uint32_t(width));
  entry(257, 3, std::uint32_t(height));
  entry(258, 3, 1);
  entry(259, 3, 1);  // no compression
  entry(262, 3, 0);  // white is zero
  entry(273, 4, data);
  entry(277, 3, 1);
  entry(278, 3, std::uint32_t(height));
  entry(279, 4, bytes);
  entry(282, 5, rationals);
  entry(283, 5, rationals + 8);
  u32(0);
  u32(std::uint32_t(xdpi)), u32(1), u32(std::uint32_t(ydpi)), u32(1);
  out.append(bytes, char(0xFF));
  return out;
}

class QuietHost : public AssemblyHost {
 public:
  void SetBusy(bool) override {}
  void SetStatus(const QString&) override {}
  void ProcessMessages() override {}
  void ShowInformation(const QString& text) override { messages.push_back(text); }
  std::vector<QString> messages;
};

class InsertFileTest : public testing::ComposeWindowTest {
 protected:
  // Types a file's path into the file dialog that comes up and presses Enter.
  void AnswerFileDialog(const std::string& path) {
    driver.Then([=](QWidget* dialog) {
      auto* files = qobject_cast<QFileDialog*>(dialog);
      ASSERT_NE(files, nullptr);
      EXPECT_EQ(files->windowTitle(), "Insert File");
      auto* name = files->findChild<QLineEdit*>("fileNameEdit");
      ASSERT_NE(name, nullptr);
      name->setFocus();
      QTest::keyClicks(name, QString::fromStdString(path));
      QTest::keyClick(name, Qt::Key_Return);
    });
  }
  // Opens New, runs `use` on the editor's document page, then Accept.
  void WithNewFax(const std::function<void(TFaxEditor*)>& use) {
    auto w = OpenMain();
    driver.Then([&](QWidget* dialog) {
      auto* editor = qobject_cast<TFaxEditor*>(dialog);
      ASSERT_NE(editor, nullptr);
      QTest::keyClicks(EditIn(editor, "Recipient"), "Adams");
      QTest::keyClicks(EditIn(editor, "FaxNumber"), "555-0101");
      ButtonIn(editor, "DocumentButton")->click();
      use(editor);
      ButtonIn(editor, "OKButton")->click();
    });
    w->findChild<QPushButton*>("Newbutton")->click();
    ExpectAllAnswered();
    w->close();
  }
  testing::TempDir files;
};

TEST_F(InsertFileTest, APdfBecomesAPictureAPageSavedAndRenderedAsTheFaxPages) {
  WithNewFax([&](TFaxEditor* editor) {
    testing::TypeInto(editor->Document(), "Our invoice follows.");
    // From the keyboard: Ctrl+Shift+I in the document, then the file's name.
    AnswerFileDialog(PdfFixture("letter-libreoffice.pdf"));
    QTest::keyClick(editor->Document()->View()->viewport(), Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(testing::WaitUntil([&] { return driver.Idle(); }));
    const QTextDocument& doc = *editor->Document()->Document();
    const std::vector<QTextBlock> blocks = PictureBlocks(doc);
    ASSERT_EQ(blocks.size(), 2u);
    // Each page of the PDF on a page of its own, after the typed text.
    EXPECT_TRUE(BreaksBefore(blocks[0]));
    EXPECT_TRUE(BreaksBefore(blocks[1]));
    EXPECT_TRUE(doc.toPlainText().startsWith("Our invoice follows."));
    // Full width: 7.5 inches between the fax page's margins.
    rtf::Picture picture;
    ASSERT_TRUE(PictureFromFormat(doc, blocks[0].begin().fragment().charFormat().toImageFormat(), picture));
    EXPECT_EQ(picture.widthTwips, 10800);
    EXPECT_NEAR(picture.heightTwips, 10800 * 11 / 8.5, 2);
    // The mouse way: the toolbar's button, shown beside the others at the
    // window's size, and a second file cancelled.
    QToolBar* bar = editor->Document()->ToolBar();
    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(ActionIn(editor, "InsertFileAction")));
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isVisible());
    driver.Then([](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); });
    button->click();
    EXPECT_EQ(PictureBlocks(doc).size(), 2u);
  });

  const std::vector<testing::DbfRecord> records = testing::ReadDbf(File("TLM.DBF"));
  ASSERT_EQ(records.size(), 1u);
  const QString rtfDoc = records[0].values.at("RTFDOC");
  EXPECT_EQ(rtfDoc.count("\\pngblip"), 2);

  // Rendered as sending renders it: the typed page, then the PDF's pages,
  // each with about the ink of the PDF page it shows.
  RichTextEditor coverEditor, documentEditor;
  TKvFaxConverter converter;
  QuietHost host;
  testing::TempDir renderFolder;
  FaxDocumentAssembler assembler(renderFolder.Folder(), coverEditor, documentEditor, converter, host);
  const std::string fax = assembler.CreateFaxFile([](const std::string&) { return false; },
                                                  [&](const std::string& path) {
                                                    testing::WriteText(path, rtfDoc.toStdString());
                                                    return true;
                                                  });
  ASSERT_FALSE(fax.empty()) << (host.messages.empty() ? "" : host.messages.front().toStdString());
  ASSERT_EQ(assembler.PageCount(), 3);
  TKvFaxUnpacker unpacker;
  unpacker.SetInFileName(fax);
  const std::string pdfBytes = testing::ReadText(PdfFixture("letter-libreoffice.pdf"));
  PdfDocument pdf(std::vector<std::uint8_t>(pdfBytes.begin(), pdfBytes.end()));
  for (int page = 0; page < 2; ++page) {
    const double faxInk = InkShare(unpacker.UnpackPageToBitmap(page + 2));
    const double pdfInk = InkShare(pdf.RenderPage(page, {200, 200, 1700, 0}));
    EXPECT_GT(faxInk, 0.002) << "page " << page + 2;
    EXPECT_LT(faxInk, 0.2) << "page " << page + 2;  // never a black block
    EXPECT_NEAR(faxInk / pdfInk, 1.0, 0.35) << "page " << page + 2;
  }
  std::remove(fax.c_str());
}

TEST_F(InsertFileTest, PicturesKeepTheirBytesAndBadFilesAreSaidSo) {
  // A PNG and a JPEG made here; a PNG that claims 60000 x 60000 pixels; a
  // JPEG cut short; a text; a PDF with a password; a damaged PDF.
  QImage logo(400, 120, QImage::Format_RGB32);
  logo.fill(Qt::white);
  for (int y = 20; y < 100; ++y) {
    for (int x = 20; x < 380; ++x) logo.setPixel(x, y, (x / 20) % 2 ? qRgb(0, 0, 0) : qRgb(200, 30, 30));
  }
  ASSERT_TRUE(logo.save(QString::fromStdString(files.File("logo.png"))));
  ASSERT_TRUE(logo.save(QString::fromStdString(files.File("photo.jpg")), "JPEG", 90));
  QByteArray png;
  {
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    logo.save(&buffer, "PNG");
  }
  png[16] = 0, png[17] = 0, png[18] = char(0xEA), png[19] = 0x60;  // width 60000
  png[20] = 0, png[21] = 0, png[22] = char(0xEA), png[23] = 0x60;  // height 60000
  const std::uint32_t crc = Crc32(png.mid(12, 17));                 // "IHDR" and its data
  for (int i = 0; i < 4; ++i) png[29 + i] = char(crc >> (24 - 8 * i));
  testing::WriteText(files.File("huge.png"), png.toStdString());
  const std::string jpeg = testing::ReadText(files.File("photo.jpg"));
  testing::WriteText(files.File("cut.jpg"), jpeg.substr(0, jpeg.size() / 3));
  testing::WriteText(files.File("notes.txt"), "just text\n");
  const std::string letter = testing::ReadText(PdfFixture("letter-libreoffice.pdf"));
  testing::WriteText(files.File("cut.pdf"), letter.substr(0, letter.size() / 2));

  WithNewFax([&](TFaxEditor* editor) {
    const QTextDocument& doc = *editor->Document()->Document();
    auto refused = [&](const std::string& path, const char* words) {
      const std::size_t before = driver.boxes.size();
      driver.Click(QMessageBox::Ok);
      editor->InsertFile(QString::fromStdString(path));
      ASSERT_TRUE(testing::WaitUntil([&] { return driver.Idle(); }));
      ASSERT_EQ(driver.boxes.size(), before + 1) << path;
      EXPECT_TRUE(driver.boxes.back().text.contains(QString::fromLatin1(words))) << driver.boxes.back().text.toStdString();
    };
    refused(PdfFixture("password-protected.pdf"), "protected by a password");
    refused(files.File("cut.pdf"), "damaged");
    refused(files.File("huge.png"), "too large (60000 x 60000 pixels)");
    refused(files.File("notes.txt"), "is not a PDF file or a picture");
    EXPECT_TRUE(PictureBlocks(doc).empty());
    EXPECT_TRUE(doc.toPlainText().isEmpty());

    // A picture starting the text needs no page break before it.
    editor->InsertFile(QString::fromStdString(files.File("logo.png")));
    editor->InsertFile(QString::fromStdString(files.File("photo.jpg")));
    const std::vector<QTextBlock> blocks = PictureBlocks(doc);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_FALSE(BreaksBefore(blocks[0]));
    EXPECT_TRUE(BreaksBefore(blocks[1]));
    // A JPEG cut short is shown as far as Qt decodes it, or refused when
    // nothing of it decodes.
    const bool decodes = !QImageReader(QString::fromStdString(files.File("cut.jpg"))).read().isNull();
    if (decodes) {
      editor->InsertFile(QString::fromStdString(files.File("cut.jpg")));
      EXPECT_EQ(PictureBlocks(doc).size(), 3u);
    } else {
      refused(files.File("cut.jpg"), "cannot be read");
    }
  });
  const std::vector<testing::DbfRecord> records = testing::ReadDbf(File("TLM.DBF"));
  ASSERT_EQ(records.size(), 1u);
  const QString rtfDoc = records[0].values.at("RTFDOC");
  EXPECT_GE(rtfDoc.count("\\pngblip"), 1);
  EXPECT_GE(rtfDoc.count("\\jpegblip"), 1);
}

TEST_F(InsertFileTest, AFaxTiffGivesFullWidthPagesOfTheRightLength) {
  RichTextEditor editor;
  editor.SetPageSetup({12240, 15840, 720, 720, 720, 720});
  int width = 0, height = 0;
  PictureBoxOf(editor, width, height);
  QString error;
  // 1728 x 2200 pixels of a fine fax page: 8.47 x 11.2 inches.
  const std::vector<FilePicture> pictures = ReadFilePictures(
      QString::fromStdString(std::string(TOLMERA_FIXTURES_DIR) + "/images/text-page-none.tif"), width, height,
      kFaxPictureDpi, &error);
  ASSERT_EQ(pictures.size(), 1u) << error.toStdString();
  EXPECT_EQ(pictures[0].image.size(), QSize(1728, 2200));
  EXPECT_NEAR(double(pictures[0].heightTwips) / pictures[0].widthTwips, (2200 / 196.0) / (1728 / 204.0), 0.01);
  EXPECT_LE(pictures[0].heightTwips, height);
  InsertFilePictures(editor, pictures);
  EXPECT_EQ(PictureBlocks(*editor.Document()).size(), 1u);

  // A TIFF that says it is 204 x 98 dpi: a standard-resolution page, twice
  // as long as its pixels are high.
  const std::string tiff = files.File("standard.tif");
  testing::WriteText(tiff, UncompressedTiff(1000, 500, 204, 98));
  const std::vector<FilePicture> standard =
      ReadFilePictures(QString::fromStdString(tiff), width, height, kFaxPictureDpi, &error);
  ASSERT_EQ(standard.size(), 1u) << error.toStdString();
  EXPECT_NEAR(double(standard[0].heightTwips) / standard[0].widthTwips, (500 / 98.0) / (1000 / 204.0), 0.01);
  EXPECT_EQ(standard[0].widthTwips, width);
}

}  // namespace
}  // namespace tlm
