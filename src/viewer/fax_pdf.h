#pragma once
// A fax as a PDF file: one PDF page per fax page at the fax's physical size
// (1728 pixels across 8.5 inches, lines at 3.85 or 7.7 a millimetre), each
// page a single 1-bit image, with the title and creation date in the
// document information.
#include <QDateTime>
#include <QString>
#include <string>

namespace tlm {

// Writes `pdfPath` whole or not at all (a temporary file renamed on
// success). False with `error` set when the fax cannot be read or the file
// cannot be written.
bool ExportFaxAsPdf(const std::string& faxFile, const std::string& pdfPath, const QString& title,
                    QString* error = nullptr, const QDateTime& created = QDateTime::currentDateTime());

}  // namespace tlm
