#pragma once
// Small PDF files written by hand for the PDF reader's tests and benchmark:
// pages of any size, each with its own content stream, and a correct
// cross-reference table.
#include <cstdio>
#include <string>
#include <vector>

namespace tlm::testing {

struct PdfPageSpec {
  double width = 595;   // points (A4)
  double height = 842;
  std::string content;  // the page's content stream
  int rotate = 0;       // /Rotate
};

// A PDF file holding `pages` (none gives a page tree of no pages); fonts
// used by the content are the standard Helvetica as /F1.
inline std::string MakePdf(const std::vector<PdfPageSpec>& pages) {
  std::string out = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  auto object = [&](const std::string& body) {
    offsets.push_back(out.size());
    out += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
  };
  // 1: catalog, 2: page tree, 3: font, then a page and its content for each.
  std::string kids;
  for (std::size_t i = 0; i < pages.size(); ++i) kids += std::to_string(4 + 2 * i) + " 0 R ";
  object("<< /Type /Catalog /Pages 2 0 R >>");
  object("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
  object("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const PdfPageSpec& p = pages[i];
    char box[96];
    std::snprintf(box, sizeof box, "[0 0 %.3f %.3f]", p.width, p.height);
    object("<< /Type /Page /Parent 2 0 R /MediaBox " + std::string(box) + " /Rotate " + std::to_string(p.rotate) +
           " /Resources << /Font << /F1 3 0 R >> >> /Contents " + std::to_string(5 + 2 * i) + " 0 R >>");
    object("<< /Length " + std::to_string(p.content.size()) + " >>\nstream\n" + p.content + "\nendstream");
  }
  const std::size_t xref = out.size();
  out += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t offset : offsets) {
    char line[24];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
    out += line;
  }
  out += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return out;
}

// A page of `lines` lines of running text in 11-point Helvetica.
inline std::string TextPageContent(int page, int lines = 50) {
  std::string content = "BT /F1 11 Tf 14 TL 60 790 Td\n";
  for (int i = 0; i < lines; ++i) {
    content += "(Page " + std::to_string(page) + ", line " + std::to_string(i + 1) +
               ": the quick brown fox jumps over the lazy dog, 0123456789.) '\n";
  }
  return content + "ET";
}

}  // namespace tlm::testing
