#include "viewer/fax_pdf.h"

#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "faximage/apf_file.h"
#include "faximage/fax_errors.h"
#include "faximage/fax_unpacker.h"
#include "platform/file_util.h"

namespace tlm {

namespace {

constexpr double kPointsPerPixel = 612.0 / 1728.0;  // 8.5 inches over 1728 pixels
constexpr double kLinesPerInchFine = 7.7 * 25.4;
constexpr double kLinesPerInchStandard = 3.85 * 25.4;

// A text as a PDF string: UTF-16 with its byte order mark, in hex.
std::string PdfText(const QString& text) {
  std::string out = "<FEFF";
  char hex[8];
  for (const QChar c : text) {
    std::snprintf(hex, sizeof hex, "%04X", unsigned(c.unicode()));
    out += hex;
  }
  return out + ">";
}

std::string Number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4f", v);
  return buf;
}

class PdfBuilder {
 public:
  // Starts object `id`; objects may come in any order.
  void Begin(int id) {
    if (offsets_.size() < std::size_t(id)) offsets_.resize(std::size_t(id), 0);
    offsets_[std::size_t(id - 1)] = out_.size();
    out_ += std::to_string(id) + " 0 obj\n";
  }
  void Object(int id, const std::string& body) {
    Begin(id);
    out_ += body + "\nendobj\n";
  }
  void Stream(int id, const std::string& dict, const std::string& data) {
    Begin(id);
    out_ += "<< " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n";
    out_ += data;
    out_ += "\nendstream\nendobj\n";
  }
  std::string Finish(int root, int info) {
    const std::size_t xref = out_.size();
    out_ += "xref\n0 " + std::to_string(offsets_.size() + 1) + "\n0000000000 65535 f \n";
    char line[24];
    for (std::size_t offset : offsets_) {
      std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
      out_ += line;
    }
    out_ += "trailer\n<< /Size " + std::to_string(offsets_.size() + 1) + " /Root " + std::to_string(root) +
            " 0 R /Info " + std::to_string(info) + " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return std::move(out_);
  }
  std::string out_ = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";

 private:
  std::vector<std::size_t> offsets_;
};

std::string Deflate(const std::vector<std::uint8_t>& data) {
  uLongf size = compressBound(uLong(data.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, data.data(), uLong(data.size()), 9) != Z_OK) {
    throw std::bad_alloc();
  }
  out.resize(size);
  return out;
}

}  // namespace

bool ExportFaxAsPdf(const std::string& faxFile, const std::string& pdfPath, const QString& title, QString* error,
                    const QDateTime& created) {
  auto fail = [error](const QString& text) {
    if (error) *error = text;
    return false;
  };
  TKvFaxUnpacker unpacker;
  unpacker.Options = 0;
  unpacker.AutoScaleMode = asNone;  // the page's own lines; the PDF page carries the resolution
  unpacker.SetInFileName(faxFile);

  PdfBuilder pdf;
  int pageCount = 0;
  try {
    pageCount = unpacker.NumPages();
    if (pageCount < 1) return fail(QStringLiteral("%1 holds no pages").arg(QString::fromStdString(faxFile)));
    // Objects: 1 catalog, 2 page tree, 3 information, then three a page.
    std::string kids;
    for (int page = 1; page <= pageCount; ++page) {
      const int pageId = 4 + (page - 1) * 3;
      kids += std::to_string(pageId) + " 0 R ";
      ApfPageHeader header;
      std::uint64_t offset = 0;
      CheckFaxResult(ApfLocatePage(faxFile, page, header, offset));
      const MonoBitmap bitmap = unpacker.UnpackPageToBitmap(page);
      // A page of no lines becomes a blank letter-sized page.
      const int width = header.Width();
      const int height = bitmap.height > 0 ? bitmap.height : int(11 * kLinesPerInchStandard);
      const double lpi = header.Fine() ? kLinesPerInchFine : kLinesPerInchStandard;
      const double widthPt = width * kPointsPerPixel;
      const double heightPt = height * 72.0 / lpi;

      // Rows padded with white to the page width; 1 white as in the bitmap.
      const int rowBytes = (width + 7) / 8;
      std::vector<std::uint8_t> rows(std::size_t(rowBytes) * std::size_t(height), 0xFF);
      for (int y = 0; y < bitmap.height; ++y) {
        const int copy = std::min(rowBytes, (bitmap.width + 7) / 8);
        std::copy(bitmap.Row(y), bitmap.Row(y) + copy, rows.begin() + std::ptrdiff_t(y) * rowBytes);
      }
      const std::string content =
          "q " + Number(widthPt) + " 0 0 " + Number(heightPt) + " 0 0 cm /Im0 Do Q";
      pdf.Object(pageId, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + Number(widthPt) + " " +
                             Number(heightPt) + "] /Resources << /XObject << /Im0 " + std::to_string(pageId + 2) +
                             " 0 R >> >> /Contents " + std::to_string(pageId + 1) + " 0 R >>");
      pdf.Stream(pageId + 1, "", content);
      pdf.Stream(pageId + 2,
                 "/Type /XObject /Subtype /Image /Width " + std::to_string(width) + " /Height " +
                     std::to_string(height) + " /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /FlateDecode",
                 Deflate(rows));
    }
    pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    pdf.Object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pageCount) + " >>");
    const QString stamp = created.toString(QStringLiteral("yyyyMMddHHmmss"));
    pdf.Object(3, "<< /Title " + PdfText(title) + " /Creator " + PdfText(QStringLiteral("Tolmera")) +
                      " /Producer " + PdfText(QStringLiteral("Tolmera")) + " /CreationDate (D:" + stamp.toStdString() +
                      ") >>");
  } catch (const EFaxImageError& e) {
    return fail(QStringLiteral("%1: %2").arg(QString::fromStdString(faxFile), QString::fromStdString(e.what())));
  } catch (const std::bad_alloc&) {
    return fail(QStringLiteral("Not enough memory to export %1").arg(QString::fromStdString(faxFile)));
  }
  std::string why;
  if (!WriteFileAtomically(pdfPath, pdf.Finish(1, 3), &why)) {
    return fail(QStringLiteral("Cannot write %1: %2").arg(QString::fromStdString(pdfPath), QString::fromStdString(why)));
  }
  return true;
}

}  // namespace tlm
