// Pictures in the editor's QTextDocument: inserted, read back into the model
// and built again with their bytes and size unchanged; rendered for the fax
// page in black and white without turning into black blocks.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>
#include <QGraphicsView>
#include <QTest>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "page_at_200dpi.h"
#include "qt_app.h"
#include "support/temp_dir.h"
#include "richtext/page_renderer.h"
#include "richtext/picture_insert.h"
#include "richtext/picture_tools.h"
#include "richtext/rich_text_editor.h"
#include "richtext/rtf/rtf_reader.h"
#include "richtext/text_document_model.h"
#include "richtext/text_document_pictures.h"

namespace tlm {
namespace {

using testing::RenderAt200;

class PictureDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::App(); }
};

QByteArray Encode(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}

// A logo-like picture: a black ring and bar on white.
QImage LineArt(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setPen(QPen(Qt::black, 4));
  p.drawEllipse(QRect(4, 4, height - 8, height - 8));
  p.fillRect(QRect(height, height / 2 - 3, width - height - 4, 6), Qt::black);
  return image;
}

// A photograph-like picture: a smooth dark-to-light gradient in colour.
QImage Photo(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y, qRgb(40 + 180 * x / width, 30 + 150 * y / height, 60 + 100 * x / width));
  return image;
}

rtf::Document EmptyModel() {
  rtf::Document doc;
  doc.paragraphs.emplace_back();
  return doc;
}

TEST_F(PictureDocumentTest, InsertedPictureKeepsItsBytesAndSizeThroughTheModel) {
  QTextDocument doc;
  BuildOptions options;
  options.dpi = 96;
  BuildTextDocument(EmptyModel(), options, doc);
  QTextCursor cursor(&doc);
  cursor.insertText("Logo: ");
  QImage logo = LineArt(120, 40);
  QByteArray png = Encode(logo, "PNG");
  InsertPicture(cursor, logo, png, 1800, 600);
  cursor.insertText(" end");

  rtf::Document model = ModelFromTextDocument(doc, 96, rtf::PageSetup{});
  ASSERT_EQ(model.pictures.size(), 1u);
  EXPECT_EQ(model.pictures[0].kind, rtf::PictureKind::Png);
  EXPECT_EQ(model.pictures[0].data, png.toStdString());
  EXPECT_EQ(model.pictures[0].widthTwips, 1800);
  EXPECT_EQ(model.pictures[0].heightTwips, 600);
  ASSERT_EQ(model.paragraphs.size(), 1u);
  ASSERT_EQ(model.paragraphs[0].runs.size(), 3u);
  EXPECT_EQ(model.paragraphs[0].runs[1].picture, 0);
  EXPECT_EQ(model.paragraphs[0].Text(), "Logo: \xEF\xBF\xBC end");

  // Built again at another resolution, the picture has the same size on paper.
  QTextDocument again;
  options.dpi = 200;
  BuildTextDocument(model, options, again);
  rtf::Document back = ModelFromTextDocument(again, 200, rtf::PageSetup{});
  ASSERT_EQ(back.pictures.size(), 1u);
  EXPECT_EQ(back.pictures[0], model.pictures[0]);
  QTextCursor find(&again);
  find.setPosition(7);
  QTextImageFormat image = find.charFormat().toImageFormat();
  EXPECT_TRUE(image.name().startsWith("tlm-picture:"));
  EXPECT_NEAR(image.width(), 1800 * 200 / 1440.0, 0.01);
  QImage resource = again.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
  EXPECT_EQ(resource.size(), logo.size());
}

TEST_F(PictureDocumentTest, ImageWithoutBytesIsStoredAsPngAndOwnSizeFitsTheText) {
  QTextDocument doc;
  BuildOptions options;
  options.dpi = 96;
  BuildTextDocument(EmptyModel(), options, doc);
  QTextCursor cursor(&doc);
  QImage wide = Photo(3000, 300);  // 31 inches at 96 dpi: wider than the text
  wide.setDotsPerMeterX(3780);
  wide.setDotsPerMeterY(3780);
  InsertPicture(cursor, wide, QByteArray(), 0, 0);
  rtf::Document model = ModelFromTextDocument(doc, 96, rtf::PageSetup{});
  ASSERT_EQ(model.pictures.size(), 1u);
  EXPECT_EQ(model.pictures[0].kind, rtf::PictureKind::Png);
  QImage decoded = DecodePictureBytes(QByteArray::fromStdString(model.pictures[0].data));
  EXPECT_EQ(decoded.size(), wide.size());
  const rtf::PageSetup page;
  EXPECT_EQ(model.pictures[0].widthTwips, page.paperWidth - page.marginLeft - page.marginRight);
  EXPECT_NEAR(model.pictures[0].heightTwips, model.pictures[0].widthTwips / 10, 2);
}


