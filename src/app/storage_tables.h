#pragma once
// The program's tables: the four xBase tables of the data folder, reached
// through the storage layer's table objects and engine components.
#include <memory>

#include "app/table_access.h"

namespace tlm {

// Opens or creates the tables in DataFolder().
std::unique_ptr<TableProvider> CreateStorageTables();

}  // namespace tlm
