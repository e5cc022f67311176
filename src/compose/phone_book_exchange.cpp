#include "compose/phone_book_exchange.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include "app/field_text.h"
#include "app/message_boxes.h"
#include "app/table_access.h"
#include "platform/file_util.h"

namespace tlm {

namespace {

constexpr int kNameWidth = 35;
constexpr int kPhoneWidth = 25;
constexpr int kReportedProblems = 10;  // at most this many listed in a box

// The file's text; false when it is not UTF-8. A byte order mark is dropped.
bool DecodeUtf8(const QByteArray& bytes, QString& text) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  text = decoder.decode(bytes);
  if (decoder.hasError()) return false;
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  return true;
}

QString NotUtf8() { return QStringLiteral("The file is not UTF-8 text."); }

// --- CSV -------------------------------------------------------------------

struct CsvRow {
  QStringList fields;
  int line = 0;
};

// RFC 4180 records; CR LF or LF ends a record; blank lines are skipped.
bool SplitCsv(const QString& text, std::vector<CsvRow>& rows, QString& error) {
  int line = 1;
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n) {
    CsvRow row;
    row.line = line;
    bool endOfRecord = false;
    while (!endOfRecord) {
      QString field;
      if (i < n && text[i] == '"') {
        const int quoteLine = line;
        ++i;
        for (;;) {
          if (i >= n) {
            error = QStringLiteral("Line %1: a quoted field is not closed.").arg(quoteLine);
            return false;
          }
          if (text[i] == '"') {
            if (i + 1 < n && text[i + 1] == '"') {
              field += '"';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          if (text[i] == '\n') ++line;
          field += text[i++];
        }
        if (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
          error = QStringLiteral("Line %1: text follows the closing quote of a field.").arg(line);
          return false;
        }
      } else {
        while (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
          if (text[i] == '"') {
            error = QStringLiteral("Line %1: a quote inside a field that is not in quotes.").arg(line);
            return false;
          }
          field += text[i++];
        }
      }
      row.fields << field;
      if (i < n && text[i] == ',') {
        ++i;
        continue;
      }
      if (i < n && text[i] == '\r') ++i;
      if (i < n && text[i] == '\n') ++i;
      ++line;
      endOfRecord = true;
    }
    const bool blank = row.fields.size() == 1 && row.fields[0].isEmpty();
    if (!blank) rows.push_back(std::move(row));
  }
  return true;
}

int ColumnOf(const QStringList& header, std::initializer_list<const char*> names) {
  for (int c = 0; c < header.size(); ++c) {
    const QString title = header[c].trimmed().toLower();
    for (const char* name : names) {
      if (title == QLatin1String(name)) return c;
    }
  }
  return -1;
}

QString CsvField(const QString& value) {
  if (!value.contains(QRegularExpression(QStringLiteral("[\",\\r\\n]"))) && value.trimmed() == value) return value;
  return '"' + QString(value).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + '"';
}

// --- vCard -----------------------------------------------------------------

QString Unescape(const QString& value) {
  QString out;
  for (qsizetype i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      const QChar next = value[++i];
      out += (next == 'n' || next == 'N') ? QChar('\n') : next;
    } else {
      out += value[i];
    }
  }
  return out;
}

// Splits at the separators that are not escaped.
QStringList SplitUnescaped(const QString& value, QChar separator) {
  QStringList parts;
  QString part;
  for (qsizetype i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      part += value[i];
      part += value[++i];
    } else if (value[i] == separator) {
      parts << part;
      part.clear();
    } else {
      part += value[i];
    }
  }
  parts << part;
  return parts;
}

QString EscapeText(const QString& value) {
  QString out;
  for (QChar c : value) {
    if (c == '\\' || c == ',' || c == ';') out += '\\';
    if (c == '\n') {
      out += QStringLiteral("\\n");
      continue;
    }
    out += c;
  }
  return out;
}

struct ContentLine {
  QString name;  // upper case, group dropped
  QStringList parameters;
  QString value;
};

