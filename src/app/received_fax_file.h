#pragma once
// The fax file of a received log record: FAXFILE names a file inside the
// receive folder, and nothing else is ever read or removed through it.
#include <QString>

namespace tlm {

// receiveDir + name for a plain file name; empty when the name is empty,
// "." or "..", or has a folder part (it would reach outside the folder).
QString ReceivedFaxFilePath(const QString& receiveDir, const QString& faxFile);

// Removes the received fax file: only a regular file directly in the
// receive folder, never a symbolic link or what one points at, never a
// folder. True when a file was removed.
bool RemoveReceivedFaxFile(const QString& receiveDir, const QString& faxFile);

}  // namespace tlm
