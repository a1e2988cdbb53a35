// The dialog's Polish texts as windows-1250 bytes, and the conversion at the front ends.

#include "plugin/ui/text_boundary.h"

#include <gtest/gtest.h>

#include "plugin/polish_texts.h"
#include "plugin/text_lines.h"

namespace veltra::plugin {
namespace {

using ui::Utf8FromWindows1250;
using ui::Windows1250FromUtf8;

TEST(PolishTexts, AreTheWindows1250BytesOfTheirUtf8Originals) {
  struct Case {
    std::string_view constant;
    const char* utf8;
  };
  const Case cases[] = {
      {texts::kCaption, "Import wszystkich brakujących losowań"},
      {texts::kPressGet, "Wciśnij przycisk POBIERZ"},
      {texts::kSummaryHead, "Pobrane będą losowania :"},
      {texts::kSummaryNext, " następne po dniu "},
      {texts::kConnecting, "Łączę z serwisem "},
      {texts::kRequestSent, "Do serwera wysłano polecenie : "},
      {texts::kReadyToExecute, "GOTOWE można wprowadzić losowania do bazy"},
      {texts::kNothingNew, "GOTOWE żadnych nowych losowań nie znaleziono, spróbuj później ..."},
      {texts::kReceivedSuffix, " bajtów"},
      {texts::kNewResultsSuffix, " nowych wyników losowań"},
      {texts::kNoCurrentDraws, "Aktualnych losowań nie znaleziono "},
      {texts::kProgressSuffix, " % poleceń"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.constant, Windows1250FromUtf8(c.utf8)) << c.utf8;
    EXPECT_EQ(Utf8FromWindows1250(c.constant), c.utf8);
  }
  // Independent of the converter: the letters' bytes.
  EXPECT_EQ(texts::kConnecting,
            "\xA3\xB9"
            "cz\xEA z serwisem ");
  EXPECT_EQ(texts::kNothingNew.substr(7, 7),
            "\xBF"
            "adnych");
}

TEST(TextBoundary, UnmappableAndMalformedBecomeQuestionMarks) {
  struct Case {
    const char* utf8;
    const char* bytes;
  };
  const Case cases[] = {
      {"zażółć", "za\xBF\xF3\xB3\xE6"},
      {"€", "\x80"},
      {"日本", "??"},
      {"a\xFF"
       "b",
       "a?b"},
      {"a\xC5", "a?"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Windows1250FromUtf8(c.utf8), c.bytes) << c.utf8;
  // Every byte of the editor's text survives the way to the toolkit and back.
  std::string all_bytes;
  for (int b = 1; b < 256; ++b) all_bytes += static_cast<char>(b);
  EXPECT_EQ(Windows1250FromUtf8(Utf8FromWindows1250(all_bytes)), all_bytes);
}

TEST(TextLines, TrimAndSplitFollowTheEditorsRules) {
  EXPECT_EQ(Trim("\x01 \t\r\nabc \x1F"), "abc");
  EXPECT_EQ(Trim(" \x80 "), "\x80");
  EXPECT_EQ(Trim("   "), "");
  struct Case {
    const char* text;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"a\r\n", {"a"}},
      {"a\n\nb", {"a", "", "b"}},
      {"\r\n", {""}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitLines(c.text), c.lines) << c.text;
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb");
}

}  // namespace
}  // namespace veltra::plugin
