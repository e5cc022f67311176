// The file names, the emptiness rule, the zoom rule and joining of fax files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "compose/fax_file_names.h"
#include "compose/fax_join.h"
#include "compose/rich_text_pages.h"
#include "faximage/apf_file.h"
#include "faximage/fax_converter.h"
#include "faximage/fax_errors.h"
#include "faximage/image_writers.h"
#include "qt_app.h"
#include "richtext/rich_text_editor.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

TEST(FaxFileNames, LowestFreeNumberThenTheFallback) {
  testing::TempDir dir;
  std::string folder = dir.Folder();
  EXPECT_EQ(FindFreeFaxFileName(folder), folder + "TLM_1.APF");
  testing::WriteText(folder + "TLM_1.APF", "x");
  testing::WriteText(folder + "TLM_2.APF", "x");
  testing::WriteText(folder + "TLM_4.APF", "x");
  EXPECT_EQ(FindFreeFaxFileName(folder), folder + "TLM_3.APF");
  for (int n = 1; n <= 1000; ++n) testing::WriteText(folder + "TLM_" + std::to_string(n) + ".APF", "");
  EXPECT_EQ(FindFreeFaxFileName(folder), folder + "TLM1.APF");
  EXPECT_EQ(PageFaxFileName(folder, 1, folder + "TLM_7.APF"), folder + "TLM_7.APF");
  EXPECT_EQ(PageFaxFileName(folder, 12, folder + "TLM_7.APF"), folder + "TLMAX12.APF");
}

TEST(RichTextPages, ZoomRuleAndEmptiness) {
  EXPECT_EQ(RenderZoomPercent(96), 208);
  EXPECT_EQ(RenderZoomPercent(120), 166);
  EXPECT_EQ(RenderZoomPercent(144), 138);

  testing::App();
  RichTextEditor editor;
  EXPECT_TRUE(IsRichTextEmpty(editor));
  editor.SetRtfText("{\\rtf1    \\par  \\par\\par      }");
  EXPECT_TRUE(IsRichTextEmpty(editor)) << "blank lines of spaces";
  editor.SetRtfText("{\\rtf1 " + std::string(300, ' ') + "}");
  EXPECT_FALSE(IsRichTextEmpty(editor)) << "256 characters or more";
  editor.SetRtfText("{\\rtf1    \\par  \\par\\tab}");
  EXPECT_FALSE(IsRichTextEmpty(editor)) << "only the space counts as blank";
  std::string many = "{\\rtf1 ";
  for (int i = 0; i < 200; ++i) many += "\\par ";
  editor.SetRtfText(many + "late}");
  EXPECT_FALSE(IsRichTextEmpty(editor)) << "text on line 200";
  many = "{\\rtf1 ";
  for (int i = 0; i < 205; ++i) many += "\\par";
  editor.SetRtfText(many + " late}");
  EXPECT_LT(editor.CharacterCount(), 256);
  EXPECT_TRUE(IsRichTextEmpty(editor)) << "text after line 200 is not looked at";
}

// A one-page APF file made by the converter from a small bitmap.
void MakePage(const std::string& folder, const std::string& name, int blackRow) {
  MonoBitmap bitmap(1664, 40);
  for (int x = 100; x < 600; ++x) bitmap.SetBlack(x, blackRow, true);
  WriteImageFile(folder + "page.bmp", EncodeBmp(bitmap));
  TKvFaxConverter converter;
  converter.SetOptions(coYield);
  converter.Resolution = frHigh;
  converter.SetDocumentFile(folder + "page.bmp");
  converter.InputDocumentType = idBmp;
  converter.OutFileName = folder + name;
  converter.ConvertToApf();
}

std::string Bytes(const std::string& path, std::uint64_t from) {
  std::string all = testing::ReadText(path);
  return from < all.size() ? all.substr(from) : std::string();
}

TEST(FaxJoin, AppendsPagesAndRemovesTheirFiles) {
  testing::TempDir dir;
  std::string f = dir.Folder();
  MakePage(f, "TLM_1.APF", 5);
  MakePage(f, "TLMAX2.APF", 10);
  MakePage(f, "TLMAX3.APF", 20);
  // A source whose first page does not start at 64: the bytes between its
  // header and its first page are not copied.
  std::string third = testing::ReadText(f + "TLMAX3.APF");
  std::string shifted = third.substr(0, 64) + std::string(36, '\x55') + third.substr(64);
  shifted[34] = 100;
  testing::WriteText(f + "TLMAX3.APF", shifted);
  std::string pagesOf2 = Bytes(f + "TLMAX2.APF", 64);
  std::string pagesOf3 = third.substr(64);
  std::string before = testing::ReadText(f + "TLM_1.APF");

  EXPECT_EQ(JoinFaxFiles({f + "TLM_1.APF", f + "TLMAX2.APF", f + "TLMAX3.APF"}), f + "TLM_1.APF");
  EXPECT_EQ(testing::ReadText(f + "TLM_1.APF"), [&] {
    std::string expected = before + pagesOf2 + pagesOf3;
    expected[32] = 3;
    return expected;
  }());
  EXPECT_FALSE(std::filesystem::exists(f + "TLMAX2.APF"));
  EXPECT_FALSE(std::filesystem::exists(f + "TLMAX3.APF"));
  int pages = 0;
  EXPECT_EQ(ApfCountPages(f + "TLM_1.APF", pages), 0);
  EXPECT_EQ(pages, 3);

  // A missing file: code 2 before anything is touched.
  std::string joined = testing::ReadText(f + "TLM_1.APF");
  try {
    AppendFaxFile(f + "TLM_1.APF", f + "missing.APF");
    FAIL() << "no error";
  } catch (const EFaxImageError& e) {
    EXPECT_EQ(e.Code(), 2);
  }
  EXPECT_EQ(testing::ReadText(f + "TLM_1.APF"), joined);
  EXPECT_EQ(JoinFaxFiles({f + "TLM_1.APF"}), f + "TLM_1.APF");
  EXPECT_EQ(testing::ReadText(f + "TLM_1.APF"), joined) << "one entry: nothing is joined";
}

}  // namespace
}  // namespace tlm
