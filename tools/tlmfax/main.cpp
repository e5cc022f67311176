// tlmfax: fax image files and fax sending from the command line.
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <map>

#include "commands.h"
#include "faximage/fax_errors.h"

namespace tlm::tlmfax {

int Fail(const std::string& text) {
  std::fprintf(stderr, "tlmfax: %s\n", text.c_str());
  return 1;
}

int FailWith(const std::exception& e) {
  if (const auto* fe = dynamic_cast<const EFaxImageError*>(&e)) {
    return Fail(std::string(fe->what()) + " (" + std::to_string(fe->Code()) + ")");
  }
  return Fail(e.what());
}

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  tlmfax info FILE.APF\n"
    "  tlmfax convert [--fine] [--wide] [--type text|textex|tiff|pcx|dcx|bmp] INPUT OUTPUT.APF\n"
    "  tlmfax unpack FILE.APF --page N --format bmp|pcx|dcx|pbm OUTPUT\n"
    "  tlmfax send --port PATH|COMn [--class auto|1|2|2.0] [--bps N] [--ecm] [--station ID]\n"
    "              [--header TEXT] [--no-mps] NUMBER FILE.APF\n"
    "  tlmfax receive --port PATH|COMn [--class auto|1|2|2.0] [--bps N] [--rings N] [--station ID]\n"
    "                 [--dir DIR] [--once]\n"
    "  tlmfax queue --dir DATA [--to NAME] [--subject TEXT] [--cover COVER.rtf] [--doc DOC.rtf] NUMBER\n"
#ifdef TLMFAX_RENDER
    "  tlmfax render [--cover COVER.rtf] [--doc DOC.rtf] OUTPUT.APF\n"
#endif
    ;

}  // namespace
}  // namespace tlm::tlmfax

int main(int argc, char** argv) {
  using namespace tlm::tlmfax;
  const std::map<std::string, std::function<int(const Args&)>> commands = {
      {"info", RunInfo}, {"convert", RunConvert}, {"unpack", RunUnpack}, {"send", RunSend},
      {"receive", RunReceive}, {"queue", RunQueue},
#ifdef TLMFAX_RENDER
      {"render", RunRender},
#endif
  };
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const auto it = commands.find(argv[1]);
  if (it == commands.end()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    return it->second(Args(argv + 2, argv + argc));
  } catch (const std::exception& e) {
    return FailWith(e);
  }
}
