#pragma once
// Test support for the RTF reader and writer tests: fixture text and a
// document read with any error reported as a test failure.
#include <gtest/gtest.h>

#include <string>

#include "richtext/rtf/rtf_reader.h"
#include "support/temp_dir.h"

namespace tlm::rtf::test_support {

inline std::string Fixture(const std::string& name) {
  return tlm::testing::ReadText(std::string(TOLMERA_FIXTURES_DIR) + "/rtf/" + name);
}

inline Document Read(const std::string& text) {
  Document doc;
  std::string error;
  EXPECT_TRUE(ReadRtf(text, doc, &error)) << error;
  return doc;
}

}  // namespace tlm::rtf::test_support
