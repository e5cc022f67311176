#pragma once
// Outline-font text for the converter's idTextEx input, drawn with Qt.
// Built into tlmfax only when Qt is part of the build.
#include <memory>

#include "faximage/fax_converter.h"

namespace tlm::tlmfax {

// A rasteriser backed by Qt's font engine; it starts an off-screen
// QGuiApplication when none is running. Null when Qt is not built in.
std::unique_ptr<FaxTextRasterizer> MakeQtTextRasterizer();

}  // namespace tlm::tlmfax
