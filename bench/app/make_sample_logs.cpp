// make_sample_logs <data folder> <outgoing count> <received count>
// Fills the logs of a data folder with sample faxes (for screenshots and
// benchmarks).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/file_util.h"
#include "sample_logs.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_sample_logs <data folder> <outgoing count> <received count>\n");
    return 2;
  }
  const std::string folder = tlm::WithTrailingSlash(argv[1]);
  tlm::MakeFolders(folder);
  std::string error;
  if (!tlm::MakeSampleLogs(folder, std::atoi(argv[2]), std::atoi(argv[3]), error)) {
    std::fprintf(stderr, "make_sample_logs: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
