// Directory services of the operating system as the engine uses them: listing a directory's
// entries, creating directories, the temporary-files directory, free disk space, existence
// tests, and finding a file by a name that compares without regard to case.
//
// Names on Linux are case-sensitive, table names are not. ResolveName bridges the two: an entry
// of exactly the given name wins; otherwise the entries whose names equal it with ASCII letters
// folded (a-z = A-Z; other bytes compare exactly) are candidates, and of several the one that
// sorts first by byte value is taken, so the answer never depends on the order of the listing.
//
// Every function may be called from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os_result.h"

namespace veltra::platform {

struct DirectoryEntry {
  std::string name;  // without the directory
  uint64_t size = 0;
  bool is_directory = false;
};

// The entries of a directory whose names match `pattern` (MatchesPattern), without "." and "..",
// sorted by name in byte order. Symbolic links count as what they point to; a dangling link and an
// entry that vanishes while the directory is read are left out. Errors: the system's (ENOENT,
// ENOTDIR, EACCES, ...).
OsResult<std::vector<DirectoryEntry>> ListDirectory(const std::string& path,
                                                    std::string_view pattern = "*");

// Wildcard match without regard to ASCII case: '*' matches any run of bytes (also none), '?' any
// one byte, every other byte itself. "*.dat" matches "Draws.DAT"; "*.*" needs a dot.
bool MatchesPattern(std::string_view name, std::string_view pattern);

// Whether two names are equal with ASCII letters folded.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Creates one directory (its parent must exist). EEXIST when the name is taken.
OsStatus CreateDirectory(const std::string& path);

// The directory for temporary files: $TMPDIR when set and not empty, else "/tmp"; without a
// trailing '/'.
std::string TemporaryDirectory();

// Bytes available to an unprivileged user on the file system holding `path`.
OsResult<uint64_t> FreeDiskSpace(const std::string& path);

// Whether `path` names something that is not a directory (links followed).
bool FileExists(const std::string& path);

// Whether `path` names a directory (links followed).
bool DirectoryExists(const std::string& path);

// The name of the entry of `directory` that `name` denotes under case-insensitive comparison (see
// the top of the file). Errors: ENOENT when no entry matches; EINVAL when `name` is empty, "." or
// "..", or holds a '/'; the system's when the directory cannot be read.
OsResult<std::string> ResolveName(const std::string& directory, std::string_view name);

}  // namespace veltra::platform
