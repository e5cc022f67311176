// Draws the fax editor with a cover filled from a template into a PNG file
// (scripts/screenshot.sh makes docs/fax-editor.png with it).
// Usage: fax_editor_picture OUT.png
#include <QApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <QTextCursor>
#include <cstdio>

#include "app/core/settings.h"
#include "app/storage_tables.h"
#include "compose/fax_editor.h"
#include "compose/placeholders.h"
#include "platform/data_folder.h"
#include "richtext/rich_text_editor.h"

namespace {

void Write(tlm::RichTextEditor& e, const QString& text, int size, bool bold) {
  QTextCursor c = e.TextCursor();
  QTextCharFormat f = c.charFormat();
  f.setFontFamilies({QStringLiteral("Arial")});
  f.setFontPointSize(size);
  f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
  c.setCharFormat(f);
  c.insertText(text);
  e.SetTextCursor(c);
}

void Field(tlm::RichTextEditor& e, const QString& label, int tag, const char* shown) {
  Write(e, label, 12, true);
  Write(e, QString(), 12, false);
  e.InsertInsertPoint(tag, QString::fromLatin1(shown));
  Write(e, QStringLiteral("\n"), 12, false);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fax_editor_picture OUT.png\n");
    return 2;
  }
  QTemporaryDir data;
  qputenv("TOLMERA_HOME", data.path().toLocal8Bit());
  QApplication app(argc, argv);
  tlm::Settings settings;
  std::unique_ptr<tlm::TableProvider> tables = tlm::CreateStorageTables();
  tlm::ComposeContext context{*tables, settings, tlm::DataFolder()};
  tlm::TFaxEditor editor(context);
  editor.SetFields(QStringLiteral("Adams & Co"), QStringLiteral("+1 555 0101"),
                   QStringLiteral("Our offer for the spring season"));
  tlm::RichTextEditor& cover = *editor.Cover();
  Write(cover, QStringLiteral("FAX\n\n"), 28, true);
  Field(cover, QStringLiteral("To:\t"), 1, "[RECIPIENT]");
  Field(cover, QStringLiteral("Fax:\t"), 2, "[FAX#]");
  Field(cover, QStringLiteral("Subject:\t"), 3, "[SUBJECT]");
  Field(cover, QStringLiteral("Date:\t"), 4, "[DATE]");
  Write(cover, QStringLiteral("\nPlease find our offer on the following pages. Call us with any question.\n"), 12,
        false);
  tlm::FillPlaceholders(cover, {editor.Recipient(), editor.FaxNumber(), editor.Subject(),
                                QDateTime(QDate(2026, 3, 2), QTime(9, 30))});
  editor.resize(860, 620);
  editor.show();
  editor.ShowPage(tlm::TFaxEditor::kCoverPage);
  const QDeadlineTimer settle(500);
  while (!settle.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
  if (!editor.grab().save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "fax_editor_picture: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