// A model of one paragraph holding `picture` at `widthTwips` x `heightTwips`,
// on a page with one-inch margins.
rtf::Document ModelWithPicture(const QImage& image, int widthTwips, int heightTwips) {
  rtf::Document doc;
  doc.page = rtf::PageSetup{12240, 15840, 1440, 1440, 1440, 1440};
  rtf::Picture picture;
  picture.kind = rtf::PictureKind::Png;
  picture.data = Encode(image, "PNG").toStdString();
  picture.widthTwips = widthTwips;
  picture.heightTwips = heightTwips;
  doc.pictures.push_back(picture);
  doc.paragraphs.emplace_back();
  rtf::AppendPicture(doc.paragraphs.back(), 0, rtf::CharFormat{});
  return doc;
}

// The fraction of black pixels in a box; counts grey pixels in `grey`.
double BlackIn(const QImage& page, QRect box, int* grey = nullptr) {
  int black = 0;
  for (int y = box.top(); y <= box.bottom(); ++y) {
    for (int x = box.left(); x <= box.right(); ++x) {
      const int v = qGray(page.pixel(x, y));
      black += v < 128;
      if (grey && v > 0 && v < 255) ++*grey;
    }
  }
  return double(black) / (box.width() * box.height());
}

TEST_F(PictureDocumentTest, PhotographsAreDitheredAndLineArtStaysSharpAtTheFaxResolution) {
  // A photograph 3 x 1 inches from dark to light: 600 x 200 pixels at 200 dpi,
  // below the one-inch margins at (200, 200).
  const QImage photo = Photo(300, 100);
  QImage page = RenderAt200(ModelWithPicture(photo, 3 * 1440, 1440));
  int grey = 0;
  const double dark = BlackIn(page, QRect(205, 205, 140, 190), &grey);
  const double light = BlackIn(page, QRect(650, 205, 140, 190), &grey);
  EXPECT_EQ(grey, 0) << "the page is black and white";
  EXPECT_GT(dark, 0.3);
  EXPECT_LT(dark, 0.97) << "a dark photograph is dithered, not a black block";
  EXPECT_LT(light, dark);
  // The dither is the converter's: a mid-dark flat area shows its pattern.
  QImage flat(200, 100, QImage::Format_RGB32);
  flat.fill(QColor(70, 60, 50));
  for (int x = 0; x < 200; x += 10) flat.setPixel(x, 50, qRgb(250, 250, 250));  // not pure line art
  page = RenderAt200(ModelWithPicture(flat, 1440, 720));
  const double flatBlack = BlackIn(page, QRect(210, 210, 150, 40));
  EXPECT_GT(flatBlack, 0.1);
  EXPECT_LT(flatBlack, 0.9);

  // A dark photograph with hardly any light in it is dithered too.
  QImage night(200, 100, QImage::Format_RGB32);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) night.setPixel(x, y, qRgb(5 + (x * 7 + y * 13) % 30, 10 + (x + y) % 20, 20));
  page = RenderAt200(ModelWithPicture(night, 1440, 720));
  const double nightBlack = BlackIn(page, QRect(205, 205, 190, 90));
  EXPECT_GT(nightBlack, 0.5);
  EXPECT_LT(nightBlack, 0.95);

  // Line art (the ring and bar) is thresholded: the scaled drawing and the
  // page agree nearly everywhere, with no dither dots in the white.
  const QImage art = LineArt(400, 100);
  page = RenderAt200(ModelWithPicture(art, 3 * 1440, 3 * 360));
  const QImage expected = art.scaled(600, 150, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  int differ = 0;
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 600; ++x) differ += (qGray(expected.pixel(x, y)) < 128) != (qGray(page.pixel(200 + x, 200 + y)) < 128);
  EXPECT_LT(differ, 600 * 150 / 50);
  EXPECT_EQ(BlackIn(page, QRect(420, 205, 150, 40)), 0.0);  // white between the ring and the bar's top

  // A drawing of one-pixel lines made four times smaller keeps its lines.
  QImage fine(1600, 400, QImage::Format_RGB32);
  fine.fill(Qt::white);
  {
    QPainter p(&fine);
    p.setPen(QPen(Qt::black, 1));
    for (int x = 100; x < 1600; x += 200) p.drawLine(x, 0, x, 399);
    p.drawLine(0, 200, 1599, 200);
  }
  page = RenderAt200(ModelWithPicture(fine, 4 * 720, 720));  // 400 x 100 device pixels
  for (int x = 100; x < 1600; x += 200) {
    EXPECT_GT(BlackIn(page, QRect(200 + x / 4 - 1, 210, 3, 30)), 0.3) << "line at " << x;  // a column of 3
  }
  EXPECT_GT(BlackIn(page, QRect(210, 249, 380, 3)), 0.3);
  EXPECT_LT(BlackIn(page, QRect(200, 200, 400, 100)), 0.1);
}

