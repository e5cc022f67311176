// Pictures in RTF: read from LibreOffice's file and from hand-made groups
// covering every way a picture is stored, written back and read again
// unchanged, and damaged picture data left out without harm.
#include <gtest/gtest.h>

#include <string>

#include "richtext/rtf/rtf_reader.h"
#include "richtext/rtf/rtf_writer.h"
#include "support/temp_dir.h"
#include "rtf_test_support.h"

namespace tlm::rtf {
namespace {

using test_support::Fixture;
using test_support::Read;

std::string ToHex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

// The start of a PNG file: signature and an IHDR of the given size.
std::string PngHeader(int width, int height) {
  std::string png("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
  for (int v : {width, height}) {
    png += static_cast<char>(v >> 24);
    png += static_cast<char>(v >> 16);
    png += static_cast<char>(v >> 8);
    png += static_cast<char>(v);
  }
  png += std::string("\x08\x02\0\0\0\x12\x34\x56\x78", 9);
  return png;
}

std::string Doc(const std::string& body) { return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\pard " + body + "\\par}"; }

const rtf::Run* PictureRun(const Document& doc) {
  for (const Paragraph& p : doc.paragraphs)
    for (const rtf::Run& r : p.runs)
      if (r.picture >= 0) return &r;
  return nullptr;
}

TEST(RtfPicture, LibreOfficeLogoIsReadAtItsSizeAndTheFallbackSkipped) {
  Document doc = Read(Fixture("letter-with-logo-libreoffice.rtf"));
  ASSERT_EQ(doc.pictures.size(), 1u);  // the WMF fallback is not a second picture
  const Picture& logo = doc.pictures[0];
  EXPECT_EQ(logo.kind, PictureKind::Png);
  EXPECT_EQ(logo.data, testing::ReadText(std::string(TOLMERA_FIXTURES_DIR) + "/rtf/logo.png"));
  // \picwgoal6000\pichgoal1800 at \picscalex50\picscaley50.
  EXPECT_EQ(logo.widthTwips, 3000);
  EXPECT_EQ(logo.heightTwips, 900);
  const rtf::Run* run = PictureRun(doc);
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(run->text, "\xEF\xBF\xBC");
  EXPECT_NE(doc.PlainText().find("Acme Corporation"), std::string::npos);
  EXPECT_EQ(doc.PlainText().find("wzName"), std::string::npos);

  // Saved and read again: the same bytes at the same size, nothing else changed.
  Document again = Read(WriteRtf(doc));
  ASSERT_EQ(again.pictures.size(), 1u);
  EXPECT_EQ(again.pictures[0], logo);
  EXPECT_EQ(again.PlainText(), doc.PlainText());
}

TEST(RtfPicture, EveryStorageFormIsRead) {
  const std::string png = PngHeader(40, 20);
  const std::string jpeg("\xFF\xD8\xFF\xE0\0\x04xy\xFF\xC0\0\x11\x08\0\x1E\0\x50\x03", 19);
  struct Case {
    const char* name;
    std::string body;
    PictureKind kind;
    int width;
    int height;
  };
  const Case cases[] = {
      {"plain pict, own pixel size", "{\\pict\\pngblip " + ToHex(png) + "}", PictureKind::Png, 600, 300},
      {"picw/pich of a bitmap", "{\\pict\\picw80\\pich10\\pngblip " + ToHex(png) + "}", PictureKind::Png, 1200, 150},
      {"goal and scale", "{\\pict\\picscalex200\\picscaley50\\picwgoal1000\\pichgoal800\\jpegblip\n" + ToHex(jpeg) + "}",
       PictureKind::Jpeg, 2000, 400},
      {"jpeg own size", "{\\*\\shppict{\\pict{\\*\\blipuid 0123}\\jpegblip " + ToHex(jpeg) + "}}", PictureKind::Jpeg, 1200, 450},
      {"binary data", "{\\pict\\picwgoal300\\pichgoal200\\pngblip\\bin" + std::to_string(png.size()) + " " + png + "}",
       PictureKind::Png, 300, 200},
      {"metafile only: a box of its size", "{\\pict\\wmetafile8\\picw2540\\pich1270 0102030405}", PictureKind::Unshown,
       1440, 720},
      {"emf with goal", "{\\pict\\emfblip\\picwgoal500\\pichgoal400 0a0b}", PictureKind::Unshown, 500, 400},
      {"metafile with half a size", "{\\pict\\wmetafile8\\picw2540 0102}", PictureKind::Unshown, 0, 0},
      {"cropped and scaled", "{\\pict\\picscalex50\\picscaley200\\piccropl200\\piccropr-100\\piccropt50\\picwgoal2000\\pichgoal1000\\pngblip " + ToHex(png) + "}",
       PictureKind::Png, 950, 1900},
      {"a crop that leaves nothing is ignored", "{\\pict\\piccropl900\\piccropr900\\picwgoal1000\\pichgoal500\\pngblip " + ToHex(png) + "}",
       PictureKind::Png, 1000, 500},
      {"fallback used when no shppict picture", "{\\nonshppict{\\pict\\dibitmap0\\picw10\\pich5 00ff}}",
       PictureKind::Unshown, 150, 75},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Document doc = Read(Doc("A " + c.body + " B"));
    ASSERT_EQ(doc.pictures.size(), 1u);
    EXPECT_EQ(doc.pictures[0].kind, c.kind);
    EXPECT_EQ(doc.pictures[0].widthTwips, c.width);
    EXPECT_EQ(doc.pictures[0].heightTwips, c.height);
    EXPECT_EQ(doc.PlainText(), "A \xEF\xBF\xBC B");
    if (c.kind != PictureKind::Unshown) {
      EXPECT_EQ(doc.pictures[0].data, c.kind == PictureKind::Png ? png : jpeg);
    }
    // Written and read back, the picture is the same in every respect.
    Document again = Read(WriteRtf(doc));
    ASSERT_EQ(again.pictures.size(), 1u);
    EXPECT_EQ(again.pictures[0], doc.pictures[0]);
    EXPECT_EQ(again.PlainText(), doc.PlainText());
  }
}

TEST(RtfPicture, AFloatingShapesPictureIsReadWhereTheShapeIsAnchored) {
  // As word processors write a picture that floats beside the text: the
  // picture in the shape's "pib" property, a metafile in \shprslt for
  // readers without shapes, and a text box shape whose text is not ours.
  const std::string png = PngHeader(40, 20);
  Document doc = Read(Doc(
      "Before {\\shp{\\*\\shpinst\\shpleft0\\shptop0\\shpright1440\\shpbottom720{\\sp{\\sn shapeType}{\\sv 75}}"
      "{\\sp{\\sn pib}{\\sv {\\pict\\picwgoal1440\\pichgoal720\\pngblip " +
      ToHex(png) +
      "}}}{\\sp{\\sn fBehindDocument}{\\sv 0}}}{\\shprslt{\\*\\do\\dobxcolumn}{\\pict\\wmetafile8 0102}}}"
      "after{\\shp{\\*\\shpinst{\\sp{\\sn shapeType}{\\sv 202}}{\\shptxt boxed}}{\\shprslt fallback}}"));
  ASSERT_EQ(doc.pictures.size(), 1u);
  EXPECT_EQ(doc.pictures[0].kind, PictureKind::Png);
  EXPECT_EQ(doc.pictures[0].data, png);
  EXPECT_EQ(doc.pictures[0].widthTwips, 1440);
  EXPECT_EQ(doc.PlainText(), "Before \xEF\xBF\xBC""afterfallback");
}

TEST(RtfPicture, CropsAreKeptAtThePicturesSizeOnThePage) {
  Document doc = Read(Doc("{\\pict\\picscalex50\\picscaley200\\piccropl200\\piccropr-100\\piccropt50"
                          "\\picwgoal2000\\pichgoal1000\\pngblip " + ToHex(PngHeader(40, 20)) + "}"));
  ASSERT_EQ(doc.pictures.size(), 1u);
  const Picture& p = doc.pictures[0];
  EXPECT_EQ(p.cropLeft, 100);
  EXPECT_EQ(p.cropRight, -50);
  EXPECT_EQ(p.cropTop, 100);
  EXPECT_EQ(p.cropBottom, 0);
  // Written at its size on the page: the whole picture's goal and the crops.
  const std::string rtf = WriteRtf(doc);
  EXPECT_NE(rtf.find("\\picwgoal1000\\pichgoal2000\\piccropl100\\piccropt100\\piccropr-50\\pngblip"), std::string::npos);
}

TEST(RtfPicture, WrittenPictureCarriesGoalSizeInsideShppict) {
  Document doc = Read(Doc("{\\pict\\picwgoal3000\\pichgoal900\\pngblip " + ToHex(PngHeader(400, 120)) + "}"));
  std::string rtf = WriteRtf(doc);
  EXPECT_NE(rtf.find("{\\*\\shppict{\\pict"), std::string::npos);
  EXPECT_NE(rtf.find("\\picw400\\pich120\\picwgoal3000\\pichgoal900\\pngblip"), std::string::npos);
}

TEST(RtfPicture, DamagedPictureDataIsLeftOut) {
  const std::string png = ToHex(PngHeader(4, 4));
  const std::string cases[] = {
      "{\\pict\\pngblip " + png + "a}",                      // odd number of hex digits
      "{\\pict\\pngblip " + png.substr(0, 10) + "zz" + "}",  // not hex
      "{\\pict\\pngblip}",                                   // no data
      "{\\pict\\picw5\\pich5 0a0b}",                         // no format
  };
  for (const std::string& body : cases) {
    SCOPED_TRACE(body.substr(0, 40));
    Document doc = Read(Doc("A " + body + " B"));
    EXPECT_TRUE(doc.pictures.empty());
    EXPECT_EQ(doc.PlainText(), "A  B");
  }
  // \bin longer than what is left of the file: read as far as it goes.
  Document doc;
  ReadRtf(Doc("A {\\pict\\pngblip\\bin999999999 xyz}"), doc);
  EXPECT_TRUE(doc.pictures.empty());
  EXPECT_EQ(doc.PlainText(), "A ");
  // A huge goal size or scale is kept within a page's bounds.
  doc = Read(Doc("{\\pict\\picscalex99999\\picwgoal99999999\\pichgoal-5\\pngblip " + png + "}"));
  ASSERT_EQ(doc.pictures.size(), 1u);
  EXPECT_LE(doc.pictures[0].widthTwips, 63360);
  EXPECT_GT(doc.pictures[0].heightTwips, 0);
}

TEST(RtfPicture, PicturesInHiddenTextOrTablesOfTheHeaderAreNotText) {
  const std::string png = ToHex(PngHeader(4, 4));
  Document doc = Read(Doc("{\\v {\\pict\\pngblip " + png + "}}{\\fonttbl{\\*\\shppict{\\pict\\pngblip " + png +
                          "}}}{\\header {\\pict\\pngblip " + png + "}}X"));
  EXPECT_TRUE(doc.pictures.empty());
  EXPECT_EQ(doc.PlainText(), "X");
}

}  // namespace
}  // namespace tlm::rtf
