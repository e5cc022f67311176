#pragma once
// Joining one-page fax files into one fax.
#include <string>
#include <vector>

namespace tlm {

// Appends every page of the APF file `source` behind the last page of
// `target` and adds its page count to the target's header. Throws an
// EFaxImageError: code 2 when either file is missing (before anything is
// opened), the file layer's errors otherwise; the target is left as it was
// on failure.
void AppendFaxFile(const std::string& target, const std::string& source);

// Appends pages 2.. of the list onto the first and deletes their files.
// Returns the first entry (empty for an empty list).
std::string JoinFaxFiles(const std::vector<std::string>& pages);

}  // namespace tlm
