#include "platform/directory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "support/temp_dir.h"

namespace veltra::platform {
namespace {

using testing::TempDir;

void MakeFile(const TempDir& dir, const std::string& name, size_t size = 0) {
  OsResult<File> file = File::CreateNew(dir.File(name));
  ASSERT_TRUE(file.ok()) << name << ": errno " << file.error();
  std::string bytes(size, 'x');
  ASSERT_TRUE(file->WriteAt(0, bytes.data(), bytes.size()).ok());
}

std::vector<std::string> NamesOf(const std::vector<DirectoryEntry>& entries) {
  std::vector<std::string> names;
  for (const DirectoryEntry& entry : entries) names.push_back(entry.name);
  return names;
}

TEST(Directory, ListingIsSortedByNameAndGivesSizesAndKinds) {
  TempDir dir;
  MakeFile(dir, "b.dat", 7);
  MakeFile(dir, "A.DAT", 3);
  MakeFile(dir, "c.idx");
  ASSERT_TRUE(CreateDirectory(dir.File("sub.dat")).ok());
  ASSERT_EQ(::symlink("nowhere", dir.File("dangling.dat").c_str()), 0);

  OsResult<std::vector<DirectoryEntry>> all = ListDirectory(dir.path());
  ASSERT_TRUE(all.ok());
  EXPECT_EQ(NamesOf(*all), (std::vector<std::string>{"A.DAT", "b.dat", "c.idx", "sub.dat"}));
  EXPECT_EQ((*all)[0].size, 3u);
  EXPECT_EQ((*all)[1].size, 7u);
  EXPECT_FALSE((*all)[1].is_directory);
  EXPECT_TRUE((*all)[3].is_directory);

  OsResult<std::vector<DirectoryEntry>> tables = ListDirectory(dir.path(), "*.dat");
  ASSERT_TRUE(tables.ok());
  EXPECT_EQ(NamesOf(*tables), (std::vector<std::string>{"A.DAT", "b.dat", "sub.dat"}));
  EXPECT_EQ(ListDirectory(dir.File("missing")).error(), ENOENT);
}

TEST(Directory, PatternsMatchWildcardsWithoutRegardToAsciiCase) {
  struct Case {
    const char* name;
    const char* pattern;
    bool matches;
  };
  const Case cases[] = {
      {"Draws.DAT", "*.dat", true},
      {"draws.dat", "DRAWS.DAT", true},
      {"draws.dat", "d?aws.*", true},
      {"draws", "*.*", false},
      {"draws.dat", "*", true},
      {"", "*", true},
      {"draws.dat", "*.idx", false},
      {"a.dat.bak", "*.dat", false},
      {"[x].dat", "[x].dat", true},
      {"\xC4\x84.dat", "\xC4\x85.dat", false},
      {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*c", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesPattern(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
  }
}

TEST(Directory, ResolveNamePrefersTheExactNameThenTheFirstCaseInsensitiveMatch) {
  TempDir dir;
  MakeFile(dir, "draws.dat");
  MakeFile(dir, "Draws.dat");
  MakeFile(dir, "Games.dat");
  MakeFile(dir, "LOTTO.dat");
  MakeFile(dir, "lotto.DAT");
  struct Case {
    const char* asked;
    std::optional<std::string> found;  // nullopt: ENOENT
  };
  const Case cases[] = {
      {"draws.dat", "draws.dat"},  // exact beats another spelling
      {"Draws.dat", "Draws.dat"},
      {"DRAWS.DAT", "Draws.dat"},  // two candidates: byte order picks 'D' before 'd'
      {"games.DAT", "Games.dat"},  // the only spelling
      {"Lotto.dat", "LOTTO.dat"},
      {"keno.dat", std::nullopt},
  };
  for (const Case& c : cases) {
    OsResult<std::string> found = ResolveName(dir.path(), c.asked);
    if (c.found) {
      EXPECT_EQ(found.ok() ? *found : "<errno " + std::to_string(found.error()) + ">", *c.found)
          << c.asked;
    } else {
      EXPECT_EQ(found.error(), ENOENT) << c.asked;
    }
  }
  for (const char* bad : {"", ".", "..", "sub/draws.dat"}) {
    EXPECT_EQ(ResolveName(dir.path(), bad).error(), EINVAL) << bad;
  }
  EXPECT_EQ(ResolveName(dir.File("missing"), "draws.dat").error(), ENOENT);
}

TEST(Directory, CreateDirectoryRefusesATakenNameAndExistenceTellsFilesFromDirectories) {
  TempDir dir;
  MakeFile(dir, "t.dat");
  ASSERT_TRUE(CreateDirectory(dir.File("db")).ok());
  EXPECT_EQ(CreateDirectory(dir.File("db")).error(), EEXIST);
  EXPECT_EQ(CreateDirectory(dir.File("no/such")).error(), ENOENT);
  EXPECT_TRUE(DirectoryExists(dir.File("db")));
  EXPECT_FALSE(FileExists(dir.File("db")));
  EXPECT_TRUE(FileExists(dir.File("t.dat")));
  EXPECT_FALSE(DirectoryExists(dir.File("t.dat")));
  EXPECT_FALSE(FileExists(dir.File("none.dat")));
}

TEST(Directory, TemporaryDirectoryFollowsTmpdirAndDefaultsToTmp) {
  const char* saved = std::getenv("TMPDIR");
  std::optional<std::string> original = saved ? std::optional<std::string>(saved) : std::nullopt;
  struct Case {
    const char* value;  // nullptr: unset
    const char* expected;
  };
  const Case cases[] = {{nullptr, "/tmp"}, {"", "/tmp"}, {"/var/tmp/", "/var/tmp"}, {"/", "/"}};
  for (const Case& c : cases) {
    if (c.value) {
      ::setenv("TMPDIR", c.value, 1);
    } else {
      ::unsetenv("TMPDIR");
    }
    EXPECT_EQ(TemporaryDirectory(), c.expected) << (c.value ? c.value : "unset");
  }
  if (original) {
    ::setenv("TMPDIR", original->c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
}

TEST(Directory, FreeDiskSpaceIsReportedForAnExistingPathOnly) {
  TempDir dir;
  OsResult<uint64_t> free_bytes = FreeDiskSpace(dir.path());
  ASSERT_TRUE(free_bytes.ok());
  EXPECT_GT(*free_bytes, 0u);
  EXPECT_EQ(FreeDiskSpace(dir.File("missing")).error(), ENOENT);
}

}  // namespace
}  // namespace veltra::platform