TEST_F(PictureDocumentTest, LibreOfficeLogoLoadsAtItsSizeAndKeepsItsPixelsWhenSaved) {
  const std::string folder = std::string(TOLMERA_FIXTURES_DIR) + "/rtf/";
  RichTextEditor editor;
  ASSERT_TRUE(editor.LoadRtf(QString::fromStdString(folder + "letter-with-logo-libreoffice.rtf")));
  QTextCursor find(editor.Document());
  find.setPosition(1);
  const QTextImageFormat image = find.charFormat().toImageFormat();
  ASSERT_TRUE(IsPictureFormat(image));
  const double dpi = DocumentDpi(*editor.Document());
  EXPECT_NEAR(image.width(), 3000 * dpi / 1440, 0.01);  // 2.08 x 0.625 inches on the page
  EXPECT_NEAR(image.height(), 900 * dpi / 1440, 0.01);
  const QImage shown = editor.Document()->resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
  const QImage logo(QString::fromStdString(folder + "logo.png"));
  ASSERT_FALSE(logo.isNull());
  EXPECT_EQ(shown, logo);

  // Saved and read again, the picture's pixels are the logo's.
  rtf::Document again;
  ASSERT_TRUE(rtf::ReadRtf(editor.RtfText(), again));
  ASSERT_EQ(again.pictures.size(), 1u);
  EXPECT_EQ(DecodePictureBytes(QByteArray::fromStdString(again.pictures[0].data)), logo);
  EXPECT_EQ(again.pictures[0].widthTwips, 3000);
  EXPECT_EQ(again.pictures[0].heightTwips, 900);
}

TEST_F(PictureDocumentTest, UnshownAndUndecodablePicturesKeepABlankBoxAndTheirBytes) {
  rtf::Document doc;
  doc.page = rtf::PageSetup{12240, 15840, 1440, 1440, 1440, 1440};
  rtf::Picture metafile;
  metafile.kind = rtf::PictureKind::Unshown;
  metafile.data = std::string("\x01\x00\x09\x00", 4);
  metafile.sourceFormat = "wmetafile8";
  metafile.sourceWidth = 2540;
  metafile.sourceHeight = 1270;
  metafile.widthTwips = 1440;
  metafile.heightTwips = 720;
  rtf::Picture broken;  // a PNG that is not one: a 60000 x 60000 header and nothing else
  broken.kind = rtf::PictureKind::Png;
  broken.data = std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\xEA\x60\0\0\xEA\x60\x08\x02\0\0\0", 29);
  broken.widthTwips = 2880;
  broken.heightTwips = 1440;
  doc.pictures = {metafile, broken};
  doc.paragraphs.emplace_back();
  rtf::AppendPicture(doc.paragraphs.back(), 0, rtf::CharFormat{});
  rtf::AppendPicture(doc.paragraphs.back(), 1, rtf::CharFormat{});
  rtf::AppendText(doc.paragraphs.back(), "after", rtf::CharFormat{});

  QImage page = RenderAt200(doc);
  EXPECT_EQ(BlackIn(page, QRect(200, 200, 200 + 400, 200)), 0.0) << "both boxes are blank on the fax page";
  // The text after the boxes is pushed right by their widths (1 + 2 inches).
  EXPECT_EQ(BlackIn(page, QRect(200, 200, 590, 200)), 0.0);
  EXPECT_GT(BlackIn(page, QRect(800, 200, 120, 200)), 0.0);

  QTextDocument built;
  BuildTextDocument(doc, BuildOptions{}, built);
  rtf::Document back = ModelFromTextDocument(built, BuildOptions{}.dpi, doc.page);
  ASSERT_EQ(back.pictures.size(), 2u);
  EXPECT_EQ(back.pictures[0], metafile);
  EXPECT_EQ(back.pictures[1], broken);
}

