#include "remote_setup.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "command_line.h"

namespace faxline {
namespace {

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> out;
  for (size_t start = 0;;) {
    const size_t pos = s.find(sep, start);
    out.push_back(s.substr(start, pos - start));
    if (pos == std::string::npos) return out;
    start = pos + 1;
  }
}

// The pages of a TIFF file; the problem when it is no fax document.
int tiffPages(const std::string& file, std::string& problem) {
  TIFF* tif = TIFFOpen(file.c_str(), "r");
  if (tif == nullptr) {
    problem = "cannot open it as TIFF";
    return -1;
  }
  int pages = 0;
  do {
    uint16_t bits = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    if (bits != 1) {
      problem = "page " + std::to_string(pages + 1) + " is not 1 bit per pixel";
      TIFFClose(tif);
      return -1;
    }
    pages++;
  } while (TIFFReadDirectory(tif));
  TIFFClose(tif);
  return pages;
}

void checkDocument(const char* what, const std::string& file) {
  std::string problem;
  if (tiffPages(file, problem) < 0) startupError(std::string(what) + " " + file + ": " + problem);
}

FaxOptions optionsFrom(const std::vector<std::string>& parts, size_t first) {
  FaxOptions fo;
  for (size_t i = first; i < parts.size(); ++i) {
    if (parts[i].empty()) continue;
    if (const std::string error = applyFaxOption(parts[i], fo); !error.empty()) startupError(error);
  }
  return fo;
}

}  // namespace

std::unique_ptr<RemoteFax> makeReceiver(Exchange& ex, const std::string& option) {
  const std::vector<std::string> parts = split(option, ':');
  if (parts.size() < 2 || parts[1].empty()) startupError("--receiver wants NUMBER:DIR[:options]");
  const FaxOptions fo = optionsFrom(parts, 2);
  const std::string& dir = parts[1];
  struct stat st {};
  if (stat(dir.c_str(), &st) != 0 && mkdir(dir.c_str(), 0777) != 0)
    startupError("cannot create directory " + dir + ": " + strerror(errno));
  if (!fo.poll.empty()) checkDocument("poll file", fo.poll);
  auto r = std::make_unique<RemoteFax>(ex, RemoteFax::Role::Receiver, checkedNumber(parts[0], "receiver number"), fo);
  r->setReceiveDir(dir);
  return r;
}

std::unique_ptr<RemoteFax> makeSender(Exchange& ex, const std::string& option) {
  const std::vector<std::string> parts = split(option, ':');
  if (parts.size() < 3 || parts[1].empty()) startupError("--sender wants NUMBER:FILE:CALL[:DELAY[:options]]");
  // The fourth item is the delay unless it is already an option.
  double delay = 3;
  size_t firstOption = 3;
  if (parts.size() > 3 && parts[3].find('=') == std::string::npos) {
    if (!parts[3].empty()) delay = checkedValue("--sender delay", parts[3], 0, 1e6);
    firstOption = 4;
  }
  const FaxOptions fo = optionsFrom(parts, firstOption);
  checkDocument("sender file", parts[1]);
  const std::string target = parts[2].empty() ? std::string() : checkedNumber(parts[2], "number to call");
  auto s = std::make_unique<RemoteFax>(ex, RemoteFax::Role::Sender, checkedNumber(parts[0], "sender number"), fo);
  s->setSend(parts[1], target, delay);
  return s;
}

}  // namespace faxline
