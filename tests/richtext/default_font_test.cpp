// The default font: applied to new editors, chosen through the font dialog
// and kept in TLM.INI.
#include <gtest/gtest.h>

#include "app/core/settings.h"
#include "qt_app.h"
#include "richtext/default_font.h"
#include "richtext/rich_text_editor.h"
#include "richtext/rtf/rtf_reader.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

TEST(DefaultFont, ChosenFontIsSavedAndAppliedToANewText) {
  testing::App();
  testing::TempDir dir;
  std::string ini = dir.File("TLM.INI");
  testing::WriteText(ini, "[User]\nName=Kept\n[Default Font]\nName=Arial\nSize=10\n");
  // The process's settings record; the file holds an older font.
  Settings current = LoadSettingsFile(ini);
  current.fontName = "Courier New";
  QFont offered;
  bool chosen = ChooseDefaultFont(nullptr, current, ini, [&](const QFont& initial, QWidget*) -> std::optional<QFont> {
    offered = initial;
    QFont f("Liberation Serif");
    f.setPointSize(14);
    f.setItalic(true);
    f.setUnderline(true);
    return f;
  });
  ASSERT_TRUE(chosen);
  EXPECT_EQ(offered.family(), "Courier New");  // the record's font, not the file's
  EXPECT_EQ(offered.pointSize(), 10);
  Settings s = LoadSettingsFile(ini);
  EXPECT_EQ(s.fontName, "Liberation Serif");
  EXPECT_EQ(s.fontSize, 14);
  EXPECT_FALSE(s.fontBold);
  EXPECT_TRUE(s.fontItalic);
  EXPECT_TRUE(s.fontUnderline);
  EXPECT_EQ(s.userName, "Kept");
  // The record itself holds the choice, so saving it at close keeps it.
  EXPECT_EQ(current.fontName, "Liberation Serif");
  EXPECT_EQ(current.fontSize, 14);
  SaveSettingsFile(ini, current);
  EXPECT_EQ(LoadSettingsFile(ini).fontName, "Liberation Serif");

  // Cancel leaves the file alone.
  std::string before = testing::ReadText(ini);
  EXPECT_FALSE(ChooseDefaultFont(nullptr, current, ini, [](const QFont&, QWidget*) { return std::optional<QFont>(); }));
  EXPECT_EQ(testing::ReadText(ini), before);
  EXPECT_EQ(current.fontName, "Liberation Serif");

  RichTextEditor editor;
  ApplyDefaultFont(editor, s);
  QTextCursor c = editor.TextCursor();
  c.insertText("Hello");
  rtf::Document doc;
  ASSERT_TRUE(rtf::ReadRtf(editor.RtfText(), doc));
  const rtf::CharFormat& f = doc.paragraphs.at(0).runs.at(0).format;
  EXPECT_EQ(f.font, "Liberation Serif");
  EXPECT_EQ(f.halfPoints, 28);
  EXPECT_TRUE(f.italic);
  EXPECT_TRUE(f.underline);
}

}  // namespace
}  // namespace tlm
