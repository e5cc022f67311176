#include "platform/data_folder.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/file_util.h"

#ifndef TOLMERA_SOURCE_SHARE_DIR
#define TOLMERA_SOURCE_SHARE_DIR ""
#endif

namespace tlm {

std::string ExecutableFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return WithTrailingSlash(AbsolutePath("."));
  return FolderOf(std::string(buffer, static_cast<std::size_t>(n)));
}

std::string DataFolder() {
  if (const char* home = std::getenv("TOLMERA_HOME"); home && *home) {
    const std::string folder = WithTrailingSlash(AbsolutePath(home));
    MakeFolders(folder);
    return folder;
  }
  const std::string exeFolder = ExecutableFolder();
  // Executables installed into a bin folder never keep data beside them.
  const bool inBinFolder = exeFolder.size() >= 5 && exeFolder.compare(exeFolder.size() - 5, 5, "/bin/") == 0;
  if (!inBinFolder && ::access(exeFolder.c_str(), W_OK) == 0) return exeFolder;

  std::string base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && xdg[0] == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.local/share";
  } else {
    base = "/tmp";
  }
  const std::string folder = WithTrailingSlash(base) + "tolmera/";
  MakeFolders(folder);
  return folder;
}

std::string ShareFolder() {
  const std::string installed = ExecutableFolder() + "../share/tolmera/";
  if (DirectoryExists(installed)) return installed;
  return WithTrailingSlash(TOLMERA_SOURCE_SHARE_DIR);
}

}  // namespace tlm
