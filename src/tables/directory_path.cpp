#include "tables/directory_path.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "core/engine_error.h"
#include "core/os_error.h"
#include "platform/directory.h"

namespace veltra {
namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// The steps of `path` between separators, without empty and "." steps.
std::vector<std::string_view> StepsOf(std::string_view path) {
  std::vector<std::string_view> steps;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(kPathSeparator, start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view step = path.substr(start, end - start);
    if (!step.empty() && step != ".") steps.push_back(step);
    start = end + 1;
  }
  return steps;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsMemoryDirectoryName(std::string_view name) {
  return platform::EqualsIgnoringAsciiCase(TrimBlanks(name), "Memory");
}

std::string CurrentDirectoryPath() {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() >= (size_t{1} << 20)) {
      RaiseEngineError(MapLastOsError(), {.table = "."});
    }
    buffer.resize(buffer.size() * 2);
  }
  std::string path(buffer.data());
  if (path.empty() || path.back() != kPathSeparator) path.push_back(kPathSeparator);
  return path;
}

std::string NormaliseDirectoryPath(std::string_view path, bool in_memory, size_t max_length) {
  const std::string_view given = TrimBlanks(path);
  if (given.empty() && in_memory) return {};

  std::string full;
  if (!in_memory && (given.empty() || given.front() != kPathSeparator)) {
    full = CurrentDirectoryPath();
  }
  full.append(given);

  std::string result;
  if (!full.empty() && full.front() == kPathSeparator) result.push_back(kPathSeparator);
  for (std::string_view step : StepsOf(full)) {
    result.append(step);
    result.push_back(kPathSeparator);
  }
  // A memory path made only of separators and "." steps names the root of the memory names.
  if (result.empty()) result.push_back(kPathSeparator);

  if (result.size() > max_length) {
    MapOsError(ENAMETOOLONG);
    RaiseEngineError(kErrTableNotFound, {.table = given});
  }
  return result;
}

}  // namespace veltra
