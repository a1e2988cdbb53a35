// The engine's replaceable services: the block cipher of encrypted tables and the compression of
// BLOB values and table copies. Each has a built-in implementation (the Blowfish CBC cipher,
// zlib) and a hook through which the application replaces it; the engine component sets a hook
// when the matching event is assigned and clears it when the event is cleared.
//
// A cipher context is the key material of one table password. It is made once per password, by
// the application's init hook when a complete replacement cipher is in force (init, encrypt
// block and decrypt block hooks set) or else as the built-in cipher state, and it keeps the
// operations that made it: a context made by the application's cipher goes on using the hooks
// it was made with, even when the hooks change later, so a table never switches cipher in the
// middle of its life. A context is used by one thread at a time.
//
// Compression results and decompression results are new byte vectors owned by the caller.
// Decompression is always bounded: the caller names the largest result it accepts, and a stream
// that would produce more is a failure, never a larger allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/cipher_state.h"

namespace veltra {

// The cipher hooks. The init hook receives the key (the engine passes the 16-byte password
// digest) and returns the application's context bytes; the block hooks transform one 8-byte
// block in place with that context; the reset hook starts a new chain. Any hook may throw; the
// exception reaches the caller of the buffer operation (after the reset, see EncryptBuffer).
using TCryptoInitHook = std::function<std::vector<uint8_t>(std::span<const uint8_t> key)>;
using TCipherBlockHook = std::function<void(std::span<uint8_t> context,
                                            std::span<uint8_t, crypto::kCipherBlockSize> block)>;
using TCryptoResetHook = std::function<void(std::span<uint8_t> context)>;

struct TCipherHooks {
  TCryptoInitHook Init;
  TCipherBlockHook EncryptBlock;
  TCipherBlockHook DecryptBlock;
  TCryptoResetHook Reset;  // may stay empty: the application's cipher then has no chain to reset

  // True when the application's cipher replaces the built-in one.
  bool Complete() const { return Init && EncryptBlock && DecryptBlock; }
};

// The key material of one password: the built-in cipher state, or the application's context with
// the hooks that made it.
class TCipherContext {
 public:
  // Makes the context for `key`: through hooks.Init when hooks.Complete(), else the built-in
  // cipher keyed with `key`. An exception of the init hook propagates.
  static std::unique_ptr<TCipherContext> Create(const TCipherHooks& hooks,
                                                std::span<const uint8_t> key);

  // Made only through Create (the tag cannot be made elsewhere).
  struct PrivateTag {
   private:
    PrivateTag() = default;
    friend class TCipherContext;
  };
  TCipherContext(PrivateTag, std::unique_ptr<crypto::CipherState> builtin);
  TCipherContext(PrivateTag, const TCipherHooks& hooks, std::vector<uint8_t> bytes);

  TCipherContext(const TCipherContext&) = delete;
  TCipherContext& operator=(const TCipherContext&) = delete;

  // True when the application's cipher made this context.
  bool IsApplicationCipher() const { return builtin_ == nullptr; }
  // The size of the context: kCipherStateSize for the built-in cipher.
  size_t Size() const;

  // The whole 8-byte blocks of `area`, in order, then the reset, which runs also when a block
  // fails (the block's exception then propagates). A tail of fewer than 8 bytes is not touched.
  void EncryptBuffer(std::span<uint8_t> area);
  void DecryptBuffer(std::span<uint8_t> area);

 private:
  std::unique_ptr<crypto::CipherState> builtin_;  // null for the application's cipher
  TCipherHooks hooks_;                            // the application's cipher only
  std::vector<uint8_t> bytes_;                    // the application's context
};

// The compression hooks. Compress receives the bytes and the level (0 to 9) and returns the
// compressed form; decompress returns the original bytes. A hook reports failure by throwing;
// the engine turns a failure into error 15001 or 15002.
using TCompressHook =
    std::function<std::vector<uint8_t>(std::span<const uint8_t> input, uint8_t level)>;
using TDecompressHook = std::function<std::vector<uint8_t>(std::span<const uint8_t> input)>;

struct TCompressionHooks {
  TCompressHook Compress;
  TDecompressHook Decompress;
};

// The highest zlib level.
inline constexpr uint8_t kMaxCompressionLevel = 9;

// `input` as one zlib stream at `level`. A level above kMaxCompressionLevel or a failure of zlib
// raises 15001.
std::vector<uint8_t> ZlibCompress(std::span<const uint8_t> input, uint8_t level);

// The bytes of the zlib stream `input`, which must end exactly at the end of `input`. Raises
// 15002 when the stream is damaged, truncated, followed by other bytes, or would produce more
// than `max_output` bytes; memory grows with the output, never past max_output.
std::vector<uint8_t> ZlibDecompress(std::span<const uint8_t> input, size_t max_output);

// zlib's bound on the compressed size of `input_size` bytes.
size_t ZlibCompressBound(size_t input_size);

// Text index word filtering and the custom function evaluation, which later subjects fill in.
// The filter hook may change the text to index; the token hook answers whether a word is kept,
// given the engine's own answer.
using TTextIndexFilterHook = std::function<void(
    std::string_view table_name, std::string_view field_name, std::string& text_to_index)>;
using TTextIndexTokenFilterHook =
    std::function<bool(std::string_view table_name, std::string_view field_name,
                       std::string_view token, bool include)>;

struct TTextIndexHooks {
  TTextIndexFilterHook Filter;
  TTextIndexTokenFilterHook TokenFilter;
};

// Row triggers and error events, raised by the cursor layer and dispatched to the component.
// The cursor and its record are objects of the table layer; the core only carries them through.
class TDataCursor;

enum class TTriggerPoint : uint8_t {
  tpBeforeInsert = 0,
  tpAfterInsert = 1,
  tpBeforeUpdate = 2,
  tpAfterUpdate = 3,
  tpBeforeDelete = 4,
  tpAfterDelete = 5,
};

enum class TErrorEventKind : uint8_t { ekInsert = 0, ekUpdate = 1, ekDelete = 3 };

// What the application answers to an error event.
enum class TDataAction : uint8_t { daFail, daAbort, daRetry };

using TTriggerHook = std::function<void(TTriggerPoint point, TDataCursor& cursor)>;
using TErrorEventHook =
    std::function<TDataAction(TErrorEventKind kind, TDataCursor& cursor,
                              std::span<uint8_t> record_buffer, std::exception_ptr error)>;

// The custom function evaluation: a call names the function and carries its arguments and
// result, as the custom-function layer defines them.
class TCustomFunctionCall;
using TCustomFunctionHook = std::function<void(TCustomFunctionCall& call)>;

}  // namespace veltra
