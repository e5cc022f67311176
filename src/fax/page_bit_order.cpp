#include "fax/page_bit_order.h"

#include <array>
#include <cstdint>

#include "faximage/t4_decoder.h"

namespace tlm {

namespace {

constexpr std::array<std::uint8_t, 256> MakeReverseTable() {
  std::array<std::uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b) {
      if (i & (1 << b)) r |= 0x80 >> b;
    }
    table[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(r);
  }
  return table;
}
constexpr std::array<std::uint8_t, 256> kReverse = MakeReverseTable();

}  // namespace

void ReverseBitsInPlace(std::string& data) {
  for (char& c : data) c = static_cast<char>(kReverse[static_cast<std::uint8_t>(c)]);
}

int CountT4Lines(std::string_view data) {
  int lines = 0;
  T4Decoder decoder([&](const std::uint8_t*, int) {
    ++lines;
    return true;
  });
  decoder.StartPage();
  decoder.Feed(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
  return lines;
}

void PageBitOrder::StartPage(bool detect) {
  detect_ = detect;
  decided_ = !detect;
  reversed_ = false;
  sample_.clear();
}

void PageBitOrder::Feed(std::string_view data, std::string& out) {
  if (decided_ || !detect_) {
    std::string chunk(data);
    if (reversed_) ReverseBitsInPlace(chunk);
    out += chunk;
    return;
  }
  sample_.append(data);
  if (sample_.size() >= kSampleBytes) Finish(out);
}

void PageBitOrder::Finish(std::string& out) {
  if (!decided_) Decide();
  if (reversed_) ReverseBitsInPlace(sample_);
  out.append(sample_);
  sample_.clear();
}

void PageBitOrder::Decide() {
  decided_ = true;
  std::string flipped = sample_;
  ReverseBitsInPlace(flipped);
  reversed_ = CountT4Lines(flipped) > CountT4Lines(sample_);
}

}  // namespace tlm
