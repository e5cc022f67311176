#pragma once
// The string tables compiled into the program, as "STR0" images.
#include <cstddef>
#include <span>

namespace tlm {

struct EmbeddedTable {
  const char* name;  // e.g. "KOVA_ERROR_STRINGS_ENGLISH"
  const unsigned char* data;
  std::size_t size;
};

// Every compiled-in table (generated at build time from the text tables).
std::span<const EmbeddedTable> EmbeddedTables();

}  // namespace tlm
