// Pictures in the editor's QTextDocument: inserted, read back into the model
// and built again with their bytes and size unchanged; rendered for the fax
// page in black and white without turning into black blocks.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "qt_app.h"
#include "richtext/picture_insert.h"
#include "richtext/text_document_model.h"
#include "richtext/text_document_pictures.h"

namespace tlm {
namespace {

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

}  // namespace
}  // namespace tlm
