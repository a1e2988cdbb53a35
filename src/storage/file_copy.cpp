#include "storage/file_copy.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "core/byte_order.h"
#include "core/data_engine.h"
#include "crypto/md5.h"

namespace veltra {

namespace {

const crypto::TDigest& CompressedCopyMarker() {
  static const crypto::TDigest marker = crypto::DigestOfText(kCompressedCopyMarkerText);
  return marker;
}

// Reports 0 at the start, every growth by the step, and 100 at the end.
class ProgressReporter {
 public:
  ProgressReporter(const TEngineFile& file, const TCopyOptions& options)
      : file_(file), options_(options), step_(std::max(options.progress_step, 1)) {}

  void Start() { Report(0); }

  void Advance(uint64_t done, uint64_t total) {
    if (!options_.progress) return;
    const int percent =
        total == 0 ? 100 : static_cast<int>(std::min<uint64_t>(done, total) * 100 / total);
    if (percent < 100 && percent - last_ >= step_) Report(percent);
  }

  void Finish() { Report(100); }

 private:
  void Report(int percent) {
    if (!options_.progress) return;
    last_ = percent;
    options_.progress(file_.file_name(), percent);
  }

  const TEngineFile& file_;
  const TCopyOptions& options_;
  int step_;
  int last_ = 0;
};

void WriteCompressedChunk(TEngineFile& target, std::span<const uint8_t> bytes, uint8_t level,
                          std::vector<uint8_t>& frame) {
  const std::vector<uint8_t> packed = target.engine().CompressBuffer(bytes, level);
  // A chunk a reader would refuse, or take for the end of the copy, is never written.
  if (packed.empty() || packed.size() > kMaxCompressedChunkSize) {
    target.engine().RaiseEngineError(kErrCompress);
  }
  frame.resize(kCopyChunkLengthSize + packed.size());
  StoreU32Le(frame.data(), static_cast<uint32_t>(packed.size()));
  std::copy(packed.begin(), packed.end(), frame.begin() + kCopyChunkLengthSize);
  target.Write(frame.data(), frame.size());
}

}  // namespace

void WriteCopy(TEngineFile& source, TEngineFile& target, const TCopyOptions& options) {
  const uint8_t level = options.compression_level;
  const uint64_t size = source.Size();
  ProgressReporter progress(source, options);
  progress.Start();
  if (level > 0) {
    std::array<uint8_t, kCompressedCopyPrefixSize> prefix{};
    std::copy(CompressedCopyMarker().begin(), CompressedCopyMarker().end(), prefix.begin());
    prefix[kCompressedCopyLevelOffset] = level;
    target.Write(prefix.data(), prefix.size());
  }
  std::vector<uint8_t> chunk(kCopyChunkSize);
  std::vector<uint8_t> frame;
  for (uint64_t offset = 0; offset < size;) {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(kCopyChunkSize, size - offset));
    source.ReadAt(offset, chunk.data(), count, false);
    if (level > 0) {
      WriteCompressedChunk(target, std::span<const uint8_t>(chunk.data(), count), level, frame);
    } else {
      target.Write(chunk.data(), count);
    }
    offset += count;
    progress.Advance(offset, size);
  }
  progress.Finish();
}

namespace {

// The reading of one copy: plain or compressed, into a target or nowhere.
class CopyReader {
 public:
  CopyReader(TEngineFile& source, TEngineFile* target, std::optional<uint64_t> byte_count,
             const TCopyOptions& options)
      : source_(source),
        target_(target),
        byte_count_(byte_count),
        progress_(source, options),
        start_(source.Seek(TSeekOrigin::soCurrent, 0)) {
    const uint64_t size = source.Size();
    available_ = size > start_ ? size - start_ : 0;
  }

  void Run() {
    progress_.Start();
    if (target_ != nullptr) target_->Seek(TSeekOrigin::soBeginning, 0);
    uint64_t end = 0;
    if (IsCompressed()) {
      end = ReadCompressed();
    } else {
      end = ReadPlain();
    }
    if (target_ != nullptr) target_->Write(nullptr, 0);
    source_.Seek(TSeekOrigin::soBeginning, static_cast<int64_t>(end));
    progress_.Finish();
  }

 private:
  [[noreturn]] void Damaged() const { source_.RaiseFileError(kErrInvalidTableFile); }

  bool IsCompressed() {
    std::array<uint8_t, kCompressedCopyMarkerSize> head{};
    if (available_ < head.size()) return false;
    source_.ReadAt(start_, head.data(), head.size(), false);
    return std::equal(head.begin(), head.end(), CompressedCopyMarker().begin());
  }

  void Advance(uint64_t consumed, uint64_t produced) {
    if (byte_count_) {
      progress_.Advance(produced, *byte_count_);
    } else {
      progress_.Advance(consumed, available_);
    }
  }

  uint64_t ReadPlain() {
    const uint64_t total = byte_count_ ? *byte_count_ : available_;
    if (total > available_) source_.RaiseFileError(kErrReadError);
    if (target_ != nullptr) {
      std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(kCopyChunkSize, total)));
      for (uint64_t done = 0; done < total;) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(chunk.size(), total - done));
        source_.ReadAt(start_ + done, chunk.data(), count, false);
        target_->Write(chunk.data(), count);
        done += count;
        Advance(done, done);
      }
    }
    return start_ + total;
  }

  uint64_t ReadCompressed() {
    if (available_ < kCompressedCopyPrefixSize) Damaged();  // the level byte is missing
    uint64_t offset = start_ + kCompressedCopyPrefixSize;
    const uint64_t end_of_source = start_ + available_;
    uint64_t produced = 0;
    std::vector<uint8_t> packed;
    while (!byte_count_ || produced < *byte_count_) {
      if (offset == end_of_source) break;
      if (end_of_source - offset < kCopyChunkLengthSize) Damaged();
      std::array<uint8_t, kCopyChunkLengthSize> length_bytes{};
      source_.ReadAt(offset, length_bytes.data(), length_bytes.size(), false);
      offset += kCopyChunkLengthSize;
      const uint32_t length = LoadU32Le(length_bytes.data());
      if (length == 0) break;
      if (length > kMaxCompressedChunkSize || length > end_of_source - offset) Damaged();
      packed.resize(length);
      source_.ReadAt(offset, packed.data(), length, false);
      offset += length;
      const std::vector<uint8_t> bytes = source_.engine().DecompressBuffer(packed, kCopyChunkSize);
      if (byte_count_ && bytes.size() > *byte_count_ - produced) Damaged();
      if (target_ != nullptr && !bytes.empty()) target_->Write(bytes.data(), bytes.size());
      produced += bytes.size();
      Advance(offset - start_, produced);
    }
    if (byte_count_ && produced != *byte_count_) Damaged();
    return offset;
  }

  TEngineFile& source_;
  TEngineFile* target_;
  std::optional<uint64_t> byte_count_;
  ProgressReporter progress_;
  uint64_t start_;
  uint64_t available_ = 0;
};

}  // namespace

void ReadCopy(TEngineFile& source, TEngineFile* target, std::optional<uint64_t> byte_count,
              const TCopyOptions& options) {
  CopyReader(source, target, byte_count, options).Run();
}

}  // namespace veltra
