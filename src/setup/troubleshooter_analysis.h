#pragma once
// "Analysis of Your Current Configuration": the settings record read item
// by item, each item a comment on one setting.
#include <string>
#include <vector>

#include "app/core/settings.h"

namespace tlm::troubleshooter {

struct AnalysisItem {
  bool header = false;  // a bold underlined header line, else a bullet
  std::string text;
};

// The items for `settings`; `portDevice` is the device the configured port
// maps to ("" when it maps to none).
std::vector<AnalysisItem> AnalyseSettings(const Settings& settings, const std::string& portDevice);

// The analysis document: its introduction followed by the items.
std::string AnalysisDocument(const std::vector<AnalysisItem>& items);

}  // namespace tlm::troubleshooter
