#include "core/format_settings.h"

#include <gtest/gtest.h>

namespace veltra {
namespace {

constexpr TLocaleId kPolish = 1045;

TEST(FormatSettings, AnsiStandardHasTheFixedSet) {
  const TFormatSettings& ansi = FormatSettingsOf(0);
  EXPECT_EQ(ansi.CurrencyString, "");
  EXPECT_EQ(ansi.CurrencyFormat, 0);
  EXPECT_EQ(ansi.NegCurrFormat, 0);
  EXPECT_EQ(ansi.ThousandSeparator, ',');
  EXPECT_EQ(ansi.DecimalSeparator, '.');
  EXPECT_EQ(ansi.CurrencyDecimals, 2);
  EXPECT_EQ(ansi.DateSeparator, '-');
  EXPECT_EQ(ansi.ShortDateFormat, "yyyy-mm-dd");
  EXPECT_EQ(ansi.LongDateFormat, "dddd, mmmm dd, yyyy");
  EXPECT_EQ(ansi.TimeSeparator, ':');
  EXPECT_EQ(ansi.TimeAMString, "AM");
  EXPECT_EQ(ansi.TimePMString, "PM");
  EXPECT_EQ(ansi.ShortTimeFormat, "hh:mm AMPM");
  EXPECT_EQ(ansi.LongTimeFormat, "hh:mm:ss AMPM");
  EXPECT_EQ(ansi.LongMonthNames[0], "January");
  EXPECT_EQ(ansi.ShortDayNames[0], "Sun");
}

TEST(FormatSettings, UnknownIdsFallBackToTheFixedSet) {
  EXPECT_EQ(&FormatSettingsOf(12345), &AnsiFormatSettings());
}

TEST(FormatSettings, OtherLocalesComeFromTheirDataAndAreKept) {
  const TFormatSettings& polish = FormatSettingsOf(kPolish);
  EXPECT_EQ(polish.DecimalSeparator, ',');
  EXPECT_NE(polish.LongMonthNames[0], "January");
  EXPECT_EQ(&FormatSettingsOf(kPolish), &polish);
}

TEST(FormatSettings, SaverPutsTheProcessSettingsBack) {
  const TFormatSettings before = ProcessFormatSettings();
  {
    TFormatSettingsSaver saver;
    SetProcessFormatSettings(FormatSettingsOf(kPolish));
    EXPECT_EQ(ProcessFormatSettings(), FormatSettingsOf(kPolish));
    EXPECT_EQ(saver.Saved(), before);
  }
  EXPECT_EQ(ProcessFormatSettings(), before);
}

}  // namespace
}  // namespace veltra
