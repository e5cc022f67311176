// The "STR0" reader and the string manager, over hand-built images.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "platform/strings/embedded_tables.h"
#include "platform/strings/string_manager.h"

namespace tlm {
namespace {

void Put32(std::vector<unsigned char>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// An image written independently of the generator.
std::vector<unsigned char> Image(const std::map<std::uint32_t, std::u16string>& texts) {
  std::vector<unsigned char> out = {'S', 'T', 'R', '0'};
  Put32(out, static_cast<std::uint32_t>(texts.size()));
  std::uint32_t offset = 8 + 12 * static_cast<std::uint32_t>(texts.size());
  for (const auto& [id, text] : texts) {
    Put32(out, id);
    Put32(out, offset);
    Put32(out, static_cast<std::uint32_t>(text.size()));
    offset += static_cast<std::uint32_t>(text.size() * 2);
  }
  for (const auto& entry : texts) {
    for (char16_t unit : entry.second) {
      out.push_back(static_cast<unsigned char>(unit & 0xFF));
      out.push_back(static_cast<unsigned char>(unit >> 8));
    }
  }
  return out;
}

TEST(StringManager, LooksUpByIdAndReportsMissingIds) {
  const auto image = Image({{1, u"one"}, {7, u"seven"}, {300, u"three hundred"}, {70000, u""}});
  StringManager manager;
  manager.OpenImage("TEST", image);
  EXPECT_EQ(manager.GetString(1), "one");
  EXPECT_EQ(manager.GetString(300), "three hundred");
  EXPECT_EQ(manager.GetString(70000), "");
  try {
    manager.GetString(8);
    FAIL() << "a missing id must raise";
  } catch (const EStringTableError& e) {
    EXPECT_EQ(e.Id(), smStringNotFound);
    EXPECT_STREQ(e.what(), "String not found: 8");
  }
  manager.SetQuiet(true);
  EXPECT_EQ(manager.GetString(8), "");
  manager.Close();
  EXPECT_FALSE(manager.IsOpen());
  EXPECT_EQ(manager.GetString(1), "");  // quiet and closed
}

TEST(StringManager, FixedBufferKeepsTheLongestWholePrefix) {
  // "Grüße €" with a character outside the basic plane at the end.
  const std::u16string text = u"Gr\u00fc\u00dfe \u20ac\U0001F4E0";
  const auto image = Image({{5, text}});
  StringManager manager;
  manager.OpenImage("TEST", image);
  const std::string full = manager.GetString(5);
  ASSERT_EQ(full, "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac\xf0\x9f\x93\xa0");

  char buffer[32];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(manager.GetString(5, buffer, sizeof buffer), full.size());
  EXPECT_STREQ(buffer, full.c_str());
  // Room for "Gr" + half of "ü": only "Gr" fits.
  EXPECT_EQ(manager.GetString(5, buffer, 4), 2u);
  EXPECT_STREQ(buffer, "Gr");
  // The four-byte character does not fit into 15 bytes with the zero.
  EXPECT_EQ(manager.GetString(5, buffer, 15), 11u);
  EXPECT_STREQ(buffer, "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac");
  EXPECT_EQ(manager.GetString(5, buffer, 1), 0u);
  EXPECT_STREQ(buffer, "");
}

TEST(StringManager, RejectsMissingForeignAndDamagedTables) {
  StringManager manager;
  try {
    manager.Open("NO_SUCH_TABLE");
    FAIL();
  } catch (const EStringTableError& e) {
    EXPECT_EQ(e.Id(), smTableNotFound);
    EXPECT_STREQ(e.what(), "String resource not found: NO_SUCH_TABLE");
  }
  auto image = Image({{1, u"a"}, {2, u"b"}});
  auto bad = image;
  bad[3] = '1';
  try {
    manager.OpenImage("T", bad);
    FAIL();
  } catch (const EStringTableError& e) {
    EXPECT_STREQ(e.what(), "Invalid KvString resource");
  }
  auto truncated = image;
  truncated.resize(truncated.size() - 1);  // last text runs past the end
  EXPECT_THROW(manager.OpenImage("T", truncated), EStringTableError);
  auto unsorted = image;
  unsorted[8] = 9;  // first id above the second
  try {
    manager.OpenImage("T", unsorted);
    FAIL();
  } catch (const EStringTableError& e) {
    EXPECT_EQ(e.Id(), smCannotOpen);
    EXPECT_STREQ(e.what(), "Unable to open string resource: T");
  }
  EXPECT_FALSE(manager.IsOpen());
}

// The generated images follow the layout: sorted ids, texts inside.
TEST(EmbeddedTables, HaveTheSpecifiedNamesCountsAndLayout) {
  std::map<std::string, std::uint32_t> counts;
  for (const EmbeddedTable& table : EmbeddedTables()) {
    ASSERT_GE(table.size, 8u);
    ASSERT_EQ(std::memcmp(table.data, "STR0", 4), 0);
    auto word = [&](std::size_t at) {
      return std::uint32_t(table.data[at]) | std::uint32_t(table.data[at + 1]) << 8 |
             std::uint32_t(table.data[at + 2]) << 16 | std::uint32_t(table.data[at + 3]) << 24;
    };
    const std::uint32_t count = word(4);
    counts[table.name] = count;
    std::size_t expectedOffset = 8 + 12 * std::size_t(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::size_t entry = 8 + 12 * std::size_t(i);
      if (i > 0) {
        EXPECT_LT(word(entry - 12), word(entry));
      }
      EXPECT_EQ(word(entry + 4), expectedOffset);  // texts packed in id order
      expectedOffset += 2 * std::size_t(word(entry + 8));
    }
    EXPECT_EQ(expectedOffset, table.size) << table.name;
  }
  EXPECT_EQ(counts["KOVA_ERROR_STRINGS_ENGLISH"], 725u);
  EXPECT_EQ(counts["KOVA_FAX_STRINGS_ENGLISH"], 21u);
  EXPECT_EQ(counts["KVSRMGR_STRINGS"], 5u);
}

}  // namespace
}  // namespace tlm
