#pragma once
// Working files the program leaves in its data folder when it ends in the
// middle of building a fax (killed, crashed, power cut): the memo transfer
// file, the page bitmap, the page files of a fax not yet joined, and
// working folders of its command-line tool. Only one copy of the program
// runs, so at start none of them is in use.
#include <string>

namespace tlm {

// Removes them from `dataFolder`; the number of files and folders removed.
int RemoveStaleWorkingFiles(const std::string& dataFolder);
// The same for the program's data folder.
int RemoveStaleWorkingFiles();

}  // namespace tlm
