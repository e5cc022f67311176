#include "app/table_text.h"

#include "app/message_boxes.h"
#include "app/table_access.h"
#include "platform/code_page_1252.h"

namespace tlm {

QString FromTableText(const std::string& stored) {
  // Some programs pad fields with NUL bytes: the text ends at the first.
  return QString::fromStdString(Cp1252ToUtf8(std::string_view(stored.c_str())));
}

std::optional<std::string> ToTableText(const QString& text, QString* refusal) {
  char32_t bad = 0;
  std::optional<std::string> bytes = Utf8ToCp1252(text.toStdString(), &bad);
  if (!bytes && refusal) {
    const char32_t shown[] = {bad, 0};
    *refusal = QStringLiteral("The character \"%1\" (U+%2) cannot be stored in the fax log.\rPlease remove it.")
                   .arg(QString::fromUcs4(shown), QString::number(static_cast<unsigned>(bad), 16).toUpper().rightJustified(4, '0'));
  }
  return bytes;
}

bool StoreTextField(QWidget* parent, TableAccess& table, const std::string& field, const QString& text) {
  QString refusal;
  const std::optional<std::string> bytes = ToTableText(text, &refusal);
  if (!bytes) {
    ShowInformation(parent, refusal);
    return false;
  }
  if (!table.SetField(field, *bytes)) {
    ShowInformation(parent, QStringLiteral("The fax log could not be written."));
    return false;
  }
  return true;
}

}  // namespace tlm
