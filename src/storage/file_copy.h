// Copies of engine files, as backup, restore and table copies write and read them.
//
// A plain copy is the file's bytes. A compressed copy (compression level 1 to 9) is:
//
//   offset  size  content
//   0       16    MD5 digest of the text "VELTRA_COMP" (the marker of a compressed copy)
//   16      1     the compression level
//   17      ...   chunks: a 32-bit little-endian length n, then n bytes of compressed data
//
// Each chunk is the compression of the next kCopyChunkSize bytes of the file (fewer for the
// last); a copy of an empty file is the 17-byte prefix alone. No terminator is written; a reader
// stops at a chunk length of 0, at the end of the file, or, for a copy embedded in a larger file,
// once the expected number of file bytes has been produced.
//
// A copy is read as compressed when its first 16 bytes are the marker, else as plain bytes.
// Every length read from a copy is checked before use: a chunk longer than
// kMaxCompressedChunkSize (zlib's bound for a full chunk), a chunk cut off by the end of the
// file, a length field cut off, or an embedded copy holding more or fewer bytes than its caller
// says is a damaged copy (kErrInvalidTableFile, naming the copy); a chunk whose bytes do not
// inflate to at most kCopyChunkSize bytes is kErrUncompress. Compression fails with kErrCompress,
// also when a replacement compressor answers a chunk of 0 bytes or longer than the bound, which
// could not be read back.
//
// Progress (when a callback is given): 0 before the first chunk, the whole percentage whenever it
// has grown by at least the step since the last report, and 100 at the end; the percentage is of
// the file's bytes written, or when reading of the copy's bytes consumed (of the file bytes
// produced, for an embedded copy).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "storage/engine_file.h"

namespace veltra {

// Bytes of file content per chunk, plain or compressed.
inline constexpr size_t kCopyChunkSize = 65528;
inline constexpr std::string_view kCompressedCopyMarkerText = "VELTRA_COMP";
inline constexpr size_t kCompressedCopyMarkerSize = 16;
inline constexpr size_t kCompressedCopyLevelOffset = 16;
inline constexpr size_t kCompressedCopyPrefixSize = 17;
inline constexpr size_t kCopyChunkLengthSize = 4;
// zlib's compressBound(kCopyChunkSize): the longest compressed chunk a copy may hold.
inline constexpr size_t kMaxCompressedChunkSize =
    kCopyChunkSize + (kCopyChunkSize >> 12) + (kCopyChunkSize >> 14) + (kCopyChunkSize >> 25) + 13;

// Writes a copy of the whole of `source` (plain, or compressed at options.compression_level) at
// the position of `target`, which is left after it. Progress names `source`.
void WriteCopy(TEngineFile& source, TEngineFile& target, const TCopyOptions& options);

// Reads the copy that starts at the position of `source` into `target` from its beginning, and
// cuts `target` after the last byte written; `target` may be null to skip the copy. Without
// `byte_count` the copy runs to the end of `source` (or a chunk length of 0); with it, the copy
// holds exactly that many file bytes. `source` is left after the copy. Progress names `source`.
void ReadCopy(TEngineFile& source, TEngineFile* target, std::optional<uint64_t> byte_count,
              const TCopyOptions& options);

}  // namespace veltra
