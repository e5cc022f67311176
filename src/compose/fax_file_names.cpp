#include "compose/fax_file_names.h"

#include "platform/file_util.h"

namespace tlm {

std::string FindFreeFaxFileName(const std::string& folder) {
  for (int n = 1; n <= kMaxFaxFileNumber; ++n) {
    std::string name = folder + "TLM_" + std::to_string(n) + ".APF";
    if (!FileExists(name)) return name;
  }
  return folder + "TLM1.APF";
}

std::string PageFaxFileName(const std::string& folder, int pageNumber, const std::string& firstPageName) {
  return pageNumber == 1 ? firstPageName : folder + "TLMAX" + std::to_string(pageNumber) + ".APF";
}

}  // namespace tlm
