#include "compose/placeholders.h"

#include <QLocale>

#include "richtext/rich_text_editor.h"

namespace tlm {

int PlaceholderTagOfMenuItem(const QString& caption) {
  const QString upper = QString(caption).remove('&').toUpper();
  for (const Placeholder& p : kPlaceholders) {
    if (upper == QString::fromLatin1(p.menuItem).toUpper()) return p.tag;
  }
  return 0;
}

QString PlaceholderText(int tag, const PlaceholderValues& values) {
  QString text;
  switch (tag) {
    case 1: text = values.recipient; break;
    case 2: text = values.faxNumber; break;
    case 3: text = values.subject; break;
    case 4: text = QLocale::system().toString(values.now.date(), QLocale::ShortFormat); break;
    case 5: text = QLocale::system().toString(values.now.time(), QLocale::LongFormat); break;
    default: break;
  }
  return text.left(RichTextEditor::kMaxInsertText);
}

void FillPlaceholders(RichTextEditor& editor, const PlaceholderValues& values) {
  editor.FillInsertPoints([&values](int tag) { return PlaceholderText(tag, values); });
  editor.HideInsertMarks();
  // A filled placeholder is part of the fax's text from now on: it is never
  // filled again, and it lays out as if the user had typed it.
  editor.DissolveInsertPoints();
}

}  // namespace tlm
