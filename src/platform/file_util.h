#pragma once
// Small file helpers shared by every layer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tlm {

// Reads a whole file into `out`; false (and `out` empty) when it cannot.
bool ReadWholeFile(const std::string& path, std::string& out);

// Replaces `path` with `contents` atomically: a temporary file in the same
// folder is written and synced, then renamed over the old one. The old file's
// permissions are kept. On failure the old file is untouched, the temporary
// file is removed and `error` (if given) holds the system's text.
bool WriteFileAtomically(const std::string& path, std::string_view contents, std::string* error = nullptr);

// Reads or writes exactly `size` bytes at `offset`, retrying interrupted and
// partial transfers. False on an error, or (errno EIO) at the end of file.
bool PReadAll(int fd, void* data, std::size_t size, std::uint64_t offset);
bool PWriteAll(int fd, const void* data, std::size_t size, std::uint64_t offset);

// `path` made absolute against the current folder (no symlink resolution).
std::string AbsolutePath(const std::string& path);

// The folder part of a path ("a/b/c" -> "a/b/", "c" -> ""), with a trailing '/'.
std::string FolderOf(const std::string& path);

// `folder` with exactly one trailing '/'.
std::string WithTrailingSlash(std::string folder);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// Creates a folder and its parents; true when it exists afterwards.
bool MakeFolders(const std::string& path);

}  // namespace tlm
