#pragma once
// Collects one \pict group of an RTF file into a Picture: its format word,
// sizes and scaling, and its data as hex digits or \bin bytes. Damaged data
// (an odd number of hex digits, a stray character, \bin running past the
// end of the file) leaves the picture out rather than guessing at it.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "richtext/rtf/rtf_picture.h"

namespace tlm::rtf {

class PictureReader {
 public:
  // Starts a new picture, forgetting the last one.
  void Begin();
  // A control word of the \pict group itself (not of its sub-groups).
  void Word(std::string_view word, bool hasParam, long long param);
  // A character of the group's text: hex digits and white space.
  void Text(char c);
  // The bytes that followed \binN; `complete` false when the file ended first.
  void Binary(std::string_view bytes, bool complete);
  // The picture read, or nothing when its data was damaged or empty.
  std::optional<Picture> End();

 private:
  Picture picture_;
  bool damaged_ = false;
  bool formatSeen_ = false;
  int highNibble_ = -1;  // a first hex digit waiting for its second
  int goalWidth_ = 0;
  int goalHeight_ = 0;
  int scaleX_ = 100;
  int scaleY_ = 100;
  int crop_[4] = {0, 0, 0, 0};  // \piccropl, t, r, b: twips before scaling
  bool pixelSizes_ = false;  // \picw/\pich count pixels (a bitmap), not 0.01 mm
};

// The pixel size stored in a PNG or JPEG file's header; false when the
// header cannot be read.
bool ImagePixelSize(const std::string& data, PictureKind kind, int& width, int& height);

}  // namespace tlm::rtf
