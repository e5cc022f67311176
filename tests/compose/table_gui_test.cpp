// Tables in the fax editor, made from the keyboard as a user makes them:
// "Insert Table" from its key, text typed into the cells, a row and a column
// added, a column removed, a column's width set; the fax saved into the
// outgoing log (read back by python3-dbf) holds that table. The cover
// editor's toolbar has the same Table menu.
#include <QDoubleSpinBox>
#include <QMenu>
#include <QSpinBox>
#include <QTextTable>
#include <QToolBar>
#include <QToolButton>

#include "app/core/settings.h"
#include "compose/compose_context.h"
#include "compose/cover_editor.h"
#include "compose/fax_editor.h"
#include "compose_gui_support.h"
#include "richtext/rtf/rtf_reader.h"

namespace tlm {
namespace {

using testing::ButtonIn;
using testing::EditIn;
using testing::TypeInto;

class TableEditingTest : public testing::ComposeWindowTest {
 protected:
  static void Key(QWidget* to, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(to, key, modifiers);
  }
  // Offscreen, a window is not made active again when a dialog over it
  // closes, as a window system does.
  static void BackTo(QWidget* window) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  }
  static QTextTable* TableAtCaret(RichTextEditor* editor) { return editor->TextCursor().currentTable(); }
};

TEST_F(TableEditingTest, ATableMadeFromTheKeyboardIsSavedWithTheFax) {
  auto w = OpenMain();
  driver.Then([&](QWidget* dialog) {
    auto* editor = qobject_cast<TFaxEditor*>(dialog);
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(EditIn(editor, "Subject"), "Prices");
    ButtonIn(editor, "DocumentButton")->click();
    RichTextEditor* doc = editor->Document();
    QWidget* page = doc->View()->viewport();
    TypeInto(doc, "Price list");
    Key(page, Qt::Key_Return);

    driver.Then([&](QWidget* insert) {
      EXPECT_EQ(insert->windowTitle(), "Insert Table");
      QWidget* rows = insert->focusWidget();
      ASSERT_EQ(rows, insert->findChild<QSpinBox*>("RowsEdit"));
      QTest::keyClicks(rows, "3");
      Key(rows, Qt::Key_Tab);
      QTest::keyClicks(insert->focusWidget(), "3");
      Key(insert->focusWidget(), Qt::Key_Return);  // OK is the default button
    });
    Key(page, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    BackTo(editor);
    QTextTable* table = TableAtCaret(doc);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rows(), 3);
    EXPECT_EQ(table->columns(), 3);
    QTest::keyClicks(page, "Item");
    Key(page, Qt::Key_Right);  // on into the next cell
    QTest::keyClicks(page, "Qty");
    Key(page, Qt::Key_Right);
    QTest::keyClicks(page, "Price");

    Key(page, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);  // a column right of "Price"
    EXPECT_EQ(table->columns(), 4);
    QTest::keyClicks(page, "Extra");
    Key(page, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);  // a row below
    EXPECT_EQ(table->rows(), 4);
    EXPECT_EQ(table->cellAt(doc->TextCursor()).row(), 1);
    Key(page, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);  // "Extra" goes again
    EXPECT_EQ(table->columns(), 3);
    Key(page, Qt::Key_Home, Qt::ControlModifier);
    Key(page, Qt::Key_Down);  // into the first cell
    ASSERT_EQ(TableAtCaret(doc), table);

    driver.Then([&](QWidget* width) {
      EXPECT_EQ(width->windowTitle(), "Column Width");
      auto* edit = width->findChild<QDoubleSpinBox*>("WidthEdit");
      ASSERT_EQ(width->focusWidget(), edit);
      QTest::keyClicks(edit, edit->suffix() == " in" ? "2" : "5.08");
      Key(edit, Qt::Key_Return);
    });
    Key(page, Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
    BackTo(editor);
    // Escape leaves the dialog without a change.
    driver.Then([&](QWidget* width) { Key(width->focusWidget(), Qt::Key_Escape); });
    Key(page, Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
    ButtonIn(editor, "OKButton")->click();
  });
  w->findChild<QPushButton*>("Newbutton")->click();
  ExpectAllAnswered();
  w->close();

  rtf::Document saved;
  ASSERT_TRUE(ReadSavedDocument(saved));
  ASSERT_EQ(saved.tables.size(), 1u);
  const rtf::Table& table = saved.tables[0];
  ASSERT_EQ(table.rows.size(), 4u);
  for (const rtf::TableRow& row : table.rows) {
    ASSERT_EQ(row.cells.size(), 3u);
    EXPECT_NEAR(row.cells[0].rightEdge - row.left, 2880, 20) << "the first column is two inches wide";
    EXPECT_LE(row.cells[2].rightEdge, 12240 - 2 * 720) << "the table stays within the text";
    EXPECT_EQ(row.cells[0].bottom.style, rtf::BorderStyle::Single);
  }
  std::vector<std::string> firstRow;
  for (const rtf::Paragraph& p : saved.paragraphs)
    if (p.cell.table == 0 && p.cell.row == 0) firstRow.push_back(p.Text());
  EXPECT_EQ(firstRow, (std::vector<std::string>{"Item", "Qty", "Price"}));
  EXPECT_EQ(saved.paragraphs.front().Text(), "Price list");
  EXPECT_EQ(saved.paragraphs[1].cell.table, 0) << "the table takes the empty line it was inserted at";
}

TEST_F(TableEditingTest, TheTableMenuFollowsTheCaret) {
  Settings settings;
  ComposeContext context{*tables, settings, Folder()};
  TCoverEditor editor(context);
  editor.show();
  RichTextEditor* text = editor.findChild<RichTextEditor*>();
  ASSERT_NE(text, nullptr);
  auto* button = text->ToolBar()->findChild<QToolButton*>("TableButton");
  ASSERT_NE(button, nullptr);
  QMenu* menu = button->menu();
  auto item = [menu](const char* name) { return menu->findChild<QAction*>(name); };
  emit menu->aboutToShow();
  EXPECT_TRUE(item("InsertTableAction")->isEnabled());
  EXPECT_FALSE(item("DeleteRowAction")->isEnabled());
  emit menu->aboutToHide();

  driver.Then([&](QWidget* insert) {
    insert->findChild<QSpinBox*>("RowsEdit")->setValue(1);
    insert->findChild<QSpinBox*>("ColumnsEdit")->setValue(2);
    ButtonIn(insert, "OKButton")->click();
  });
  item("InsertTableAction")->trigger();
  ExpectAllAnswered();
  ASSERT_NE(TableAtCaret(text), nullptr);
  emit menu->aboutToShow();
  EXPECT_FALSE(item("InsertTableAction")->isEnabled()) << "no table inside a table";
  EXPECT_TRUE(item("DeleteRowAction")->isEnabled());
  emit menu->aboutToHide();
  // Removing its only row removes the table.
  item("DeleteRowAction")->trigger();
  EXPECT_EQ(TableAtCaret(text), nullptr);
  EXPECT_TRUE(text->Model().tables.empty());
}

}  // namespace
}  // namespace tlm
