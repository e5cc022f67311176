// tlmfax convert: a text, image or PDF file into an APF file.
#include <cstdio>
#include <filesystem>
#include <memory>

#include "commands.h"
#include "document_input.h"
#include "faximage/fax_converter.h"
#include "interrupts.h"
#include "qt_text_rasterizer.h"

namespace tlm::tlmfax {

int RunConvert(const Args& args) {
  TKvFaxConverter c;
  std::vector<std::string> files;
  bool typeGiven = false;
  bool pagesGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--fine") {
      c.Resolution = frHigh;
    } else if (args[i] == "--wide") {
      c.Width = fwWide;
    } else if (args[i] == "--type" && i + 1 < args.size()) {
      if (!ParseInputType(args[++i], c.InputDocumentType)) return Fail("unknown input type: " + args[i]);
      typeGiven = true;
    } else if (args[i] == "--pages" && i + 1 < args.size()) {
      if (!ParseRange(args[++i], c.PdfPages.first, c.PdfPages.last)) return Fail("bad page range " + args[i]);
      pagesGiven = true;
    } else if (args[i].rfind("--", 0) == 0) {
      return Fail("unknown option: " + args[i]);
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2) {
    return Fail(
        "usage: tlmfax convert [--fine] [--wide] [--type text|textex|tiff|pcx|dcx|bmp|pdf] [--pages A-B] INPUT "
        "OUTPUT.APF");
  }
  if (!typeGiven) {
    c.InputDocumentType = ImageTypeFromExtension(files[0]);
    if (c.InputDocumentType == idNone) c.InputDocumentType = idText;
  }
  if (pagesGiven && c.InputDocumentType != idPdf) return Fail("--pages needs a PDF file");
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
