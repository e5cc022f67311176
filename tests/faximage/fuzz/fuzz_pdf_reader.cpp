// Fuzzes the PDF reader: opening a file (poppler parses it) and rendering
// its first pages as fax pages. Only the reader's refusals may escape.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "faximage/fax_errors.h"
#include "faximage/pdf_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    tlm::PdfDocument document(std::vector<std::uint8_t>(data, data + size));
    // A few pages are enough to reach every path; all of them would make a
    // run as slow as the page count.
    for (int i = 0; i < std::min(document.PageCount(), 3); ++i) document.RenderPage(i, tlm::FaxRasterFor(i % 2 == 1));
  } catch (const tlm::EFaxImageError&) {
  }
  return 0;
}
