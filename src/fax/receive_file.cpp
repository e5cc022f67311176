#include "fax/receive_file.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>
#include <sys/stat.h>

#include "faximage/apf_file.h"
#include "faximage/fax_errors.h"

namespace tlm {

std::string GenerateReceiveName(std::string_view dir, std::string_view extension,
                                const std::function<bool(const std::string&)>& exists) {
  std::string prefix(dir);
  if (!prefix.empty() && prefix.back() != '/') prefix += '/';
  for (int counter = 1; counter <= kMaxReceiveCounter; ++counter) {
    char number[8];
    std::snprintf(number, sizeof number, "%04d", counter);
    std::string name = prefix + "FAX" + number + "." + std::string(extension);
    if (!exists(name)) return name;
  }
  return prefix + "NONAME.APF";
}

std::string GenerateReceiveName(std::string_view dir, std::string_view extension) {
  return GenerateReceiveName(dir, extension, [](const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
  });
}

int ReceiveFaxFile::Guard(const std::function<void()>& step) {
  if (!writer_) return -ecBadArgument;
  try {
    step();
    return 0;
  } catch (const EFaxImageError& e) {
    return e.Result() != 0 ? e.Result() : -ecFaxBadFormat;
  } catch (const std::bad_alloc&) {
    return -ENOMEM;
  }
}

int ReceiveFaxFile::Open(const std::string& path) {
  Remove();
  writer_ = std::make_unique<ApfWriter>();
  path_ = path;
  const int rc = Guard([&] { writer_->Create(path); });
  if (rc != 0) writer_.reset();
  return rc;
}

int ReceiveFaxFile::BeginPage(bool fine, bool wide) {
  std::uint16_t flags = 0;
  if (fine) flags |= kApfFine;
  if (wide) flags |= kApfWide;
  return Guard([&] {
    if (writer_->InPage()) writer_->EndPage();
    writer_->BeginPage(flags);
  });
}

int ReceiveFaxFile::Write(const std::uint8_t* data, std::size_t size) {
  return Guard([&] { writer_->WriteRaw(data, size); });
}

int ReceiveFaxFile::EndPage() {
  return Guard([&] {
    if (writer_->InPage()) writer_->EndPage();
  });
}

int ReceiveFaxFile::DiscardPage() {
  return Guard([&] { writer_->DiscardPage(); });
}

int ReceiveFaxFile::Close(std::string_view stationId) {
  const int rc = Guard([&] {
    if (writer_->InPage()) writer_->EndPage();
    writer_->Finish(stationId);
  });
  if (rc != 0) {
    Remove();
  } else {
    writer_.reset();
  }
  return rc;
}

void ReceiveFaxFile::Remove() {
  if (!writer_) return;
  writer_->Abandon();
  writer_.reset();
}

}  // namespace tlm
