#include "tables/data_session.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "core/engine_error.h"
#include "core/os_error.h"
#include "platform/directory.h"
#include "tables/data_directory.h"
#include "tables/directory_path.h"

namespace veltra {
namespace {

constexpr uint16_t kWholeProgress = 100;

}  // namespace

TDataSession::TDataSession(TDataEngine& engine) : engine_(engine) {
  std::string temporary = platform::TemporaryDirectory();
  if (temporary.empty() || temporary.back() != kPathSeparator) temporary.push_back(kPathSeparator);
  private_directory_ = std::move(temporary);
}

TDataSession::~TDataSession() {
  // Newest first, so a directory opened on top of another's tables goes before it.
  while (!directories_.empty()) directories_.pop_back();
  passwords_.clear();
  removed_passwords_.clear();
}

uint16_t TDataSession::ProgressStep() const {
  return progress_steps_ == 0 ? kWholeProgress
                              : static_cast<uint16_t>(kWholeProgress / progress_steps_);
}

// ---- Private directory --------------------------------------------------------------------

std::string TDataSession::PrivateDirectory() const {
  if (private_directory_.empty()) return CurrentDirectoryPath();
  return private_directory_;
}

void TDataSession::SetPrivateDirectory(std::string_view path) {
  const std::string_view trimmed = TrimBlanks(path);
  if (trimmed.empty()) {
    private_directory_.clear();
    return;
  }
  std::string stored(trimmed);
  while (stored.size() > 1 && stored.back() == kPathSeparator &&
         stored[stored.size() - 2] == kPathSeparator) {
    stored.pop_back();
  }
  if (stored.back() != kPathSeparator) stored.push_back(kPathSeparator);
  if (stored.size() > kMaxDirectoryPathLength) {
    MapOsError(ENAMETOOLONG);
    RaiseEngineError(kErrTableNotFound, {.table = trimmed});
  }
  private_directory_ = std::move(stored);
}

// ---- Passwords ----------------------------------------------------------------------------

void TDataSession::AddPassword(std::string_view text) {
  if (text.empty() || FindPassword(text) != nullptr) return;
  if (text.size() > kMaxPasswordLength) RaiseEngineError(kErrInvalidPassword);
  const auto removed =
      std::find_if(removed_passwords_.begin(), removed_passwords_.end(),
                   [text](const std::unique_ptr<TDataPassword>& p) { return p->text() == text; });
  if (removed != removed_passwords_.end()) {
    passwords_.push_back(std::move(*removed));
    removed_passwords_.erase(removed);
    return;
  }
  passwords_.push_back(std::make_unique<TDataPassword>(engine_, text));
}

void TDataSession::RemovePassword(std::string_view text) {
  const auto found =
      std::find_if(passwords_.begin(), passwords_.end(),
                   [text](const std::unique_ptr<TDataPassword>& p) { return p->text() == text; });
  if (found == passwords_.end()) return;
  removed_passwords_.push_back(std::move(*found));
  passwords_.erase(found);
}

void TDataSession::RemoveAllPasswords() {
  for (std::unique_ptr<TDataPassword>& password : passwords_) {
    removed_passwords_.push_back(std::move(password));
  }
  passwords_.clear();
}

TDataPassword* TDataSession::FindPassword(std::string_view text) const {
  for (const std::unique_ptr<TDataPassword>& password : passwords_) {
    if (password->text() == text) return password.get();
  }
  return nullptr;
}

TDataPassword* TDataSession::FindPasswordByCheck(const crypto::TPasswordCheckValue& check) const {
  for (const std::unique_ptr<TDataPassword>& password : passwords_) {
    if (password->MatchesCheckValue(check)) return password.get();
  }
  return nullptr;
}

bool TDataSession::AskForPassword() { return password_callback_ ? password_callback_() : false; }

std::vector<const TDataPassword*> TDataSession::Passwords() const {
  std::vector<const TDataPassword*> result;
  for (const std::unique_ptr<TDataPassword>& password : passwords_) {
    result.push_back(password.get());
  }
  return result;
}

// ---- Directories --------------------------------------------------------------------------

TDataDirectory& TDataSession::OpenDirectory(std::string_view name, std::string_view path,
                                            bool keep_tables_open) {
  const bool in_memory = IsMemoryDirectoryName(name);
  std::string normalised = NormaliseDirectoryPath(path, in_memory, kMaxDirectoryPathLength);
  for (const std::unique_ptr<TDataDirectory>& directory : directories_) {
    if (directory->in_memory() == in_memory && directory->path() == normalised) {
      ++directory->use_count_;
      return *directory;
    }
  }
  auto directory = std::make_unique<TDataDirectory>(*this, name, std::move(normalised), in_memory,
                                                    keep_tables_open, lock_options_);
  directory->use_count_ = 1;
  directories_.push_back(std::move(directory));
  return *directories_.back();
}

void TDataSession::ReleaseDirectory(TDataDirectory& directory) {
  const auto found = std::find_if(
      directories_.begin(), directories_.end(),
      [&directory](const std::unique_ptr<TDataDirectory>& d) { return d.get() == &directory; });
  if (found == directories_.end() || directory.use_count_ <= 0) return;
  if (--directory.use_count_ == 0) directories_.erase(found);
}

}  // namespace veltra
