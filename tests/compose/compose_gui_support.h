#pragma once
// Shared set-up of the composing windows' tests: a data folder with the real
// tables, the main window with the composing commands installed, a driver
// for the modal windows, typing into the rich-text editors, and reading the
// files back with python3-dbf and the Perl XBase module.
#include <gtest/gtest.h>

#include <QAction>
#include <QGraphicsView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/main_screen.h"
#include "app/storage_tables.h"
#include "compose/compose_hooks.h"
#include "gui_test_support.h"
#include "modal_driver.h"
#include "richtext/rich_text_editor.h"
#include "richtext/rtf/rtf_reader.h"
#include "storage/log_tables.h"
#include "storage/xb_components.h"

namespace tlm::testing {

inline std::vector<std::string> RunLines(const std::string& command) {
  std::vector<std::string> lines;
  FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (!p) return lines;
  std::string line;
  int c;
  while ((c = std::fgetc(p)) != EOF) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  if (!line.empty()) lines.push_back(line);
  EXPECT_EQ(::pclose(p), 0) << command << "\n" << (lines.empty() ? "" : lines.back());
  return lines;
}

// A record as python3-dbf reads it: field name to value (memos as text).
struct DbfRecord {
  bool deleted = false;
  std::map<std::string, QString> values;
};

// Every record of a table, deleted ones too, read by python3-dbf. Texts are
// decoded from the table's code page 1252 by the reader.
inline std::vector<DbfRecord> ReadDbf(const std::string& path) {
  std::vector<DbfRecord> records;
  std::vector<std::string> lines =
      RunLines("/usr/bin/python3 " TOLMERA_STORAGE_TEST_DIR "/dbf_dump.py '" + path + "'");
  if (lines.empty()) return records;
  const QJsonObject head = QJsonDocument::fromJson(QByteArray::fromStdString(lines[0])).object();
  const QJsonArray fields = head.value("fields").toArray();
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const QJsonObject row = QJsonDocument::fromJson(QByteArray::fromStdString(lines[i])).object();
    DbfRecord record;
    record.deleted = row.value("deleted").toBool();
    const QJsonArray values = row.value("values").toArray();
    for (int f = 0; f < fields.size() && f < values.size(); ++f) {
      record.values[fields[f].toString().toUpper().toStdString()] = values[f].toString();
    }
    records.push_back(record);
  }
  return records;
}

// The keys of a CDX tag in stored order, read by the Perl XBase module.
inline std::vector<std::string> ReadTagKeys(const std::string& cdx, const std::string& tag) {
  std::vector<std::string> keys;
  for (const std::string& line :
       RunLines("/usr/bin/perl " TOLMERA_STORAGE_TEST_DIR "/cdx_dump.pl '" + cdx + "' " + tag + " C")) {
    keys.push_back(line.substr(0, line.rfind('|')));
  }
  return keys;
}

inline QPushButton* ButtonIn(QWidget* w, const char* name) {
  auto* b = w->findChild<QPushButton*>(QString::fromLatin1(name));
  EXPECT_NE(b, nullptr) << name;
  return b;
}
inline QLineEdit* EditIn(QWidget* w, const char* name) {
  auto* e = w->findChild<QLineEdit*>(QString::fromLatin1(name));
  EXPECT_NE(e, nullptr) << name;
  return e;
}
inline QAction* ActionIn(QWidget* w, const char* name) {
  auto* a = w->findChild<QAction*>(QString::fromLatin1(name));
  EXPECT_NE(a, nullptr) << name;
  return a;
}
// Selects a row of a grid as a click would.
inline void ClickRow(QWidget* w, const char* grid, int row) {
  auto* view = w->findChild<QTableView*>(QString::fromLatin1(grid));
  ASSERT_NE(view, nullptr) << grid;
  view->setCurrentIndex(view->model()->index(row, 0));
}
inline QStringList GridColumn(QWidget* w, const char* grid, int column = 0) {
  QStringList texts;
  auto* view = w->findChild<QTableView*>(QString::fromLatin1(grid));
  if (!view) return texts;
  for (int r = 0; r < view->model()->rowCount(); ++r) texts << view->model()->index(r, column).data().toString();
  return texts;
}

