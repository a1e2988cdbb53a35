#include "core/locale_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "platform/directory.h"

namespace veltra {
namespace {

constexpr TLocaleId kPolish = 1045;
constexpr uint8_t kPolishANogonek = 0xB9;  // "ą" in windows-1250
constexpr TLocaleId kUnknownId = 12345;

size_t PositionOf(const TCollationTable& table, uint8_t code) {
  return static_cast<size_t>(std::find(table.begin(), table.end(), code) - table.begin());
}

const TLocaleList& SystemList() {
  static const TLocaleList list;
  return list;
}

TEST(LocaleList, StartsWithAnsiStandardAndListsTheGermanPhoneBook) {
  const TLocaleList& list = SystemList();
  ASSERT_GT(list.Count(), 2u);
  EXPECT_EQ(list.Entry(0).Id, 0u);
  EXPECT_EQ(list.Entry(0).Name, "ANSI Standard");
  EXPECT_EQ(list.Entry(0).Abbreviation, "ANSI");
  bool found_phone_book = false;
  for (size_t i = 0; i < list.Count(); ++i) {
    if (list.Entry(i).Abbreviation == "DEP") {
      found_phone_book = true;
      EXPECT_EQ(list.Entry(i).Name, "German (German Phone Book)");
      EXPECT_EQ(list.Entry(i).Id, platform::kGermanPhoneBookLocaleId);
    }
  }
  EXPECT_TRUE(found_phone_book);
}

TEST(LocaleList, EntriesAfterTheFirstAreSortedByName) {
  const TLocaleList& list = SystemList();
  for (size_t i = 2; i < list.Count(); ++i) {
    std::string a = list.Entry(i - 1).Name, b = list.Entry(i).Name;
    std::transform(a.begin(), a.end(), a.begin(), ::toupper);
    std::transform(b.begin(), b.end(), b.begin(), ::toupper);
    EXPECT_LE(a, b) << list.Entry(i - 1).Name << " before " << list.Entry(i).Name;
  }
}

TEST(LocaleList, BuildsFromTheSystemListingSkippingLocalesWithoutAbbreviation) {
  const std::vector<platform::LocaleDescription> listing = {
      {1045, "Polish (Poland)", "PLK", "pl_PL", "windows-1250", false},
      {9999, "Nowhere (Nothing)", "", "xx_XX", "windows-1252", false},
      {1031, "German (Germany)", "DEU", "de_DE", "windows-1252", false},
      {1033, "English (United States)", "ENU", "en_US", "windows-1252", false},
  };
  const TLocaleList list(listing);
  std::vector<std::string> names;
  for (size_t i = 0; i < list.Count(); ++i) names.push_back(list.Entry(i).Name);
  EXPECT_EQ(names, (std::vector<std::string>{"ANSI Standard", "English (United States)",
                                             "German (German Phone Book)", "German (Germany)",
                                             "Polish (Poland)"}));
  EXPECT_FALSE(list.LocaleExists("Nowhere (Nothing)"));
}

struct LookupCase {
  std::string_view name;
  bool exists;
  TLocaleId id;
};

TEST(LocaleList, NameLookupsIgnoreCase) {
  const LookupCase cases[] = {
      {"ANSI Standard", true, 0},
      {"ansi standard", true, 0},
      {"POLISH (POLAND)", true, kPolish},
      {"german (german phone book)", true, platform::kGermanPhoneBookLocaleId},
      {"Polish", false, 0},
      {"", false, 0},
  };
  for (const LookupCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SystemList().LocaleExists(c.name), c.exists);
    EXPECT_EQ(SystemList().LocaleIdOf(c.name), c.id);
  }
}

TEST(LocaleList, ValidIdsAreZeroAndWhatTheSystemAccepts) {
  EXPECT_TRUE(TLocaleList::IsValidLocaleId(0));
  EXPECT_TRUE(TLocaleList::IsValidLocaleId(kPolish));
  EXPECT_TRUE(TLocaleList::IsValidLocaleId(platform::kGermanPhoneBookLocaleId));
  EXPECT_FALSE(TLocaleList::IsValidLocaleId(kUnknownId));
}

TEST(CollationTable, AnsiStandardKeepsNumericOrderAndUnknownIdsGetIt) {
  const TCollationTable& ansi = SystemList().CollationTableOf(0);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(ansi[i], i);
  EXPECT_EQ(&SystemList().CollationTableOf(kUnknownId), &ansi);
}

TEST(CollationTable, PolishSortsANogonekBetweenAAndB) {
  const TCollationTable& polish = SystemList().CollationTableOf(kPolish);
  for (int i = 0; i < kFirstOrderedCharacter; ++i) EXPECT_EQ(polish[i], i);
  const size_t a = PositionOf(polish, 'a');
  const size_t a_nogonek = PositionOf(polish, kPolishANogonek);
  const size_t b = PositionOf(polish, 'b');
  EXPECT_LT(a, a_nogonek);
  EXPECT_LT(a_nogonek, b);
  // Digits before letters, and the table is a permutation.
  EXPECT_LT(PositionOf(polish, '9'), a);
  TCollationTable sorted = polish;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, SystemList().CollationTableOf(0));
}

TEST(CollationTable, IsBuiltOnceWhenManyThreadsAskAtOnce) {
  const TLocaleList list;
  std::vector<const TCollationTable*> seen(8);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&list, &seen, i] { seen[i] = &list.CollationTableOf(kPolish); });
  }
  for (std::thread& thread : threads) thread.join();
  for (const TCollationTable* table : seen) EXPECT_EQ(table, seen.front());
  EXPECT_EQ(*seen.front(), TLocaleList::BuildCollationTable(kPolish));
}

}  // namespace
}  // namespace veltra
