#pragma once
// The print choices of the viewer window, kept in TLM.INI, section
// "Printing".
#include <string>

namespace tlm {

struct PrintPreferences {
  bool multiPage = false;  // "MultiPage": several fax pages a sheet
  bool header = true;      // "Header"
  bool footer = true;      // "Footer"
};

// From TLM.INI in the data folder; missing keys take their defaults.
PrintPreferences LoadPrintPreferences();
// Into TLM.INI, other sections and keys kept. False when it cannot be saved.
bool SavePrintPreferences(const PrintPreferences& preferences);

}  // namespace tlm