// Types into a rich-text editor: a click into its page, then the keys.
inline void TypeInto(RichTextEditor* editor, const QString& text, bool clickFirst = true) {
  QWidget* viewport = editor->View()->viewport();
  if (clickFirst) {
    QTest::mouseClick(viewport, Qt::LeftButton, {}, editor->View()->mapFromScene(QPointF(200, 80)));
  }
  QTest::keyClicks(viewport, text);
}

// Typing into a line edit as a user: everything selected, then the keys.
inline void Retype(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

// A cover template: "To: [RECIPIENT]", "Fax: [FAX#]" and a line of text, in
// 12-point Arial on the fax page.
inline std::string TemplateRtf(const QString& tail = QStringLiteral("Regards")) {
  RichTextEditor e;
  e.SetPageSetup({12240, 15840, 720, 720, 720, 720});
  e.ApplyFont(FontChoice{QStringLiteral("Arial"), 12, false, false, false});
  QTextCursor c = e.TextCursor();
  c.insertText(QStringLiteral("To: "));
  e.SetTextCursor(c);
  e.InsertInsertPoint(1, QStringLiteral("[RECIPIENT]"));
  c = e.TextCursor();
  c.insertBlock();
  c.insertText(QStringLiteral("Fax: "));
  e.SetTextCursor(c);
  e.InsertInsertPoint(2, QStringLiteral("[FAX#]"));
  c = e.TextCursor();
  c.insertBlock();
  c.insertText(tail);
  e.SetTextCursor(c);
  return e.RtfText();
}

class ComposeWindowTest : public ::testing::Test {
 protected:
  ComposeWindowTest() {
    App();
    InstallComposeHooks(hooks);
  }

  std::string File(const std::string& name) const { return data.dir.File(name); }
  std::string Folder() const { return data.dir.Folder(); }

  // The main window; its question for a rebuild is answered No.
  std::unique_ptr<TMainScreen> OpenMain() {
    driver.Click(QMessageBox::No);  // the logs have no rebuilt index yet
    auto w = std::make_unique<TMainScreen>(*tables, hooks);
    w->show();
    EXPECT_TRUE(WaitUntil([&] { return driver.Idle(); }));
    Settle();
    return w;
  }

  void AddRecord(LogTable kind, const std::vector<std::pair<std::string, std::string>>& fields) {
    TXbTable table;
    TXbEngine engine(table);
    ASSERT_TRUE(OpenLogDBF(kind, table, engine, Folder()));
    ASSERT_TRUE(table.Append());
    for (const auto& [name, value] : fields) ASSERT_TRUE(table.SetString(name, value)) << name;
    ASSERT_TRUE(table.Post()) << table.LastError();
  }
  // The rich text in `field` of the one record of the table `file` (by
  // default the document of the one fax in the outgoing log), as
  // python3-dbf reads it.
  ::testing::AssertionResult ReadSavedDocument(rtf::Document& saved, const std::string& file = "TLM.DBF",
                                               const std::string& field = "RTFDOC") const {
    const std::vector<DbfRecord> records = ReadDbf(File(file));
    if (records.size() != 1) return ::testing::AssertionFailure() << records.size() << " records in " << file;
    if (!rtf::ReadRtf(records[0].values.at(field).toStdString(), saved))
      return ::testing::AssertionFailure() << field << " is not RTF";
    return ::testing::AssertionSuccess();
  }
  void AddCover(const std::string& description, const std::string& rtfText) {
    AddRecord(LogTable::kCover, {{"DESCRIPT", description}, {"COVER", rtfText}});
  }
  void AddPhone(const std::string& name, const std::string& number) {
    AddRecord(LogTable::kPhone, {{"NAME", name}, {"PHONE", number}});
  }

  // Waits until every queued answer was used; nothing unexpected came up.
  void ExpectAllAnswered() {
    EXPECT_TRUE(WaitUntil([&] { return driver.Idle(); }));
    EXPECT_TRUE(driver.unexpected.empty()) << (driver.unexpected.empty() ? "" : driver.unexpected.front());
  }

  DataFolderScope data;
  std::unique_ptr<TableProvider> tables = CreateStorageTables();
  MainScreenHooks hooks;
  ModalDriver driver;
};

}  // namespace tlm::testing