bool ReadContentLine(const QString& line, ContentLine& out) {
  bool quoted = false;
  qsizetype colon = -1;
  for (qsizetype i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ':' && !quoted) {
      colon = i;
      break;
    }
  }
  if (colon < 0) return false;
  QStringList head = line.left(colon).split(';');
  QString name = head.takeFirst().toUpper();
  const qsizetype dot = name.lastIndexOf('.');
  if (dot >= 0) name = name.mid(dot + 1);
  out.name = name;
  out.parameters = head;
  out.value = line.mid(colon + 1);
  return true;
}

bool IsFaxNumber(const ContentLine& tel) {
  for (const QString& parameter : tel.parameters) {
    QString types = parameter.toLower();
    if (types.startsWith(QStringLiteral("type="))) types = types.mid(5);
    types.remove('"');
    for (const QString& type : types.split(',')) {
      if (type.trimmed() == QStringLiteral("fax")) return true;
    }
  }
  return false;
}

QString TelValue(QString value) {
  value = value.trimmed();
  if (value.startsWith(QStringLiteral("tel:"), Qt::CaseInsensitive)) {
    value = value.mid(4);
    const qsizetype parameters = value.indexOf(';');  // ;ext=, ;phone-context=
    if (parameters >= 0) value.truncate(parameters);
  }
  return Unescape(value);
}

}  // namespace

ParsedEntries ParseCsv(const QByteArray& bytes) {
  ParsedEntries parsed;
  QString text;
  if (!DecodeUtf8(bytes, text)) {
    parsed.error = NotUtf8();
    return parsed;
  }
  std::vector<CsvRow> rows;
  if (!SplitCsv(text, rows, parsed.error)) return parsed;
  if (rows.empty()) {
    parsed.error = QStringLiteral("The file holds no header row.");
    return parsed;
  }
  const QStringList& header = rows.front().fields;
  const int nameColumn = ColumnOf(header, {"name", "full name", "fn"});
  const int orgColumn = ColumnOf(header, {"organisation", "organization", "company", "org"});
  const int faxColumn = ColumnOf(header, {"fax", "fax #", "fax#", "fax number", "phone"});
  if ((nameColumn < 0 && orgColumn < 0) || faxColumn < 0) {
    parsed.error = QStringLiteral("The first row must name the columns, e.g. Name,Organisation,Fax.");
    return parsed;
  }
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const CsvRow& row = rows[r];
    if (row.fields.size() != header.size()) {
      parsed.error = QStringLiteral("Line %1 has %2 fields; the header row names %3.")
                         .arg(row.line)
                         .arg(row.fields.size())
                         .arg(header.size());
      parsed.entries.clear();
      return parsed;
    }
    PhoneEntry entry;
    entry.line = row.line;
    if (nameColumn >= 0) entry.name = row.fields[nameColumn].trimmed();
    if (orgColumn >= 0) entry.organisation = row.fields[orgColumn].trimmed();
    entry.number = row.fields[faxColumn].trimmed();
    parsed.entries.push_back(entry);
  }
  return parsed;
}

