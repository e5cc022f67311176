#pragma once
// What the composing windows borrow from the main window: the tables, the
// process's settings record and the data folder.
#include <string>

namespace tlm {

class TableProvider;
struct Settings;

struct ComposeContext {
  TableProvider& tables;
  Settings& settings;
  std::string folder;  // the data folder, ending in '/'
};

// US Letter with half-inch margins: the page of every fax and cover text.
inline constexpr int kLetterWidthTwips = 12240;
inline constexpr int kLetterHeightTwips = 15840;
inline constexpr int kFaxMarginTwips = 720;

}  // namespace tlm
