// Reads arbitrary bytes as RTF, writes the result and reads that back: the
// writer's output of anything the reader accepts must read again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "richtext/rtf/rtf_reader.h"
#include "richtext/rtf/rtf_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tlm::rtf::Document doc;
  std::string error;
  tlm::rtf::ReadRtf(std::string_view(reinterpret_cast<const char*>(data), size), doc, &error);
  std::string saved = tlm::rtf::WriteRtf(doc);
  tlm::rtf::Document again;
  if (!tlm::rtf::ReadRtf(saved, again, &error)) std::abort();
  if (again.PlainText() != doc.PlainText() || again.paragraphs.size() != doc.paragraphs.size()) std::abort();
  if (again.pictures != doc.pictures) std::abort();
  return 0;
}
