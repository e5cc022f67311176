// tlmfax info FILE.APF: the file header and the list of pages.
#include <cstdio>

#include "commands.h"
#include "faximage/apf_page_index.h"
#include "faximage/fax_errors.h"

namespace tlm::tlmfax {

int RunInfo(const Args& args) {
  if (args.size() != 1) return Fail("usage: tlmfax info FILE.APF");
  const std::string& file = args[0];
  ApfPageIndex index;
  CheckFaxResult(index.Open(file));
  const ApfFileHeader& h = index.FileHeader();
  const std::uint32_t t = h.creationTime;
  std::printf("file:        %s\n", file.c_str());
  if (t == 0) {
    std::printf("created:     unknown\n");
  } else {
    std::printf("created:     %04u-%02u-%02u %02u:%02u:%02u\n", 1980 + (t >> 25), (t >> 21) & 15, (t >> 16) & 31,
                (t >> 11) & 31, (t >> 5) & 63, (t & 31) * 2);
  }
  std::printf("station ID:  \"%s\"\n", h.StationId().c_str());
  std::printf("pages:       %u\n", h.pageCount);
  for (int page = 1; page <= h.pageCount; ++page) {
    ApfPageHeader p;
    std::uint64_t offset = 0;
    CheckFaxResult(index.Locate(page, p, offset));
    std::printf("page %d: offset %llu, %u bytes, %s, %d pixels, %s\n", page,
                static_cast<unsigned long long>(offset), p.imageLength, p.Fine() ? "fine" : "standard", p.Width(),
                p.LengthWords() ? "line records" : "raw stream");
  }
  return 0;
}

}  // namespace tlm::tlmfax
