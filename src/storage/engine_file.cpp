#include "storage/engine_file.h"

#include <exception>
#include <utility>

#include "core/data_engine.h"
#include "core/file_registry.h"
#include "storage/file_copy.h"

namespace veltra {

TEngineFile::TEngineFile(TDataEngine& engine, std::string file_name, bool in_memory)
    : engine_(engine), file_name_(std::move(file_name)), in_memory_(in_memory) {}

TEngineFile::~TEngineFile() {
  if (base_file_ != nullptr) {
    (void)engine_.FileRegistry().Close(base_file_, handle_, in_memory_);
  }
}

std::string TEngineFile::Name() const { return file_name_; }

void TEngineFile::set_file_name(std::string file_name) { file_name_ = std::move(file_name); }

void TEngineFile::RaiseFileError(TEngineCode code) const {
  const std::string name = Name();
  engine_.RaiseEngineError(code, {.table = name});
}

int64_t TEngineFile::Checked(TFileResult result) const {
  if (!result) RaiseFileError(result.code());
  return result.value();
}

void TEngineFile::TakeOpened(TBaseFile* file, TFileHandle handle, bool read_only,
                             bool forced_read_only) {
  base_file_ = file;
  handle_ = handle;
  read_only_ = read_only;
  forced_read_only_ = forced_read_only;
}

void TEngineFile::Open() {
  const TOpenedFile opened = engine_.FileRegistry().Open(file_name_, in_memory_,
                                                         TFileFlags{.exclusive = exclusive_,
                                                                    .read_only = read_only_,
                                                                    .temporary = temporary_,
                                                                    .hidden = hidden_});
  if (!opened.ok()) RaiseFileError(opened.code());
  TakeOpened(opened.file, opened.handle, opened.read_only, opened.forced_read_only);
}

void TEngineFile::Close() {
  if (base_file_ == nullptr) return;
  const TFileResult closed = engine_.FileRegistry().Close(base_file_, handle_, in_memory_);
  base_file_ = nullptr;
  handle_ = 0;
  Checked(closed);
}

void TEngineFile::Create() {
  const TOpenedFile created =
      engine_.FileRegistry().Create(file_name_, in_memory_, hidden_, temporary_);
  if (!created.ok()) RaiseFileError(created.code());
  TakeOpened(created.file, created.handle, false, false);
}

void TEngineFile::Delete() { Checked(engine_.FileRegistry().Delete(file_name_, in_memory_)); }

void TEngineFile::Rename(const std::string& new_name) {
  Checked(engine_.FileRegistry().Rename(file_name_, new_name, in_memory_));
  file_name_ = new_name;
}

void TEngineFile::CopyToFile(const std::string& target_name, const TCopyOptions& options) {
  TEngineFile target(engine_, target_name, in_memory_);
  target.Create();
  try {
    WriteCopy(*this, target, options);
    target.Close();
  } catch (...) {
    // A partial copy would read back as a whole one (a copy ends where its file ends), so it is
    // not left behind.
    try {
      target.Close();
      target.Delete();
    } catch (...) {
    }
    throw;
  }
}

void TEngineFile::ReplaceFromFile(const std::string& source_name, const TCopyOptions& options) {
  TEngineFile source(engine_, source_name, in_memory_);
  source.set_read_only(true);
  source.Open();
  ReadCopy(source, this, std::nullopt, options);
  source.Close();
}

void TEngineFile::AppendToFile(TEngineFile& target, const TCopyOptions& options) {
  WriteCopy(*this, target, options);
}

void TEngineFile::ReadFromFile(TEngineFile& source, uint64_t byte_count,
                               const TCopyOptions& options) {
  ReadCopy(source, this, byte_count, options);
}

void TEngineFile::SkipInFile(TEngineFile& source, uint64_t byte_count) {
  ReadCopy(source, nullptr, byte_count, TCopyOptions{});
}

size_t TEngineFile::Read(void* buffer, size_t count, bool accept_short) {
  const TFileResult read = base_file_->Read(handle_, buffer, count);
  if (!read || (!accept_short && static_cast<uint64_t>(read.value()) < count)) {
    RaiseFileError(kErrReadError);
  }
  return static_cast<size_t>(read.value());
}

void TEngineFile::Write(const void* buffer, size_t count) {
  const TFileResult written = base_file_->Write(handle_, buffer, count);
  if (!written || static_cast<uint64_t>(written.value()) != count) RaiseFileError(kErrWriteError);
}

size_t TEngineFile::ReadAt(uint64_t offset, void* buffer, size_t count, bool accept_short) {
  const TFileResult read = base_file_->ReadAt(handle_, offset, buffer, count);
  if (!read || (!accept_short && static_cast<uint64_t>(read.value()) < count)) {
    RaiseFileError(kErrReadError);
  }
  return static_cast<size_t>(read.value());
}

void TEngineFile::WriteAt(uint64_t offset, const void* buffer, size_t count) {
  const TFileResult written = base_file_->WriteAt(handle_, offset, buffer, count);
  if (!written || static_cast<uint64_t>(written.value()) != count) RaiseFileError(kErrWriteError);
}

void TEngineFile::Flush() { Checked(base_file_->Flush(handle_)); }

uint64_t TEngineFile::Seek(TSeekOrigin origin, int64_t offset) {
  return static_cast<uint64_t>(Checked(base_file_->Seek(handle_, origin, offset)));
}

uint64_t TEngineFile::Size() { return static_cast<uint64_t>(Checked(base_file_->Size())); }

void TEngineFile::SetEnd(uint64_t size) {
  // The position is shared by every handle of the file: the seek and the write that sets the end
  // must not be split by another user.
  ScopedEngineFileGuard guard(*this);
  Seek(TSeekOrigin::soBeginning, static_cast<int64_t>(size));
  Write(nullptr, 0);
}

bool TEngineFile::LockRange(uint64_t offset, uint64_t length) {
  return base_file_->LockRange(offset, length);
}

bool TEngineFile::UnlockRange(uint64_t offset, uint64_t length) {
  return base_file_->UnlockRange(offset, length);
}

}  // namespace veltra
