// tlmfax unpack: one page of an APF file as an image file.
#include <cstdio>
#include <map>

#include "commands.h"
#include "faximage/fax_unpacker.h"
#include "faximage/image_writers.h"

namespace tlm::tlmfax {

int RunUnpack(const Args& args) {
  std::string format = "bmp";
  int page = 1;
  std::vector<std::string> files;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--page" && i + 1 < args.size()) {
      try {
        page = std::stoi(args[++i]);
      } catch (const std::exception&) {
        return Fail("bad page number: " + args[i]);
      }
    } else if (args[i] == "--format" && i + 1 < args.size()) {
      format = args[++i];
    } else if (args[i].rfind("--", 0) == 0) {
      return Fail("unknown option: " + args[i]);
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2 || page < 0 || (page == 0 && format != "dcx")) {
    return Fail("usage: tlmfax unpack FILE.APF --page N --format bmp|pcx|dcx|pbm OUTPUT");
  }
  TKvFaxUnpacker u;
  u.SetInFileName(files[0]);
  u.OutFileName = files[1];
  if (format == "bmp") {
    u.UnpackPageToBmp(page);
  } else if (format == "pcx") {
    u.UnpackPageToPcx(page);
  } else if (format == "dcx") {
    u.UnpackPageToDcx(page);
  } else if (format == "pbm") {
    WriteImageFile(files[1], EncodePbm(u.UnpackPageToBitmap(page)));
  } else {
    return Fail("unknown format: " + format);
  }
  return 0;
}

}  // namespace tlm::tlmfax
