// Spell checking with Debian's en_US dictionary and a user dictionary, and
// the dialog driven as a user would.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>

#include "qt_app.h"
#include "richtext/rich_text_editor.h"
#include "richtext/spell_check_dialog.h"
#include "richtext/spell_checker.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

const char* kDictionary = "/usr/share/hunspell/en_US";

TEST(SpellChecker, MainAndUserDictionary) {
  testing::TempDir dir;
  std::string user = dir.File("sub/userdict.txt");
  {
    SpellChecker checker(kDictionary, user);
    ASSERT_TRUE(checker.IsOpen()) << checker.Error();
    EXPECT_TRUE(checker.Check("color"));
    EXPECT_TRUE(checker.Check("Fax"));
    EXPECT_FALSE(checker.Check("speling"));
    std::vector<std::string> s = checker.Suggest("speling");
    EXPECT_NE(std::find(s.begin(), s.end(), "spelling"), s.end());
    EXPECT_FALSE(checker.Check("Tolmera"));
    ASSERT_TRUE(checker.AddToUserDictionary("Tolmera"));
    EXPECT_TRUE(checker.Check("Tolmera"));
    checker.IgnoreAll("qzxv");
    EXPECT_TRUE(checker.Check("qzxv"));
  }
  SpellChecker again(kDictionary, user);
  EXPECT_TRUE(again.Check("Tolmera")) << "the user dictionary is kept";
  EXPECT_FALSE(again.Check("qzxv")) << "ignoring lasts one session";
  EXPECT_EQ(testing::ReadText(user), "Tolmera\n");

  SpellChecker missing(dir.File("none"), user);
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_FALSE(missing.Error().empty());
}

TEST(SpellCheckDialog, ReplacesIgnoresAndAdds) {
  testing::App();
  testing::TempDir dir;
  SpellChecker checker(kDictionary, dir.File("userdict.txt"));
  RichTextEditor editor;
  ASSERT_TRUE(editor.SetRtfText("{\\rtf1 This {\\b speling} is wrong.\\par Tolmeraa sends faxxes, faxxes again.}"));
  SpellCheckDialog dialog(&editor, checker);
  EXPECT_EQ(dialog.windowTitle(), "Spell Check");
  ASSERT_EQ(dialog.CurrentWord(), "speling");
  EXPECT_EQ(editor.TextCursor().selectedText(), "speling");
  EXPECT_EQ(dialog.ChangeTo()->text(), dialog.Suggestions()->item(0)->text());
  dialog.ChangeTo()->setText("spelling");
  dialog.Replace();
  EXPECT_EQ(editor.Line(0), "This spelling is wrong.");
  rtf::Document model = editor.Model();
  EXPECT_TRUE(model.paragraphs[0].runs[1].format.bold) << "the replacement keeps the word's format";

  ASSERT_EQ(dialog.CurrentWord(), "Tolmeraa");
  dialog.Add();
  ASSERT_EQ(dialog.CurrentWord(), "faxxes");
  dialog.IgnoreAll();
  EXPECT_EQ(dialog.CurrentWord(), "") << "the second faxxes is ignored too";
  EXPECT_EQ(testing::ReadText(dir.File("userdict.txt")), "Tolmeraa\n");
  EXPECT_EQ(editor.Line(1), "Tolmeraa sends faxxes, faxxes again.");
}

}  // namespace
}  // namespace tlm
