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
  for (size_t i = 1; i < pages.size(); ++i) AppendFaxFile(pages[0], pages[i]);
  for (size_t i = 1; i < pages.size(); ++i) std::remove(pages[i].c_str());
  return pages[0];
}

}  // namespace tlm
