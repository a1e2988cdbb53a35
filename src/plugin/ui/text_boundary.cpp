// Converted with the C library's iconv, one converter per call (the texts are a dialog's worth).

#include "plugin/ui/text_boundary.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace veltra::plugin::ui {
namespace {

constexpr char kReplacement = '?';

// Converts `in`, replacing each byte the converter refuses (an unmappable character or a
// malformed sequence) by one "?"; a malformed UTF-8 sequence is skipped a byte at a time.
std::string Convert(const char* to, const char* from, std::string_view in, bool from_utf8) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error(std::string("No text conversion from ") + from + " to " + to);
  }
  struct Closer {
    iconv_t cd;
    ~Closer() { iconv_close(cd); }
  } closer{cd};
  std::string out;
  out.reserve(in.size() * 2);
  char buffer[4096];
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  while (src_left > 0) {
    char* dst = buffer;
    size_t dst_left = sizeof buffer;
    size_t result = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (result != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: one unconvertible character (or a cut sequence) at src.
    out += kReplacement;
    size_t skip = 1;
    if (from_utf8 && errno == EILSEQ) {
      unsigned char lead = static_cast<unsigned char>(*src);
      size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      // Skip a whole well-formed character the target cannot hold; a malformed one byte by byte.
      bool whole = length <= src_left;
      for (size_t i = 1; whole && i < length; ++i) {
        whole = (static_cast<unsigned char>(src[i]) & 0xC0) == 0x80;
      }
      if (whole) skip = length;
    }
    src += skip;
    src_left -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

}  // namespace

std::string Utf8FromWindows1250(std::string_view bytes) {
  return Convert("UTF-8", "WINDOWS-1250", bytes, false);
}

std::string Windows1250FromUtf8(std::string_view utf8) {
  return Convert("WINDOWS-1250", "UTF-8", utf8, true);
}

}  // namespace veltra::plugin::ui