ParsedEntries ParseVCards(const QByteArray& bytes) {
  ParsedEntries parsed;
  QString text;
  if (!DecodeUtf8(bytes, text)) {
    parsed.error = NotUtf8();
    return parsed;
  }
  // Unfolding: a line break followed by a blank or tab continues the line.
  QStringList physical = text.split('\n');
  std::vector<std::pair<int, QString>> lines;  // line number, logical line
  for (int i = 0; i < physical.size(); ++i) {
    QString line = physical[i];
    if (line.endsWith('\r')) line.chop(1);
    if (!lines.empty() && !line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
      lines.back().second += line.mid(1);
    } else {
      lines.emplace_back(i + 1, line);
    }
  }
  bool inCard = false;
  PhoneEntry entry;
  QString structuredName;
  for (const auto& [number, line] : lines) {
    if (line.trimmed().isEmpty()) continue;
    ContentLine content;
    if (!ReadContentLine(line, content)) {
      if (inCard) {
        parsed.error = QStringLiteral("Line %1 is not a vCard line.").arg(number);
        parsed.entries.clear();
        return parsed;
      }
      continue;
    }
    if (content.name == QLatin1String("BEGIN") && content.value.trimmed().toUpper() == QLatin1String("VCARD")) {
      if (inCard) {
        parsed.error = QStringLiteral("The card begun before line %1 has no END:VCARD.").arg(number);
        parsed.entries.clear();
        return parsed;
      }
      inCard = true;
      entry = PhoneEntry{};
      entry.line = number;
      structuredName.clear();
    } else if (!inCard) {
      continue;
    } else if (content.name == QLatin1String("END")) {
      inCard = false;
      if (entry.name.isEmpty()) entry.name = structuredName;
      if (entry.number.isEmpty()) {
        const QString who = !entry.name.isEmpty() ? entry.name : entry.organisation;
        parsed.skipped << QStringLiteral("Line %1: \"%2\" has no fax number.").arg(entry.line).arg(who);
      } else {
        parsed.entries.push_back(entry);
      }
    } else if (content.name == QLatin1String("FN")) {
      entry.name = Unescape(content.value).trimmed();
    } else if (content.name == QLatin1String("N")) {
      // family;given;additional;prefixes;suffixes
      const QStringList parts = SplitUnescaped(content.value, ';');
      QStringList shown;
      for (int i : {3, 1, 2, 0, 4}) {
        if (i < parts.size() && !Unescape(parts[i]).trimmed().isEmpty()) shown << Unescape(parts[i]).trimmed();
      }
      structuredName = shown.join(' ');
    } else if (content.name == QLatin1String("ORG")) {
      entry.organisation = Unescape(SplitUnescaped(content.value, ';').value(0)).trimmed();
    } else if (content.name == QLatin1String("TEL") && entry.number.isEmpty() && IsFaxNumber(content)) {
      entry.number = TelValue(content.value);
    }
  }
  if (inCard) {
    parsed.error = QStringLiteral("The last card has no END:VCARD.");
    parsed.entries.clear();
  }
  return parsed;
}

ParsedEntries ParsePhoneBookFile(const QByteArray& bytes) {
  QByteArray start = bytes.left(64).trimmed();
  if (start.startsWith("\xEF\xBB\xBF")) start = start.mid(3);
  if (start.toUpper().startsWith("BEGIN:VCARD")) return ParseVCards(bytes);
  return ParseCsv(bytes);
}

QByteArray WriteCsv(const std::vector<PhoneEntry>& entries) {
  QString text = QStringLiteral("Name,Organisation,Fax\r\n");
  for (const PhoneEntry& e : entries) {
    text += CsvField(e.name) + ',' + CsvField(e.organisation) + ',' + CsvField(e.number) + QStringLiteral("\r\n");
  }
  return text.toUtf8();
}

QByteArray WriteVCards(const std::vector<PhoneEntry>& entries) {
  QString text;
  for (const PhoneEntry& e : entries) {
    text += QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\n");
    text += QStringLiteral("FN:") + EscapeText(e.name) + QStringLiteral("\r\n");
    text += QStringLiteral("N:") + EscapeText(e.name) + QStringLiteral(";;;;\r\n");
    if (!e.organisation.isEmpty()) text += QStringLiteral("ORG:") + EscapeText(e.organisation) + QStringLiteral("\r\n");
    text += QStringLiteral("TEL;TYPE=FAX:") + e.number + QStringLiteral("\r\n");
    text += QStringLiteral("END:VCARD\r\n");
  }
  return text.toUtf8();
}

QString StoredName(const PhoneEntry& entry) { return entry.name.isEmpty() ? entry.organisation : entry.name; }

