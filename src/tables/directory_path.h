// The paths of database directories as sessions compare them. A directory object is found again
// by its path, so the path must name one directory whatever way it was written: blanks around it
// are trimmed, a relative path is made absolute against the current directory at the moment of
// opening (so a later change of the current directory cannot make one object stand for two
// directories), repeated separators and "." steps are removed, and the path ends in exactly one
// separator. ".." steps are kept as written: resolving them without the file system could merge
// two directories reached through symbolic links.
//
// Paths compare exactly, byte for byte: on Linux "Data" and "data" are two directories.
//
// Every function may be called from any thread.
#pragma once

#include <string>
#include <string_view>

namespace veltra {

inline constexpr char kPathSeparator = '/';

// `text` without leading and trailing blanks and control characters.
std::string_view TrimBlanks(std::string_view text);

// True when `name` (trimmed) is "Memory" without regard to ASCII case.
bool IsMemoryDirectoryName(std::string_view name);

// The process's current directory with one separator at the end. Raises the engine error of
// the system's failure.
std::string CurrentDirectoryPath();

// `path` normalised as above; for an in-memory directory (`in_memory`) nothing is made absolute
// and a blank path stays empty, for a directory on disk a blank path is the current directory.
// A result longer than `max_length` raises kErrTableNotFound with the OS error ENAMETOOLONG and
// the given path as the table name; the path is never cut.
std::string NormaliseDirectoryPath(std::string_view path, bool in_memory, size_t max_length);

}  // namespace veltra