TEST_F(PictureDocumentTest, APictureCopiedFromOneEditorIsPastedIntoAnotherWithItsBytes) {
  const std::string folder = std::string(TOLMERA_FIXTURES_DIR) + "/rtf/";
  RichTextEditor from, to;
  for (RichTextEditor* e : {&from, &to}) {
    e->SetPageSetup({12240, 15840, 720, 720, 720, 720});
    e->resize(900, 700);
    e->show();
  }
  ASSERT_TRUE(from.LoadRtf(QString::fromStdString(folder + "letter-with-logo-libreoffice.rtf")));
  // Another picture first in the target, so that its own numbering is in use.
  QTextCursor there = to.TextCursor();
  InsertPicture(there, LineArt(40, 20), QByteArray(), 600, 300);
  to.SetTextCursor(there);

  // Select the logo with the keyboard, copy, then paste at the end of the other.
  QWidget* source = from.View()->viewport();
  QApplication::setActiveWindow(&from);
  QTest::mouseClick(source, Qt::LeftButton, {}, from.View()->mapFromScene(QPointF(600, 300)));
  QTest::keyClick(source, Qt::Key_Home, Qt::ControlModifier);
  QTest::keyClick(source, Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(source, Qt::Key_C, Qt::ControlModifier);
  // Other programs get the picture as an image.
  const QImage onClipboard = qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData());
  EXPECT_EQ(onClipboard.convertToFormat(QImage::Format_ARGB32),
            QImage(QString::fromStdString(folder + "logo.png")).convertToFormat(QImage::Format_ARGB32));
  EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasHtml());
  QWidget* target = to.View()->viewport();
  QApplication::setActiveWindow(&to);
  QTest::mouseClick(target, Qt::LeftButton, {}, to.View()->mapFromScene(QPointF(300, 60)));
  QTest::keyClick(target, Qt::Key_End, Qt::ControlModifier);
  QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);

  // The pasted picture is the target's own: many pictures inserted since
  // (the store of recent pictures forgets old ones) do not take it away.
  QTextDocument scratch;
  QTextCursor many(&scratch);
  for (int i = 0; i < 300; ++i) InsertPicture(many, LineArt(20, 10), QByteArray(), 300, 150);

  rtf::Document model = to.Model();
  ASSERT_EQ(model.pictures.size(), 2u) << model.PlainText();
  std::string logo;
  logo = testing::ReadText(folder + "logo.png");
  EXPECT_EQ(model.pictures[1].kind, rtf::PictureKind::Png);
  EXPECT_EQ(model.pictures[1].data, logo);
  EXPECT_NEAR(model.pictures[1].widthTwips, 3000, 2);
  EXPECT_NEAR(model.pictures[1].heightTwips, 900, 2);
  EXPECT_NE(model.pictures[0].data, logo);
}

TEST_F(PictureDocumentTest, PictureFilesThatCannotBeShownGiveAClearMessageAndInsertNothing) {
  testing::TempDir dir;
  // A PNG header claiming 60000 x 60000 pixels, a JPEG cut off after its
  // first bytes, a text file, and no file at all.
  testing::WriteText(dir.File("huge.png"),
                     std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\xEA\x60\0\0\xEA\x60\x08\x02\0\0\0"
                                 "\x0F\xB0\xE2\x15\0\0\0\0IDAT\x35\xAF\x06\x1E",
                                 45));
  const QByteArray jpeg = Encode(Photo(200, 100), "JPEG");
  testing::WriteText(dir.File("cut.jpg"), jpeg.left(40).toStdString());
  testing::WriteText(dir.File("words.png"), "not a picture");
  QTextDocument doc;
  BuildTextDocument(EmptyModel(), BuildOptions{}, doc);
  QTextCursor cursor(&doc);
  for (const char* name : {"huge.png", "cut.jpg", "words.png", "missing.png"}) {
    SCOPED_TRACE(name);
    const QString path = QString::fromStdString(dir.File(name));
    QString error;
    EXPECT_FALSE(InsertPictureFile(cursor, path, &error));
    EXPECT_TRUE(error.startsWith(path) || error.endsWith(path)) << error.toStdString();
  }
  EXPECT_TRUE(doc.toPlainText().isEmpty());
  QString error;
  InsertPictureFile(cursor, QString::fromStdString(dir.File("huge.png")), &error);
  EXPECT_TRUE(error.endsWith("is too large a picture to insert (60000 x 60000 pixels).")) << error.toStdString();
  // A whole JPEG goes in with its own bytes.
  testing::WriteText(dir.File("whole.jpg"), jpeg.toStdString());
  EXPECT_TRUE(InsertPictureFile(cursor, QString::fromStdString(dir.File("whole.jpg")), &error)) << error.toStdString();
  rtf::Document model = ModelFromTextDocument(doc, BuildOptions{}.dpi, rtf::PageSetup{});
  ASSERT_EQ(model.pictures.size(), 1u);
  EXPECT_EQ(model.pictures[0].kind, rtf::PictureKind::Jpeg);
  EXPECT_EQ(model.pictures[0].data, jpeg.toStdString());
}