QString EntryProblem(const PhoneEntry& entry) {
  const QString name = StoredName(entry);
  const QString where = entry.line > 0 ? QStringLiteral("Line %1: ").arg(entry.line) : QString();
  if (name.isEmpty() && entry.number.isEmpty()) return where + QStringLiteral("an entry without name and number.");
  for (const QString& problem : {FieldWidthProblem(QStringLiteral("the name"), name, kNameWidth),
                                 FieldWidthProblem(QStringLiteral("the fax number"), entry.number, kPhoneWidth)}) {
    if (!problem.isEmpty()) return where + problem;
  }
  if (!FaxNumberProblem(entry.number).isEmpty()) {
    return where + QStringLiteral("the fax number \"%1\" holds letters or signs that cannot be dialled.")
                       .arg(entry.number);
  }
  return {};
}

std::vector<PhoneEntry> ReadPhoneBook(TableAccess& table) {
  std::vector<PhoneEntry> entries;
  const bool hadRecord = table.HasCurrentRecord();
  const int current = table.RecNo();
  for (bool more = table.First(); more && !table.Eof(); more = table.Next()) {
    entries.push_back({FieldText(table.Field("NAME")), {}, FieldText(table.Field("PHONE")), 0});
  }
  if (hadRecord) table.Go(current);
  return entries;
}

int ImportPhoneBookFile(QWidget* parent, TableAccess& table, const QString& path) {
  std::string bytes;
  if (!ReadWholeFile(path.toStdString(), bytes)) {
    ShowInformation(parent, QStringLiteral("Unable to read %1").arg(path));
    return -1;
  }
  const ParsedEntries parsed = ParsePhoneBookFile(QByteArray::fromStdString(bytes));
  if (!parsed.error.isEmpty()) {
    ShowInformation(parent, QStringLiteral("Nothing was imported from %1:\r%2").arg(path, parsed.error));
    return -1;
  }
  QStringList problems = parsed.skipped;
  std::vector<PhoneEntry> fitting;
  for (const PhoneEntry& entry : parsed.entries) {
    const QString problem = EntryProblem(entry);
    if (problem.isEmpty()) {
      fitting.push_back(entry);
    } else {
      problems << problem;
    }
  }
  if (!problems.isEmpty()) {
    QStringList shown = problems.mid(0, kReportedProblems);
    if (problems.size() > kReportedProblems) shown << QStringLiteral("... and %1 more").arg(problems.size() - kReportedProblems);
    const QString question = QStringLiteral("%1 of the entries cannot be imported as they are:\r%2\r\rImport the other %3?")
                                 .arg(problems.size())
                                 .arg(shown.join('\r'))
                                 .arg(fitting.size());
    if (fitting.empty()) {
      ShowInformation(parent, QStringLiteral("Nothing was imported from %1:\r%2").arg(path, shown.join('\r')));
      return -1;
    }
    if (!AskYesNo(parent, question, QStringLiteral("Import"))) return 0;
  }
  int added = 0;
  for (const PhoneEntry& entry : fitting) {
    if (!table.AppendRecord()) break;
    if (!table.SetField("NAME", TextToField(StoredName(entry))) || !table.SetField("PHONE", TextToField(entry.number))) {
      table.DeleteRecord();
      break;
    }
    ++added;
  }
  if (added < static_cast<int>(fitting.size())) {
    ShowInformation(parent, QStringLiteral("The phone book refused an entry; %1 of %2 entries were added.")
                                .arg(added)
                                .arg(fitting.size()));
  } else {
    ShowInformation(parent, QStringLiteral("%1 entries were added to the phone book.").arg(added));
  }
  return added;
}

int ExportPhoneBookFile(QWidget* parent, TableAccess& table, const QString& path) {
  const std::vector<PhoneEntry> entries = ReadPhoneBook(table);
  const bool vcard = QFileInfo(path).suffix().compare(QStringLiteral("vcf"), Qt::CaseInsensitive) == 0;
  const QByteArray bytes = vcard ? WriteVCards(entries) : WriteCsv(entries);
  std::string error;
  if (!WriteFileAtomically(path.toStdString(), std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                           &error)) {
    ShowInformation(parent, QStringLiteral("Unable to write %1: %2").arg(path, QString::fromLocal8Bit(error.c_str())));
    return -1;
  }
  return static_cast<int>(entries.size());
}

}  // namespace tlm
