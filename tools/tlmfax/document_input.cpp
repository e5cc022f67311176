#include "document_input.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "faximage/apf_file.h"
#include "faximage/fax_errors.h"
#include "interrupts.h"

namespace tlm::tlmfax {

bool ParseInputType(const std::string& name, TFaxInputDocumentType& type) {
  static const std::map<std::string, TFaxInputDocumentType> types = {
      {"text", idText}, {"textex", idTextEx}, {"tiff", idTiff}, {"pcx", idPcx},
      {"dcx", idDcx},   {"bmp", idBmp},       {"pdf", idPdf}};
  const auto it = types.find(name);
  if (it == types.end()) return false;
  type = it->second;
  return true;
}

TFaxInputDocumentType ImageTypeFromExtension(const std::string& file) {
  std::string ext = std::filesystem::path(file).extension().string();
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".tif" || ext == ".tiff") return idTiff;
  if (ext == ".pcx") return idPcx;
  if (ext == ".dcx") return idDcx;
  if (ext == ".bmp") return idBmp;
  if (ext == ".pdf") return idPdf;
  return idNone;
}

bool ParseRange(const std::string& text, int& first, int& last) {
  char* end = nullptr;
  const long a = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || a < 1) return false;
  long b = a;
  if (*end == '-') {
    const char* start = end + 1;
    b = std::strtol(start, &end, 10);
    if (end == start) return false;
  }
  if (*end != '\0' || b < 1 || a > 65535 || b > 65535) return false;
  first = int(a);
  last = int(b);
  return true;
}

namespace {

constexpr const char* kSendFolderPrefix = "tlmfax-send-";

void MakeWorkingFolder(WorkingFolder& working) {
  std::error_code ec;
  std::string parent = std::filesystem::temp_directory_path(ec).string();
  if (ec || parent.empty()) parent = "/tmp";
  if (parent.back() != '/') parent += '/';
  RemoveStaleWorkingFolders(parent, kSendFolderPrefix);
  if (!working.Create(parent, kSendFolderPrefix)) throw std::runtime_error("cannot create a working folder in " + parent);
}

}  // namespace

std::string FaxFileToSend(const std::string& file, bool fine, WorkingFolder& working, const char* name) {
  const TFaxInputDocumentType type = ImageTypeFromExtension(file);
  if (file.empty() || type == idNone || ApfCheckSignature(file)) return file;
  if (working.Path().empty()) MakeWorkingFolder(working);
  TKvFaxConverter converter;
  converter.InputDocumentType = type;
  converter.Resolution = fine ? frHigh : frNormal;
  converter.SetDocumentFile(file);
  converter.OutFileName = working.Path() + name;
  CatchInterrupts();
  converter.OnStatus = [](TKvFaxConverter&, bool, bool, int, int, long, long, bool& abort) { abort = Interrupted(); };
  try {
    converter.ConvertToApf();
  } catch (const EFaxImageError& e) {
    throw std::runtime_error(file + ": " + e.what() + " (" + std::to_string(e.Code()) + ")");
  }
  return converter.OutputPath();
}

}  // namespace tlm::tlmfax
