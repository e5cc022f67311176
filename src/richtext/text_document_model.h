#pragma once
// Converts between the RTF document model and a QTextDocument laid out at a
// given resolution. Lengths in the model are twips; in the QTextDocument they
// are pixels of the resolution given (dots per inch).
#include <QTextDocument>
#include <QTextFormat>

#include "richtext/rtf/rtf_document.h"

namespace tlm {

// The character-format property that marks a tagged insert point (1 to 5).
inline constexpr int kInsertTagProperty = QTextFormat::UserProperty + 1;

struct BuildOptions {
  double dpi = 96;
  bool insertMarks = true;   // highlight insert points
  bool forPrinting = false;  // black text, no anti-aliasing, no marks
};

// Replaces the content of `out` with `doc`, and sets its page size and root
// frame margins from the page set-up.
void BuildTextDocument(const rtf::Document& doc, const BuildOptions& options, QTextDocument& out);

// Reads the content of `in` (laid out at `dpi`) back into a model; the page
// set-up is `page`.
rtf::Document ModelFromTextDocument(const QTextDocument& in, double dpi, const rtf::PageSetup& page);

// Applies a page set-up to a document laid out at `dpi`: page size and
// margins. `wrap` false lays text out without breaking lines.
void ApplyPageSetup(QTextDocument& doc, const rtf::PageSetup& page, double dpi, bool wrap = true);

QTextCharFormat ToCharFormat(const rtf::CharFormat& format);
QTextBlockFormat ToBlockFormat(const rtf::ParaFormat& format, double dpi);
rtf::ParaFormat FromBlockFormat(const QTextBlockFormat& format, double dpi);

// The highlight of an insert point's text while marks are shown.
QColor InsertMarkColor();

}  // namespace tlm
