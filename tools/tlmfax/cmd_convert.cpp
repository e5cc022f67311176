// tlmfax convert: a text or image file into an APF file.
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "commands.h"
#include "faximage/fax_converter.h"
#include "interrupts.h"
#include "qt_text_rasterizer.h"

namespace tlm::tlmfax {

namespace {

TFaxInputDocumentType TypeFromExtension(const std::string& file) {
  std::string ext = std::filesystem::path(file).extension().string();
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".tif" || ext == ".tiff") return idTiff;
  if (ext == ".pcx") return idPcx;
  if (ext == ".dcx") return idDcx;
  if (ext == ".bmp") return idBmp;
  return idText;
}

}  // namespace

int RunConvert(const Args& args) {
  const std::map<std::string, TFaxInputDocumentType> types = {
      {"text", idText}, {"textex", idTextEx}, {"tiff", idTiff}, {"pcx", idPcx}, {"dcx", idDcx}, {"bmp", idBmp}};
  TKvFaxConverter c;
  std::vector<std::string> files;
  bool typeGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--fine") {
      c.Resolution = frHigh;
    } else if (args[i] == "--wide") {
      c.Width = fwWide;
    } else if (args[i] == "--type" && i + 1 < args.size()) {
      const auto it = types.find(args[++i]);
      if (it == types.end()) return Fail("unknown input type: " + args[i]);
      c.InputDocumentType = it->second;
      typeGiven = true;
    } else if (args[i].rfind("--", 0) == 0) {
      return Fail("unknown option: " + args[i]);
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2) {
    return Fail("usage: tlmfax convert [--fine] [--wide] [--type text|textex|tiff|pcx|dcx|bmp] INPUT OUTPUT.APF");
  }
  if (!typeGiven) c.InputDocumentType = TypeFromExtension(files[0]);
  std::unique_ptr<FaxTextRasterizer> rasterizer;
  if (c.InputDocumentType == idTextEx) {
    rasterizer = MakeQtTextRasterizer();
    c.TextRasterizer = rasterizer.get();  // without Qt the conversion reports 8073
    c.EnhFont.family = "Liberation Mono";
  }
  c.SetDocumentFile(files[0]);
  c.OutFileName = files[1];
  // Ctrl-C or SIGTERM abort the conversion, which removes its partial file.
  CatchInterrupts();
  c.OnStatus = [](TKvFaxConverter&, bool, bool, int, int, long, long, bool& abort) { abort = Interrupted(); };
  c.ConvertToApf();
  return 0;
}

}  // namespace tlm::tlmfax
