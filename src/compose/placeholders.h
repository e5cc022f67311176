#pragma once
// The placeholders of cover templates: insert points of the rich-text editor
// with a tag from 1 to 5, filled from the fax editor's fields and the clock
// when a template is loaded for a fax.
#include <QDateTime>
#include <QString>
#include <array>

namespace tlm {

class RichTextEditor;

struct Placeholder {
  int tag;
  const char* menuItem;     // the Insert menu's item
  const char* displayText;  // what a template shows
};

inline constexpr std::array<Placeholder, 5> kPlaceholders{{
    {1, "Recipient", "[RECIPIENT]"},
    {2, "Fax Number", "[FAX#]"},
    {3, "Subject", "[SUBJECT]"},
    {4, "Date", "[DATE]"},
    {5, "Time", "[TIME]"},
}};

// The tag of an Insert menu item, recognised by its caption in upper case
// ("FAX NUMBER", "&Date" ...); 0 for none.
int PlaceholderTagOfMenuItem(const QString& caption);

// What the placeholders are filled with.
struct PlaceholderValues {
  QString recipient;
  QString faxNumber;
  QString subject;
  QDateTime now;
};

// The text of one tag: the fields as given, the date in the short date
// format and the time in the long time format of the system; at most 100
// characters.
QString PlaceholderText(int tag, const PlaceholderValues& values);

// Fills every placeholder of `editor`, hides their marks and makes the
// filled texts ordinary text.
void FillPlaceholders(RichTextEditor& editor, const PlaceholderValues& values);

}  // namespace tlm
