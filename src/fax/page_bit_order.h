#pragma once
// Puts received page data into the order the fax file keeps: the first bit
// on the line in the least significant bit of each byte.
//
// Class 1 and Class 2.0 modems deliver page data that way. Many Class 2
// modems deliver it with the bits of each byte reversed, whatever the bit
// order command says. The order is therefore judged from the data: the
// first part of the page is decoded both ways, and the reading that yields
// more whole scan lines wins.
#include <cstddef>
#include <string>
#include <string_view>

namespace tlm {

class PageBitOrder {
 public:
  // Bytes looked at before the order is decided.
  static constexpr std::size_t kSampleBytes = 2048;

  // `detect` false: the data is in file order already.
  explicit PageBitOrder(bool detect = false) : detect_(detect) {}
  void StartPage(bool detect);
  // Takes page data; appends to `out` what is ready for the file.
  void Feed(std::string_view data, std::string& out);
  // The page has ended: appends what is still held back.
  void Finish(std::string& out);
  bool Reversed() const { return reversed_; }

 private:
  void Decide();

  bool detect_ = false;
  bool decided_ = false;
  bool reversed_ = false;
  std::string sample_;
};

// Reverses the bits of every byte in place.
void ReverseBitsInPlace(std::string& data);
// How many whole 1728- or 2048-pixel lines the data decodes to.
int CountT4Lines(std::string_view data);

}  // namespace tlm
