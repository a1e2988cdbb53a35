#include "plugin/uri_encoder.h"

#include <gtest/gtest.h>

namespace veltra::plugin {
namespace {

struct ByteCase {
  unsigned char byte;
  bool in_path;
  bool in_query;
};

// Every byte the two tables treat differently, their edges and a few that stay.
const ByteCase kBytes[] = {
    {0x00, true, true},   {0x1F, true, true},  {0x20, true, true},  {0x21, false, false},
    {'#', true, true},    {'%', true, true},   {'*', true, true},   {'+', true, false},
    {'<', true, true},    {'>', true, true},   {'[', false, true},  {']', false, true},
    {'{', false, false},  {'}', false, false}, {'"', false, false}, {':', false, false},
    {',', false, false},  {'-', false, false}, {'=', false, false}, {'?', false, false},
    {'/', false, false},  {'&', false, false}, {'A', false, false}, {'z', false, false},
    {0x7E, false, false}, {0x7F, true, true},  {0x80, true, true},  {0x81, true, true},
    {0xB9, true, true},   {0xFF, true, true},
};

TEST(UriEncoder, EachTableEncodesItsBytes) {
  for (const ByteCase& c : kBytes) {
    EXPECT_EQ(IsEncodedInPath(c.byte), c.in_path) << "byte " << int(c.byte);
    EXPECT_EQ(IsEncodedInQuery(c.byte), c.in_query) << "byte " << int(c.byte);
  }
}

TEST(UriEncoder, EncodesEachPartWithItsOwnTableInUpperCaseHex) {
  struct Case {
    const char* url;
    const char* encoded;
  };
  const Case cases[] = {
      {"http://h:1/a b/c+d.php?x=a b+[1]", "http://h:1/a%20b/c%2Bd.php?x=a%20b+%5B1%5D"},
      {"http://h/p?q=\xB9\x7F#", "http://h/p?q=%B9%7F%23"},
      {"http://h/%?%", "http://h/%25?%25"},
      {"http://h/doc?a?b", "http://h/doc?a?b"},
      {"http://h?[x]", "http://h?%5Bx%5D"},
      {"http://h", "http://h"},
      {"/only path[1]?q", "/only%20path[1]?q"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeUrl(c.url), c.encoded) << c.url;
}

}  // namespace
}  // namespace veltra::plugin