TEST_F(PictureDocumentTest, PasteAndDropDataIsPicturesOnlyWithoutText) {
  testing::TempDir dir;
  const QImage photo = Photo(30, 20);
  photo.save(QString::fromStdString(dir.File("a.png")));
  testing::WriteText(dir.File("b.txt"), "text");
  QMimeData image;
  image.setImageData(photo);
  EXPECT_TRUE(MimeHoldsPictures(image));
  image.setHtml("<img src=\"https://example.com/a.png\">");  // as a browser copies an image
  EXPECT_TRUE(MimeHoldsPictures(image));
  image.setText("Some words");  // a word processor's selection with its picture
  EXPECT_FALSE(MimeHoldsPictures(image));
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.File("a.png")))});
  EXPECT_TRUE(MimeHoldsPictures(files));
  files.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.File("a.png"))),
                 QUrl::fromLocalFile(QString::fromStdString(dir.File("b.txt")))});
  EXPECT_FALSE(MimeHoldsPictures(files));
  files.setUrls({QUrl("https://example.com/a.png")});
  EXPECT_FALSE(MimeHoldsPictures(files));
}

TEST_F(PictureDocumentTest, ACroppedPictureShowsWhatIsLeftAndKeepsItsCropWhenResized) {
  // A picture of four coloured quarters, the left half and the top quarter
  // cropped away: what shows is the bottom three quarters of the right half.
  QImage quarters(200, 200, QImage::Format_RGB32);
  quarters.fill(Qt::white);
  QPainter(&quarters).fillRect(QRect(100, 0, 100, 100), Qt::black);
  rtf::Document doc = ModelWithPicture(quarters, 720, 1080);
  doc.pictures[0].cropLeft = 720;
  doc.pictures[0].cropTop = 360;
  QTextDocument built;
  BuildTextDocument(doc, BuildOptions{}, built);
  QTextCursor at(&built);
  at.setPosition(1);
  const QTextImageFormat format = at.charFormat().toImageFormat();
  const QImage shown = built.resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
  EXPECT_EQ(shown.size(), QSize(100, 150));
  EXPECT_EQ(qGray(shown.pixel(50, 10)), 0);     // the black quarter's lower half
  EXPECT_EQ(qGray(shown.pixel(50, 120)), 255);  // the white bottom
  rtf::Document back = ModelFromTextDocument(built, BuildOptions{}.dpi, doc.page);
  ASSERT_EQ(back.pictures.size(), 1u);
  EXPECT_EQ(back.pictures[0], doc.pictures[0]);

  // Made half as large, the crop is half as large too.
  QTextCursor picture;
  ASSERT_TRUE(PictureAtCursor(at, picture));
  ResizePicture(picture, QSize(360, 540));
  back = ModelFromTextDocument(built, BuildOptions{}.dpi, doc.page);
  EXPECT_EQ(back.pictures[0].widthTwips, 360);
  EXPECT_EQ(back.pictures[0].cropLeft, 360);
  EXPECT_EQ(back.pictures[0].cropTop, 180);
}

TEST_F(PictureDocumentTest, ThePagesContextMenuPastesAPictureFromTheClipboard) {
  RichTextEditor editor;
  editor.SetPageSetup({12240, 15840, 720, 720, 720, 720});
  editor.resize(900, 700);
  editor.show();
  QApplication::setActiveWindow(&editor);
  QWidget* viewport = editor.View()->viewport();
  const QPoint at = editor.View()->mapFromScene(QPointF(200, 60));
  QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
  QTest::keyClicks(viewport, "Seal: ");
  QGuiApplication::clipboard()->setImage(Photo(40, 30));
  bool chosen = false;
  QTimer::singleShot(50, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), "PictureContextMenu");
    menu->setActiveAction(menu->actions().value(0));
    QTest::keyClick(menu, Qt::Key_Return);
    chosen = true;
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
  QApplication::sendEvent(viewport, &event);
  EXPECT_TRUE(chosen);
  rtf::Document model = editor.Model();
  ASSERT_EQ(model.pictures.size(), 1u);
  EXPECT_EQ(model.PlainText(), "Seal: \xEF\xBF\xBC");
}

}  // namespace
}  // namespace tlm
