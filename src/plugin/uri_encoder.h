// Percent-encoding of the download URL, as the HTTP client's URI encoder does it.
//
// The URL is split into scheme and host (left as they are), the path with the document (up to
// the first question mark) and the query (from the first question mark on, the mark included).
// Each part has its own set of bytes that are replaced by "%" and two upper-case hexadecimal
// digits; every other byte is sent unchanged, among them the braces, quotation marks, colons,
// commas and hyphens of the request text.
#pragma once

#include <string>
#include <string_view>

namespace veltra::plugin {

// Whether a byte of the path or the document is encoded: a blank, # % * + < >, bytes below 0x20,
// DEL (0x7F) and bytes from 0x80 up.
bool IsEncodedInPath(unsigned char c);

// Whether a byte of the query is encoded: a blank, # % * < > [ ], bytes below 0x21, DEL and bytes
// from 0x80 up. "+" stays, so a query keeps its plus signs.
bool IsEncodedInQuery(unsigned char c);

// The encoded URL. A URL without "://" is taken as a path with an optional query.
std::string EncodeUrl(std::string_view url);

}  // namespace veltra::plugin
