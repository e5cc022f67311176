#include "app/field_text.h"

#include <QList>

#include "app/table_text.h"
#include "platform/code_page_1252.h"

namespace tlm {

namespace {

// Letters and signs that have no decomposition into a base letter.
char ClosestWithoutDecomposition(char32_t c) {
  switch (c) {
    case U'\u0141': return 'L';  // Ł
    case U'\u0142': return 'l';
    case U'\u0110': return 'D';  // Đ
    case U'\u0111': return 'd';
    case U'\u0131': return 'i';  // dotless i
    case U'\u0126': return 'H';
    case U'\u0127': return 'h';
    case U'\u0166': return 'T';
    case U'\u0167': return 't';
    case U'\u2010': case U'\u2011': case U'\u2012': case U'\u2043': case U'\u2212': return '-';
    case U'\u2032': return '\'';
    case U'\u2033': return '"';
    case U'\u00A0': case U'\u2002': case U'\u2003': case U'\u2009': case U'\u202F': return ' ';
    default: return 0;
  }
}

void AppendClosest(char32_t c, std::string& out) {
  if (c == '\n' || c == '\r' || c == '\t') {
    out += ' ';
    return;
  }
  const int byte = Cp1252Byte(c);
  if (byte >= 0 && c >= 0x20) {
    out += static_cast<char>(byte);
    return;
  }
  if (c < 0x20) return;  // other control characters are dropped
  if (char plain = ClosestWithoutDecomposition(c)) {
    out += plain;
    return;
  }
  // Compatibility decomposition: base letters of accented ones, "fi" of the
  // ligature, digits of superscripts; combining marks are left out.
  const QString decomposed = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_KD);
  std::string closest;
  for (char32_t d : decomposed.toUcs4()) {
    if (QChar::category(d) == QChar::Mark_NonSpacing || QChar::category(d) == QChar::Mark_SpacingCombining ||
        QChar::category(d) == QChar::Mark_Enclosing) {
      continue;
    }
    const int b = Cp1252Byte(d);
    if (b < 0x20 || d == c) {
      closest.clear();
      break;
    }
    closest += static_cast<char>(b);
  }
  out += closest.empty() ? std::string("?") : closest;
}

}  // namespace

QString FieldText(const std::string& stored) {
  const std::size_t found = stored.find_last_not_of(' ');
  return FromTableText(stored.substr(0, found == std::string::npos ? 0 : found + 1));
}

std::string TextToField(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (char32_t c : text.toUcs4()) AppendClosest(c, out);
  return out;
}

QString StorableText(const QString& text) { return FieldText(TextToField(text)); }

QString TypedFieldProblem(const QString& what, const QString& text, int width) {
  QString refusal;
  if (!ToTableText(text, &refusal)) return refusal;
  return FieldWidthProblem(what, text, width);
}

QString FieldWidthProblem(const QString& what, const QString& text, int width) {
  if (TextToField(text).size() <= static_cast<std::size_t>(width)) return {};
  return QStringLiteral("%1 \"%2\" is longer than %3 characters.").arg(what, text).arg(width);
}

QString FaxNumberProblem(const QString& number) {
  for (QChar c : number) {
    if (c.isDigit() && c.unicode() < 0x80) continue;
    if (QStringLiteral(" +-()./,*#!@WwPpTt").contains(c)) continue;
    return QStringLiteral("The fax number \"%1\" holds the character \"%2\".\rA fax number may hold only digits, "
                          "blanks and the dialling characters + - ( ) . / , * # ! @ W P T.")
        .arg(number, c);
  }
  return {};
}

}  // namespace tlm
