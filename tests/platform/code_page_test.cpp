#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace veltra::platform {
namespace {

const CodePage& Named(std::string_view name) {
  const CodePage* code_page = CodePageOf(name);
  EXPECT_NE(code_page, nullptr) << name;
  return code_page != nullptr ? *code_page : CodePage::Latin1();
}

TEST(CodePage, UnknownOrMultiByteNamesAreNotAvailable) {
  for (std::string_view name : {"windows-9999", "", "no such page", "UTF-8", "Shift_JIS"}) {
    EXPECT_EQ(CodePageOf(name), nullptr) << name;
  }
}

TEST(CodePage, IsBuiltOnceAndFoundWithoutRegardToCase) {
  const CodePage* first = CodePageOf("windows-1250");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(CodePageOf("WINDOWS-1250"), first);
  EXPECT_EQ(CodePageOf("iso-8859-1"), &CodePage::Latin1());
}

TEST(CodePage, Latin1MapsEveryByteToItsOwnCodePoint) {
  const CodePage& latin1 = CodePage::Latin1();
  for (int byte = 0; byte < 256; ++byte) {
    EXPECT_EQ(latin1.ToUnicode(static_cast<uint8_t>(byte)), byte);
    EXPECT_EQ(latin1.FromUnicode(static_cast<char32_t>(byte)), byte);
  }
  EXPECT_EQ(latin1.FromUnicode(0x20AC), std::nullopt);
}

struct TextCase {
  std::string_view code_page;
  std::string utf8;
  std::string bytes;
};

class CodePageText : public ::testing::TestWithParam<TextCase> {};

TEST_P(CodePageText, ConvertsBothWays) {
  const CodePage& code_page = Named(GetParam().code_page);
  EXPECT_EQ(code_page.FromUtf8(GetParam().utf8), GetParam().bytes);
  EXPECT_EQ(code_page.ToUtf8(GetParam().bytes), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CodePageText,
    ::testing::Values(TextCase{"windows-1250", "Zażółć gęślą jaźń",
                               "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1"},
                      TextCase{"windows-1250", "ŁÓDŹ", "\xA3\xD3\x44\x8F"},
                      TextCase{"windows-1251", "Привет", "\xCF\xF0\xE8\xE2\xE5\xF2"},
                      TextCase{"windows-1252", "Grüße €5", "Gr\xFC\xDF\x65 \x80\x35"},
                      TextCase{"windows-1252", "", ""},
                      TextCase{"windows-1252", std::string("a\0b", 3), std::string("a\0b", 3)},
                      // Bytes the code page leaves open decode to the C1 control of the same value.
                      TextCase{"windows-1250", "\xC2\x81", "\x81"}));

TEST(CodePage, EveryDefinedByteSurvivesTheRoundTripThroughUtf8) {
  for (std::string_view name : std::initializer_list<std::string_view>{
           "windows-1250", "windows-1251", "windows-1252", "windows-1253", "windows-1254",
           kLatin1CodePageName}) {
    const CodePage& code_page = Named(name);
    for (int byte = 0; byte < 256; ++byte) {
      if (!code_page.IsDefined(static_cast<uint8_t>(byte))) continue;
      std::string text(1, static_cast<char>(byte));
      EXPECT_EQ(code_page.FromUtf8(code_page.ToUtf8(text)), text) << name << " byte " << byte;
    }
  }
}

struct ReplacementCase {
  std::string_view code_page;
  std::string utf8;
  std::string expected;
};

class CodePageReplacement : public ::testing::TestWithParam<ReplacementCase> {};

TEST_P(CodePageReplacement, UnmappableOrMalformedInputBecomesQuestionMarks) {
  EXPECT_EQ(Named(GetParam().code_page).FromUtf8(GetParam().utf8), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CodePageReplacement,
    ::testing::Values(
        ReplacementCase{"windows-1250", "日本", "??"},        // no such characters
        ReplacementCase{"windows-1250", "é€ñ", "\xE9\x80?"},  // ñ is not in 1250
        ReplacementCase{"windows-1251", "ż", "?"},
        ReplacementCase{"windows-1252", "a\xF0\x9F\x98\x80z", "a?z"},  // outside the BMP
        ReplacementCase{"windows-1252", "a\xC3", "a?"},                // cut-off sequence
        ReplacementCase{"windows-1252", "\xFF\xFE", "??"},             // never valid in UTF-8
        ReplacementCase{"windows-1252", "\xC0\xAF", "??"},             // overlong "/"
        ReplacementCase{"windows-1252", "\xED\xA0\x80", "???"},        // an encoded surrogate
        ReplacementCase{"windows-1252", "\x80x", "?x"},                // stray trail byte
        ReplacementCase{"windows-1252", "\xE2\x82z", "?z"}));          // truncated "€"

TEST(CodePage, UndefinedBytesBecomeQuestionMarksInUtf8) {
  const CodePage& greek = Named("windows-1253");
  ASSERT_FALSE(greek.IsDefined(0xD2));
  EXPECT_EQ(greek.ToUnicode(0xD2), kUndefinedCharacter);
  EXPECT_EQ(greek.ToUtf8("a\xD2z"), "a?z");
  // U+FFFD itself is not a character of the code page.
  EXPECT_EQ(greek.FromUtf8("\xEF\xBF\xBD"), "?");
}

TEST(CodePage, ACharacterOfSeveralBytesMapsBackToTheLowest) {
  CodePage::UnicodeTable table{};
  for (int byte = 0; byte < 256; ++byte) table[byte] = static_cast<char16_t>(byte);
  table[0x90] = u'€';
  table[0x91] = u'€';
  table[0x92] = kUndefinedCharacter;
  CodePage custom("custom", table);
  EXPECT_EQ(custom.FromUnicode(u'€'), 0x90);
  EXPECT_EQ(custom.FromUnicode(0x92), std::nullopt);
  EXPECT_EQ(custom.ToUtf8("\x91\x92"), "€?");
}

}  // namespace
}  // namespace veltra::platform
