// Draws the fax editor with a cover filled from a template, with a logo and
// a small price table, into a PNG file (scripts/screenshot.sh makes
// docs/fax-editor.png with it).
// Usage: fax_editor_picture OUT.png
#include <QApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextCursor>
#include <cstdio>

#include "app/core/settings.h"
#include "app/storage_tables.h"
#include "compose/fax_editor.h"
#include "compose/placeholders.h"
#include "platform/data_folder.h"
#include "richtext/picture_insert.h"
#include "richtext/rich_text_editor.h"
#include "richtext/table_editing.h"

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

// A company logo: white letters on a dark square, the name beside it.
QImage Logo() {
  QImage logo(480, 120, QImage::Format_RGB32);
  logo.fill(Qt::white);
  QPainter p(&logo);
  p.fillRect(0, 0, 120, 120, QColor(20, 40, 90));
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(64);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(0, 0, 120, 120), Qt::AlignCenter, QStringLiteral("AC"));
  font.setPixelSize(54);
  p.setFont(font);
  p.setPen(QColor(20, 40, 90));
  p.drawText(QRect(140, 0, 340, 120), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Acme Corp"));
  return logo;
}

// Types `cells` row by row into the table the caret has just been put in.
void FillTable(tlm::RichTextEditor& e, const std::vector<QString>& cells) {
  for (std::size_t i = 0; i < cells.size(); ++i) {
    QTextCursor c = e.TextCursor();
    c.insertText(cells[i]);
    if (i + 1 < cells.size()) c.movePosition(QTextCursor::NextCell);
    e.SetTextCursor(c);
  }
  QTextCursor c = e.TextCursor();
  c.movePosition(QTextCursor::End);
  e.SetTextCursor(c);
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
  QTextCursor top = cover.TextCursor();
  tlm::InsertPicture(top, Logo(), QByteArray(), 2 * 1440, 1440 / 2);
  cover.SetTextCursor(top);
  Write(cover, QStringLiteral("\nFAX\n\n"), 28, true);
  Field(cover, QStringLiteral("To:\t"), 1, "[RECIPIENT]");
  Field(cover, QStringLiteral("Fax:\t"), 2, "[FAX#]");
  Field(cover, QStringLiteral("Subject:\t"), 3, "[SUBJECT]");
  Field(cover, QStringLiteral("Date:\t"), 4, "[DATE]");
  Write(cover, QStringLiteral("\nPlease find our offer below and on the following pages.\n"), 12, false);
  tlm::InsertTableAtCaret(cover, 3, 3);
  FillTable(cover, {QStringLiteral("Item"), QStringLiteral("Quantity"), QStringLiteral("Price"),
                    QStringLiteral("Toner cartridge"), QStringLiteral("12"), QStringLiteral("$ 540.00"),
                    QStringLiteral("Drum unit"), QStringLiteral("2"), QStringLiteral("$ 310.00")});
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
