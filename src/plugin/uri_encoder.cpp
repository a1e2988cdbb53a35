#include "plugin/uri_encoder.h"

namespace veltra::plugin {
namespace {

constexpr std::string_view kSchemeEnd = "://";
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr unsigned char kDelete = 0x7F;
constexpr unsigned char kFirstHighByte = 0x80;

bool IsAnyOf(unsigned char c, std::string_view set) {
  return set.find(static_cast<char>(c)) != std::string_view::npos;
}

template <typename Predicate>
void AppendEncoded(std::string& out, std::string_view part, Predicate encoded) {
  for (char ch : part) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (encoded(c)) {
      out += '%';
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 0x0F];
    } else {
      out += ch;
    }
  }
}

}  // namespace

bool IsEncodedInPath(unsigned char c) {
  return c < 0x20 || c == kDelete || c >= kFirstHighByte || IsAnyOf(c, " #%*+<>");
}

bool IsEncodedInQuery(unsigned char c) {
  return c < 0x21 || c == kDelete || c >= kFirstHighByte || IsAnyOf(c, " #%*<>[]");
}

std::string EncodeUrl(std::string_view url) {
  std::string out;
  out.reserve(url.size() + url.size() / 4);
  size_t rest = 0;
  size_t scheme_end = url.find(kSchemeEnd);
  if (scheme_end != std::string_view::npos) {
    size_t host_end = url.find_first_of("/?", scheme_end + kSchemeEnd.size());
    rest = host_end == std::string_view::npos ? url.size() : host_end;
    out += url.substr(0, rest);
  }
  size_t query_start = url.find('?', rest);
  if (query_start == std::string_view::npos) query_start = url.size();
  AppendEncoded(out, url.substr(rest, query_start - rest), IsEncodedInPath);
  AppendEncoded(out, url.substr(query_start), IsEncodedInQuery);
  return out;
}

}  // namespace veltra::plugin
