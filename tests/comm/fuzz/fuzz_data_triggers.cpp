// Data-trigger matching over arbitrary input, checked against a plain
// reference: a trigger fires at a byte when the bytes received since its
// previous match end with its string (letter case folded when asked).
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "comm/triggers.h"

namespace {

struct Reference {
  std::string match;
  bool ignoreCase = false;
  std::string since;  // bytes since the last match
  bool Feed(std::uint8_t byte) {
    since += static_cast<char>(ignoreCase ? std::toupper(byte) : byte);
    if (since.size() >= match.size() && since.compare(since.size() - match.size(), match.size(), match) == 0) {
      since.clear();
      return true;
    }
    return false;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // Header: trigger count (1..3); per trigger a flags byte (length in the
  // low 4 bits, ignore-case in bit 4) and its string; then the stream.
  std::size_t at = 0;
  const int count = 1 + data[at++] % 3;
  tlm::TriggerSet set;
  set.Clear();
  std::vector<Reference> refs;
  std::vector<int> handles;
  for (int i = 0; i < count && at < size; ++i) {
    const std::uint8_t flags = data[at++];
    const std::size_t length = 1 + (flags & 0x0F);
    if (at + length > size) return 0;
    Reference ref;
    ref.ignoreCase = (flags & 0x10) != 0;
    ref.match.assign(reinterpret_cast<const char*>(data + at), length);
    at += length;
    handles.push_back(set.AddData(ref.match, ref.ignoreCase));
    if (ref.ignoreCase) {
      for (char& c : ref.match) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    refs.push_back(ref);
  }
  for (; at < size; ++at) {
    const auto fired = set.FeedByte(data[at]);
    std::vector<int> expected;
    for (std::size_t i = refs.size(); i-- > 0;) {
      if (refs[i].Feed(data[at])) expected.push_back(handles[i]);
    }
    std::vector<int> got;
    for (const auto& f : fired) got.push_back(f.handle);
    if (got != expected) std::abort();
  }
  return 0;
}
