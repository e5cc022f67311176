#pragma once
// The readers work on files: each input is written to one scratch file.
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace tlm::fuzz {

inline std::string ScratchFile(const char* extension) {
  return "/tmp/tlm-fuzz-" + std::to_string(::getpid()) + extension;
}

inline void WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace tlm::fuzz
