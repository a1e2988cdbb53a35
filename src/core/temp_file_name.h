// Names for temporary tables: directory + thread digits + sequence number + extension, such as
// "/data/private/00412870.dat".
//
// Two processes, or two threads, that ask at the same moment must never be given the same
// physical name, and a name must never be handed out while a live file has it. So a physical
// name is taken by creating the file exclusively (O_EXCL): when the name exists the next number
// is tried, and the name returned belongs to an empty file this call made. The caller then
// creates its table over that file, which nobody else can have chosen.
//
// The thread digits are the calling thread's id, zero-padded to kTempThreadDigits: ids of live
// threads differ across the whole system, and the fixed width keeps one thread's names apart
// from another's for every sequence number ("0012" + "34" can never equal "0001" + "234").
// Memory files live only in this process, so for them the name is checked against the memory
// registry only; their directory is the fixed name "Temp".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace veltra {

inline constexpr int kTempThreadDigits = 7;
inline constexpr std::string_view kMemoryTempDirectory = "Temp";
inline constexpr char kPathDelimiter = '/';
// How many sequence numbers are tried before giving up (11013).
inline constexpr uint32_t kMaxTempNameAttempts = 1'000'000;

// The directory trimmed of blanks and ending in kPathDelimiter; an empty directory stays empty
// (the current directory).
std::string TempDirectoryPrefix(std::string_view directory);

// The calling thread's digits: its id, zero-padded to kTempThreadDigits (more digits when the id
// is longer).
std::string TempThreadDigits();

// Whether a name is taken in the registry that the name is for.
using TNameTakenFn = std::function<bool(const std::string& name)>;

// The first free temporary name for the calling thread, trying n = 0, 1, 2, ...
//   in memory: "Temp/" + digits + n + extension, the first that `taken` does not report;
//   physical:  TempDirectoryPrefix(directory) + digits + n + extension, the first that `taken`
//              does not report and that can be created exclusively on disk. On return the file
//              exists, empty and closed.
// Raises the engine error of an OS failure other than "exists" (a missing directory gives 11010,
// no permission 11013), with the name as the table; 11013 when kMaxTempNameAttempts names are
// all taken.
std::string MakeTempFileName(std::string_view directory, std::string_view extension, bool in_memory,
                             const TNameTakenFn& taken);

// The step under MakeTempFileName: the first free name stem + n + extension, by the same rules.
// Callers that share one stem (threads of another system reusing ids) still never get one name
// twice.
std::string FirstFreeTempName(std::string_view stem, std::string_view extension, bool in_memory,
                              const TNameTakenFn& taken);

}  // namespace veltra
