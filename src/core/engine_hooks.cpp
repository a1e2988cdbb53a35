// The built-in services behind the engine's hooks: cipher contexts over the built-in or the
// application's cipher, and zlib compression with bounded decompression.
#include "core/engine_hooks.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

#include "core/engine_error.h"

namespace veltra {

// ---- Cipher contexts ----------------------------------------------------------------------------

TCipherContext::TCipherContext(PrivateTag, std::unique_ptr<crypto::CipherState> builtin)
    : builtin_(std::move(builtin)) {}

TCipherContext::TCipherContext(PrivateTag, const TCipherHooks& hooks, std::vector<uint8_t> bytes)
    : hooks_(hooks), bytes_(std::move(bytes)) {}

std::unique_ptr<TCipherContext> TCipherContext::Create(const TCipherHooks& hooks,
                                                       std::span<const uint8_t> key) {
  if (!hooks.Complete()) {
    return std::make_unique<TCipherContext>(PrivateTag(), crypto::CreateCipherState(key));
  }
  std::vector<uint8_t> bytes = hooks.Init(key);
  return std::make_unique<TCipherContext>(PrivateTag(), hooks, std::move(bytes));
}

size_t TCipherContext::Size() const { return builtin_ ? crypto::kCipherStateSize : bytes_.size(); }

void TCipherContext::EncryptBuffer(std::span<uint8_t> area) {
  if (builtin_) {
    crypto::EncryptBuffer(*builtin_, area);
    return;
  }
  crypto::TransformBuffer(
      area,
      [this](std::span<uint8_t, crypto::kCipherBlockSize> block) {
        hooks_.EncryptBlock(bytes_, block);
      },
      [this] {
        if (hooks_.Reset) hooks_.Reset(bytes_);
      });
}

void TCipherContext::DecryptBuffer(std::span<uint8_t> area) {
  if (builtin_) {
    crypto::DecryptBuffer(*builtin_, area);
    return;
  }
  crypto::TransformBuffer(
      area,
      [this](std::span<uint8_t, crypto::kCipherBlockSize> block) {
        hooks_.DecryptBlock(bytes_, block);
      },
      [this] {
        if (hooks_.Reset) hooks_.Reset(bytes_);
      });
}

// ---- zlib ---------------------------------------------------------------------------------------

namespace {

// Output is inflated through a scratch area of this size and appended, so memory stays within
// the caller's bound plus this much whatever the stream claims.
constexpr size_t kInflateScratchSize = 64 * 1024;
// zlib counts its buffers in 32-bit units; longer inputs are fed in pieces of this size.
constexpr size_t kMaxZlibPiece = std::numeric_limits<uInt>::max();

class InflateStream {
 public:
  InflateStream() { ok_ = inflateInit(&stream_) == Z_OK; }
  ~InflateStream() {
    if (ok_) inflateEnd(&stream_);
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;

  bool ok() const { return ok_; }
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

}  // namespace

size_t ZlibCompressBound(size_t input_size) { return compressBound(input_size); }

std::vector<uint8_t> ZlibCompress(std::span<const uint8_t> input, uint8_t level) {
  if (level > kMaxCompressionLevel) RaiseEngineError(kErrCompress);
  uLongf output_size = compressBound(input.size());
  std::vector<uint8_t> output(output_size);
  const int result =
      compress2(output.data(), &output_size, input.data(), input.size(), static_cast<int>(level));
  if (result != Z_OK) RaiseEngineError(kErrCompress);
  output.resize(output_size);
  return output;
}

std::vector<uint8_t> ZlibDecompress(std::span<const uint8_t> input, size_t max_output) {
  InflateStream inflater;
  if (!inflater.ok()) RaiseEngineError(kErrUncompress);
  z_stream& stream = inflater.stream();
  std::vector<uint8_t> output;
  std::vector<uint8_t> scratch(kInflateScratchSize);
  size_t consumed = 0;  // input bytes handed to zlib so far
  for (;;) {
    if (stream.avail_in == 0 && consumed < input.size()) {
      const size_t piece = std::min(input.size() - consumed, kMaxZlibPiece);
      stream.next_in = const_cast<Bytef*>(input.data() + consumed);
      stream.avail_in = static_cast<uInt>(piece);
      consumed += piece;
    }
    stream.next_out = scratch.data();
    stream.avail_out = static_cast<uInt>(scratch.size());
    const int result = inflate(&stream, Z_NO_FLUSH);
    const size_t produced = scratch.size() - stream.avail_out;
    if (produced > max_output - output.size()) RaiseEngineError(kErrUncompress);
    output.insert(output.end(), scratch.begin(), scratch.begin() + produced);
    if (result == Z_STREAM_END) break;
    // Z_BUF_ERROR means no progress was possible: the input ended inside the stream.
    if (result != Z_OK) RaiseEngineError(kErrUncompress);
  }
  // The stream must be the whole input: trailing bytes mean the data is not what was stored.
  if (stream.avail_in != 0 || consumed != input.size()) RaiseEngineError(kErrUncompress);
  return output;
}

}  // namespace veltra
