#include "core/file_registry.h"

#include <algorithm>
#include <utility>

#include "core/memory_file.h"
#include "core/os_error.h"
#include "core/physical_file.h"
#include "platform/directory.h"
#include "platform/file.h"

namespace veltra {

namespace {

using Lock = std::lock_guard<std::mutex>;

TOpenedFile FailedOpen(TEngineCode code) {
  return TOpenedFile{.handle = -static_cast<TFileHandle>(code)};
}

TOpenedFile FailedOpen(const TFileResult& result) { return FailedOpen(result.code()); }

TFileResult Answer(const platform::OsStatus& status) {
  return status ? TFileResult::Done() : TFileResult::Failure(MapOsError(status.error()));
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Splits a path at its last separator: the directory part (without the separator) and the
// name. Memory names may use either separator.
std::pair<std::string_view, std::string_view> SplitPath(std::string_view path, bool in_memory) {
  const size_t cut = path.find_last_of(in_memory ? "/\\" : "/");
  if (cut == std::string_view::npos) return {std::string_view(), path};
  return {path.substr(0, cut), path.substr(cut + 1)};
}

std::string WithoutExtension(std::string_view name) {
  const size_t dot = name.find_last_of('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

}  // namespace

TFileRegistry::TFileRegistry() = default;

TFileRegistry::~TFileRegistry() { CloseAll(); }

std::string_view TFileRegistry::TrimName(std::string_view name) {
  while (!name.empty() && IsBlank(name.front())) name.remove_prefix(1);
  while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
  return name;
}

std::string TFileRegistry::KeyOf(std::string_view name, bool in_memory) {
  std::string key(TrimName(name));
  if (in_memory) std::transform(key.begin(), key.end(), key.begin(), AsciiUpper);
  return key;
}

std::unique_ptr<TBaseFile> TFileRegistry::MakeFile(const std::string& name, bool in_memory) {
  if (in_memory) return std::make_unique<TMemoryFile>(name);
  return std::make_unique<TPhysicalFile>(name);
}

bool TFileRegistry::Exists(std::string_view name, bool in_memory) {
  TList& list = ListOf(in_memory);
  Lock lock(list.lock);
  if (list.files.contains(KeyOf(name, in_memory))) return true;
  return !in_memory && platform::FileExists(std::string(TrimName(name)));
}

TOpenedFile TFileRegistry::Open(std::string_view name, bool in_memory, const TFileFlags& flags) {
  TList& list = ListOf(in_memory);
  Lock lock(list.lock);
  const std::string key = KeyOf(name, in_memory);
  const auto found = list.files.find(key);
  if (found != list.files.end()) {
    TBaseFile& file = *found->second;
    if (file.open_count() > 0 && (file.exclusive() || flags.exclusive)) {
      return FailedOpen(kErrAccessDenied);
    }
    TFileResult handle = file.Open(flags);
    if (!handle) return FailedOpen(handle);
    return TOpenedFile{.file = &file,
                       .handle = static_cast<TFileHandle>(handle.value()),
                       .read_only = file.read_only(),
                       .forced_read_only = file.forced_read_only()};
  }
  if (in_memory) return FailedOpen(kErrTableNotFound);

  std::unique_ptr<TBaseFile> file = MakeFile(std::string(TrimName(name)), false);
  TFileResult handle = file->Open(flags);
  if (!handle) return FailedOpen(handle);
  TOpenedFile opened{.file = file.get(),
                     .handle = static_cast<TFileHandle>(handle.value()),
                     .read_only = file->read_only(),
                     .forced_read_only = file->forced_read_only()};
  list.files.emplace(key, std::move(file));
  return opened;
}

TOpenedFile TFileRegistry::CreateLocked(TList& list, std::string_view name, bool in_memory,
                                        bool hidden, bool temporary, bool must_be_new) {
  const std::string key = KeyOf(name, in_memory);
  const TFileFlags flags{.exclusive = true,
                         .read_only = false,
                         .temporary = temporary,
                         .hidden = hidden,
                         .must_be_new = must_be_new};
  const auto found = list.files.find(key);
  if (found != list.files.end()) {
    TBaseFile& file = *found->second;
    if (must_be_new || file.open_count() > 0) return FailedOpen(kErrAccessDenied);
    TFileResult handle = file.Create(flags);
    if (!handle) return FailedOpen(handle);
    return TOpenedFile{.file = &file, .handle = static_cast<TFileHandle>(handle.value())};
  }

  std::unique_ptr<TBaseFile> file = MakeFile(std::string(TrimName(name)), in_memory);
  TFileResult handle = file->Create(flags);
  if (!handle) return FailedOpen(handle);
  TOpenedFile created{.file = file.get(), .handle = static_cast<TFileHandle>(handle.value())};
  list.files.emplace(key, std::move(file));
  return created;
}

TOpenedFile TFileRegistry::Create(std::string_view name, bool in_memory, bool hidden,
                                  bool temporary) {
  TList& list = ListOf(in_memory);
  Lock lock(list.lock);
  return CreateLocked(list, name, in_memory, hidden, temporary, false);
}

TOpenedFile TFileRegistry::CreateNew(std::string_view name, bool in_memory, bool hidden,
                                     bool temporary) {
  TList& list = ListOf(in_memory);
  Lock lock(list.lock);
  return CreateLocked(list, name, in_memory, hidden, temporary, true);
}

TFileResult TFileRegistry::Close(const TBaseFile* file, TFileHandle handle, bool in_memory) {
  TList& list = ListOf(in_memory);
  Lock lock(list.lock);
  const auto found = std::find_if(list.files.begin(), list.files.end(),
                                  [file](const auto& entry) { return entry.second.get() == file; });
  if (found == list.files.end()) return TFileResult::Failure(kErrTableNotFound);
  TBaseFile& registered = *found->second;
  if (registered.open_count() == 0) return TFileResult::Failure(kErrTableNotFound);
  if (!registered.IsHandleOpen(handle)) return TFileResult::Failure(kErrInvalidFileHandle);

  TFileResult closed = registered.Close(handle);
  if (registered.open_count() > 0) return closed;
  if (registered.temporary()) {
    TFileResult deleted = registered.Delete();
    list.files.erase(found);
    return closed ? deleted : closed;
  }
  if (!in_memory) list.files.erase(found);
  return closed;
}

TFileResult TFileRegistry::Rename(std::string_view old_name, std::string_view new_name,
                                  bool in_memory) {
  TList& list = ListOf(in_memory);
  Lock lock(list.lock);
  const std::string old_key = KeyOf(old_name, in_memory);
  const std::string new_key = KeyOf(new_name, in_memory);
  const std::string new_path(TrimName(new_name));
  // A name that differs from the old one only in case is the same entry, not another file.
  if (new_key != old_key && list.files.contains(new_key)) {
    return TFileResult::Failure(kErrAccessDenied);
  }
  const auto found = list.files.find(old_key);
  if (found != list.files.end()) {
    TBaseFile& file = *found->second;
    if (file.open_count() > 0) return TFileResult::Failure(kErrAccessDenied);
    TFileResult renamed = file.Rename(new_path);
    if (!renamed) return renamed;
    auto node = list.files.extract(found);
    node.key() = new_key;
    list.files.insert(std::move(node));
    return renamed;
  }
  if (in_memory) return TFileResult::Failure(kErrTableNotFound);
  return Answer(platform::RenameFile(std::string(TrimName(old_name)), new_path));
}

TFileResult TFileRegistry::Delete(std::string_view name, bool in_memory) {
  TList& list = ListOf(in_memory);
  Lock lock(list.lock);
  const auto found = list.files.find(KeyOf(name, in_memory));
  if (found != list.files.end()) {
    TBaseFile& file = *found->second;
    if (file.open_count() > 0) return TFileResult::Failure(kErrAccessDenied);
    TFileResult deleted = file.Delete();
    if (deleted) list.files.erase(found);
    return deleted;
  }
  if (in_memory) return TFileResult::Failure(kErrTableNotFound);
  return Answer(platform::DeleteFile(std::string(TrimName(name))));
}

TFileList TFileRegistry::List(bool in_memory, std::string_view pattern, bool with_extensions) {
  const auto [directory, name_pattern] = SplitPath(TrimName(pattern), in_memory);
  TFileList result;
  auto add = [&](std::string_view name) {
    result.names.push_back(with_extensions ? std::string(name) : WithoutExtension(name));
  };
  if (in_memory) {
    TList& list = ListOf(true);
    Lock lock(list.lock);
    for (const auto& [key, file] : list.files) {
      const std::string name = file->name();
      const auto [file_directory, file_name] = SplitPath(name, true);
      if (platform::EqualsIgnoringAsciiCase(file_directory, directory) &&
          platform::MatchesPattern(file_name, name_pattern)) {
        add(file_name);
      }
    }
  } else {
    const std::string path = directory.empty() ? std::string(".") : std::string(directory);
    auto entries = platform::ListDirectory(path, name_pattern);
    if (!entries) {
      result.error = MapOsError(entries.error());
      return result;
    }
    for (const platform::DirectoryEntry& entry : *entries) {
      if (!entry.is_directory) add(entry.name);
    }
  }
  std::sort(result.names.begin(), result.names.end());
  return result;
}

void TFileRegistry::CloseAll() {
  for (TList* list : {&physical_, &memory_}) {
    Lock lock(list->lock);
    for (auto& [key, file] : list->files) {
      (void)file->CloseAllHandles();
      if (file->temporary()) (void)file->Delete();
    }
    list->files.clear();
  }
}

size_t TFileRegistry::RegisteredCount(bool in_memory) {
  TList& list = ListOf(in_memory);
  Lock lock(list.lock);
  return list.files.size();
}

}  // namespace veltra
