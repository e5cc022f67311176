#pragma once
// Phone book entries in and out of files other programs read and write:
// CSV (RFC 4180, UTF-8, a header row naming the fields) and vCard 3.0/4.0
// (name, organisation and the FAX-typed telephone number).
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

class QWidget;

namespace tlm {

class TableAccess;

struct PhoneEntry {
  QString name;
  QString organisation;
  QString number;
  int line = 0;  // where the entry starts in its file, for reports
  bool operator==(const PhoneEntry& o) const {
    return name == o.name && organisation == o.organisation && number == o.number;
  }
};

// Reading a file: the entries, or the first fault that makes the file
// unreadable as a whole (an open quote, a row with the wrong number of
// fields, a header without a name or fax column, a card without its end).
struct ParsedEntries {
  std::vector<PhoneEntry> entries;
  QString error;        // empty when the file read well
  QStringList skipped;  // cards left out, e.g. without a fax number
};

ParsedEntries ParseCsv(const QByteArray& bytes);
ParsedEntries ParseVCards(const QByteArray& bytes);
// By the file's contents: vCard when it begins with BEGIN:VCARD, else CSV.
ParsedEntries ParsePhoneBookFile(const QByteArray& bytes);

QByteArray WriteCsv(const std::vector<PhoneEntry>& entries);
QByteArray WriteVCards(const std::vector<PhoneEntry>& entries);

// Why an entry cannot be stored as it is (its name or number too long for
// the field once in the table's code page, a number with letters); empty
// when it fits. The name stored is the name, else the organisation.
QString EntryProblem(const PhoneEntry& entry);
QString StoredName(const PhoneEntry& entry);

// Every entry of the phone book, in its current order.
std::vector<PhoneEntry> ReadPhoneBook(TableAccess& table);

// The windows' commands. Import reads the whole file first: a file that
// cannot be read adds nothing; entries that do not fit are listed and the
// user decides whether the others are added. Export writes the file whole
// or not at all (vCard for a ".vcf" name, else CSV). Both report to the user
// and return the number of entries added / written, -1 on failure.
int ImportPhoneBookFile(QWidget* parent, TableAccess& table, const QString& path);
int ExportPhoneBookFile(QWidget* parent, TableAccess& table, const QString& path);

}  // namespace tlm
