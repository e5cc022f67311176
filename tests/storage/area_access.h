#pragma once
// Test access to the work area behind the selected work area number.
#include "storage/work_area.h"
#include "storage/xb_library.h"

namespace tlm {

struct XbLibraryTestAccess {
  static xbase::WorkArea* Selected(XbLibrary& lib) { return lib.Selected(); }
};

}  // namespace tlm
