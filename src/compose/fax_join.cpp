#include "compose/fax_join.h"

#include <cstdio>

#include "faximage/apf_file.h"
#include "faximage/fax_errors.h"
#include "platform/file_util.h"

namespace tlm {

void AppendFaxFile(const std::string& target, const std::string& source) {
  if (!FileExists(target) || !FileExists(source)) ThrowFaxError(-ecFileNotFound);
  CheckFaxResult(ApfAppendFile(target, source));
}

std::string JoinFaxFiles(const std::vector<std::string>& pages) {
  if (pages.empty()) return {};
  for (const std::string& page : pages) {
    if (!FileExists(page)) ThrowFaxError(-ecFileNotFound);
  }
  if (pages.size() > 1) CheckFaxResult(ApfAppendFiles(pages[0], {pages.begin() + 1, pages.end()}));
  for (size_t i = 1; i < pages.size(); ++i) std::remove(pages[i].c_str());
  return pages[0];
}

}  // namespace tlm
