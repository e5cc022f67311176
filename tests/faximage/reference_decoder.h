#pragma once
// A plain bit-by-bit T.4 decoder over two code trees, kept beside the fast
// table decoder to check that both behave the same on any input.
#include <cstdint>
#include <vector>

#include "faximage/t4_codes.h"

namespace tlm::testing {

struct DecodedLine {
  int pixels = 0;
  std::vector<std::uint8_t> bits;
  bool operator==(const DecodedLine&) const = default;
};

struct ReferenceResult {
  std::vector<DecodedLine> lines;
  long badCodes = 0;
  bool ended = false;  // three EOLs in a row
  bool operator==(const ReferenceResult&) const = default;
};

class ReferenceDecoder {
 public:
  ReferenceDecoder() {
    for (int colour = 0; colour < 2; ++colour) {
      Node root;
      tree_[colour].push_back(root);
      for (const T4Code& c : T4CodesOf(colour == 1)) {
        int node = 0;
        for (int i = c.length - 1; i >= 0; --i) {
          const int bit = (c.bits >> i) & 1;
          if (tree_[colour][std::size_t(node)].child[bit] == 0) {
            tree_[colour][std::size_t(node)].child[bit] = int(tree_[colour].size());
            tree_[colour].push_back(Node{});
          }
          node = tree_[colour][std::size_t(node)].child[bit];
        }
        tree_[colour][std::size_t(node)].leaf = c.run < 0 ? kEol : c.run;
      }
    }
  }

  ReferenceResult Decode(const std::vector<std::uint8_t>& data) const {
    ReferenceResult r;
    std::vector<std::uint8_t> line(512, 0);
    int colour = 0, node = 0, pos = 0, eols = 0, zeros = 0;
    bool eolSeen = false, skipOnes = false;
    auto endLine = [&] {
      if (pos == 1728 || pos == 2048) {
        r.lines.push_back(DecodedLine{pos, std::vector<std::uint8_t>(line.begin(), line.begin() + pos / 8)});
      }
      std::fill(line.begin(), line.end(), 0);
      pos = 0;
      eolSeen = true;
      colour = 0;
      node = 0;
      zeros = 0;
      if (++eols >= 3) r.ended = true;
    };
    for (std::size_t i = 0; i < data.size() * 8 && !r.ended; ++i) {
      const int bit = (data[i / 8] >> (i % 8)) & 1;
      if (skipOnes) {
        if (bit) continue;
        skipOnes = false;
      }
      // Fill: after eleven 0 bits from the root any further 0 bits are
      // taken, and the next 1 completes an EOL.
      if (zeros >= 11) {
        if (bit == 0) continue;
        endLine();
        continue;
      }
      zeros = (node == 0 || zeros > 0) && bit == 0 ? zeros + 1 : 0;
      const int next = tree_[colour][std::size_t(node)].child[bit];
      if (next == 0) {
        ++r.badCodes;
        node = 0;
        zeros = 0;
        skipOnes = true;
        continue;
      }
      const int leaf = tree_[colour][std::size_t(next)].leaf;
      if (leaf == kEol) {
        endLine();
      } else if (leaf >= 0) {
        if (eolSeen && pos + leaf <= 4096) {
          if (colour == 1) {
            for (int p = pos; p < pos + leaf; ++p) line[std::size_t(p / 8)] |= std::uint8_t(0x80 >> (p % 8));
          }
          pos += leaf;
        }
        if (leaf < 64) colour ^= 1;
        eols = 0;
        node = 0;
        zeros = 0;
      } else {
        node = next;
      }
    }
    return r;
  }

 private:
  static constexpr int kEol = -2;
  struct Node {
    int child[2] = {0, 0};
    int leaf = -1;  // run length, kEol, or -1 for an inner node
  };
  std::vector<Node> tree_[2];
};

}  // namespace tlm::testing
