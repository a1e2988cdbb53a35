#include "platform/directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>

namespace veltra::platform {
namespace {

constexpr mode_t kNewDirectoryMode = 0777;  // narrowed by the umask
constexpr const char* kDefaultTemporaryDirectory = "/tmp";

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsDotEntry(std::string_view name) { return name == "." || name == ".."; }

// Calls visit(name) for every entry but "." and ".."; the system's error when reading fails.
template <typename Visit>
OsStatus ForEachEntry(DIR* dir, Visit visit) {
  for (;;) {
    errno = 0;
    dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) return OsError{errno};
      return OsStatus::Ok();
    }
    std::string_view name(entry->d_name);
    if (!IsDotEntry(name)) visit(name);
  }
}

}  // namespace

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool MatchesPattern(std::string_view name, std::string_view pattern) {
  // Greedy with one backtrack point (the last '*'): linear in practice and never exponential,
  // whatever the pattern.
  size_t n = 0;
  size_t p = 0;
  size_t star = std::string_view::npos;
  size_t star_match = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_match = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || FoldAscii(pattern[p]) == FoldAscii(name[n]))) {
      ++n;
      ++p;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++star_match;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

OsResult<std::vector<DirectoryEntry>> ListDirectory(const std::string& path,
                                                    std::string_view pattern) {
  DirHandle dir(::opendir(path.c_str()));
  if (!dir) return OsError{errno};
  int dir_fd = ::dirfd(dir.get());
  std::vector<DirectoryEntry> entries;
  OsStatus read = ForEachEntry(dir.get(), [&](std::string_view name) {
    if (!MatchesPattern(name, pattern)) return;
    struct stat info {};
    std::string entry_name(name);
    if (::fstatat(dir_fd, entry_name.c_str(), &info, 0) != 0) return;  // vanished or dangling
    entries.push_back(DirectoryEntry{std::move(entry_name), static_cast<uint64_t>(info.st_size),
                                     S_ISDIR(info.st_mode)});
  });
  if (!read.ok()) return OsError{read.error()};
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  return entries;
}

OsStatus CreateDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), kNewDirectoryMode) != 0) return OsError{errno};
  return OsStatus::Ok();
}

std::string TemporaryDirectory() {
  const char* configured = std::getenv("TMPDIR");
  if (configured == nullptr || *configured == '\0') return kDefaultTemporaryDirectory;
  std::string path(configured);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

OsResult<uint64_t> FreeDiskSpace(const std::string& path) {
  struct statvfs info {};
  if (::statvfs(path.c_str(), &info) != 0) return OsError{errno};
  return static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

OsResult<std::string> ResolveName(const std::string& directory, std::string_view name) {
  if (name.empty() || IsDotEntry(name) || name.find('/') != std::string_view::npos) {
    return OsError{EINVAL};
  }
  DirHandle dir(::opendir(directory.c_str()));
  if (!dir) return OsError{errno};
  std::string exact(name);
  struct stat info {};
  if (::fstatat(::dirfd(dir.get()), exact.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
    return exact;
  }
  std::optional<std::string> best;
  OsStatus read = ForEachEntry(dir.get(), [&](std::string_view entry) {
    if (EqualsIgnoringAsciiCase(entry, name) && (!best || entry < *best)) best = std::string(entry);
  });
  if (!read.ok()) return OsError{read.error()};
  if (!best) return OsError{ENOENT};
  return std::move(*best);
}

}  // namespace veltra::platform
