#include "app/core/working_files.h"

#include <cctype>
#include <filesystem>

#include "platform/data_folder.h"
#include "platform/file_util.h"
#include "platform/working_folder.h"

namespace tlm {

namespace {

// "TLMAX" + page number + ".APF": pages 2.. of a fax being built.
bool IsPageFileName(const std::string& name) {
  const std::string prefix = "TLMAX", suffix = ".APF";
  if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return false;
  }
  for (std::size_t i = prefix.size(); i < name.size() - suffix.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

}  // namespace

int RemoveStaleWorkingFiles(const std::string& dataFolder) {
  namespace fs = std::filesystem;
  const std::string folder = WithTrailingSlash(dataFolder);
  int removed = 0;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    if (name == "Eraseme.rtf" || name == "_TMP.BMP" || IsPageFileName(name)) {
      std::error_code removeError;
      if (fs::remove(it->path(), removeError)) ++removed;
    }
  }
  return removed + RemoveStaleWorkingFolders(folder, kRenderFolderPrefix);
}

int RemoveStaleWorkingFiles() { return RemoveStaleWorkingFiles(DataFolder()); }

}  // namespace tlm
