// Temporary file names, taken by exclusive creation.
#include "core/temp_file_name.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include "core/engine_error.h"
#include "core/os_error.h"
#include "platform/clock.h"
#include "platform/file.h"

namespace veltra {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string TempDirectoryPrefix(std::string_view directory) {
  std::string prefix(Trim(directory));
  if (!prefix.empty() && prefix.back() != kPathDelimiter) prefix.push_back(kPathDelimiter);
  return prefix;
}

std::string TempThreadDigits() {
  const int64_t id = platform::CurrentThreadId();
  std::string digits = std::to_string(id < 0 ? -static_cast<uint64_t>(id) : id);
  if (digits.size() < static_cast<size_t>(kTempThreadDigits)) {
    digits.insert(0, kTempThreadDigits - digits.size(), '0');
  }
  return digits;
}

std::string MakeTempFileName(std::string_view directory, std::string_view extension, bool in_memory,
                             const TNameTakenFn& taken) {
  const std::string stem =
      (in_memory ? TempDirectoryPrefix(kMemoryTempDirectory) : TempDirectoryPrefix(directory)) +
      TempThreadDigits();
  return FirstFreeTempName(stem, extension, in_memory, taken);
}

std::string FirstFreeTempName(std::string_view stem, std::string_view extension, bool in_memory,
                              const TNameTakenFn& taken) {
  std::string name;
  for (uint32_t n = 0; n < kMaxTempNameAttempts; ++n) {
    name.assign(stem);
    name.append(std::to_string(n));
    name.append(extension);
    if (taken(name)) continue;
    if (in_memory) return name;
    platform::OsResult<platform::File> created = platform::File::CreateNew(name);
    if (created.ok()) {
      // The empty file keeps the name ours; the caller creates its table over it.
      if (platform::OsStatus closed = created->Close(); !closed.ok()) {
        RaiseEngineError(MapOsError(closed.error()), {.table = name});
      }
      return name;
    }
    if (created.error() != EEXIST) RaiseEngineError(MapOsError(created.error()), {.table = name});
  }
  RaiseEngineError(kErrAccessDenied, {.table = name});
}

}  // namespace veltra
