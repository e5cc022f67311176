// The editor driven as a user drives it: clicking into the page, typing,
// the toolbar, read-only mode; and printing its pages.
#include <gtest/gtest.h>

#include <QAction>
#include <QGraphicsView>
#include <QPrinter>
#include <QTest>
#include <QToolBar>

#include "qt_app.h"
#include "richtext/rich_text_editor.h"
#include "richtext/rtf/rtf_reader.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

QAction* ToolAction(RichTextEditor& editor, const QString& tip) {
  for (QAction* a : editor.ToolBar()->actions())
    if (a->toolTip() == tip) return a;
  return nullptr;
}

TEST(EditorUi, TypingFormattingAndReadOnly) {
  testing::App();
  RichTextEditor editor;
  editor.SetPageSetup({12240, 15840, 720, 720, 720, 720});
  editor.resize(900, 700);
  editor.show();
  QWidget* viewport = editor.View()->viewport();
  QPoint intoPage = editor.View()->mapFromScene(QPointF(200, 80));
  QTest::mouseClick(viewport, Qt::LeftButton, {}, intoPage);
  QTest::keyClicks(viewport, "Hello");
  QTest::keyClick(viewport, Qt::Key_Return);
  QTest::keyClicks(viewport, "World");
  EXPECT_EQ(editor.Line(0), "Hello");
  EXPECT_EQ(editor.Line(1), "World");

  QTest::keyClick(viewport, Qt::Key_A, Qt::ControlModifier);
  ASSERT_TRUE(ToolAction(editor, "Bold"));
  ToolAction(editor, "Bold")->trigger();
  rtf::Document doc;
  ASSERT_TRUE(rtf::ReadRtf(editor.RtfText(), doc));
  EXPECT_TRUE(doc.paragraphs.at(0).runs.at(0).format.bold);
  EXPECT_TRUE(doc.paragraphs.at(1).runs.at(0).format.bold);

  int asked = 0;
  QObject::connect(&editor, &RichTextEditor::SpellCheckRequested, [&] { ++asked; });
  editor.SpellCheckAction()->trigger();
  EXPECT_EQ(asked, 1);

  editor.SetReadOnly(true);
  QTest::keyClick(viewport, Qt::Key_End, Qt::ControlModifier);
  QTest::keyClicks(viewport, "x");
  EXPECT_EQ(editor.Line(1), "World");
  EXPECT_FALSE(ToolAction(editor, "Bold")->isEnabled());
  EXPECT_TRUE(editor.SpellCheckAction()->isEnabled());
}

TEST(EditorUi, PrintsEveryPage) {
  testing::App();
  testing::TempDir dir;
  RichTextEditor editor;
  ASSERT_TRUE(editor.SetRtfText("{\\rtf1\\paperw12240\\paperh15840 one\\page two\\page three\\par}"));
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(dir.File("out.pdf")));
  ASSERT_TRUE(editor.Print(printer));
  std::string pdf = testing::ReadText(dir.File("out.pdf"));
  size_t pages = 0;
  for (size_t at = pdf.find("/Type /Page\n"); at != std::string::npos; at = pdf.find("/Type /Page\n", at + 1)) ++pages;
  if (pages == 0) {
    for (size_t at = pdf.find("/Type /Page"); at != std::string::npos; at = pdf.find("/Type /Page", at + 1))
      pages += pdf.compare(at, 12, "/Type /Pages") != 0;
  }
  EXPECT_EQ(pages, 3u);
  // US Letter in points.
  EXPECT_NE(pdf.find("/MediaBox [0 0 612.000000 792.000000]"), std::string::npos) << pdf.substr(pdf.find("/MediaBox"), 40);
}

}  // namespace
}  // namespace tlm
