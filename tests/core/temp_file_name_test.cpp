#include "core/temp_file_name.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/engine_error.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace veltra {
namespace {

const TNameTakenFn kNothingTaken = [](const std::string&) { return false; };

TEST(TempFileName, OneThreadGetsZeroThenOne) {
  testing::TempDir dir;
  const std::string stem = dir.path() + "/" + TempThreadDigits();
  EXPECT_EQ(MakeTempFileName(dir.path(), ".dat", false, kNothingTaken), stem + "0.dat");
  EXPECT_EQ(MakeTempFileName(dir.path(), ".dat", false, kNothingTaken), stem + "1.dat");
  EXPECT_TRUE(platform::FileExists(stem + "0.dat"));
  EXPECT_TRUE(platform::FileExists(stem + "1.dat"));
}

TEST(TempFileName, ThreadDigitsHaveAFixedWidth) {
  const std::string digits = TempThreadDigits();
  EXPECT_GE(digits.size(), static_cast<size_t>(kTempThreadDigits));
  EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos);
}

TEST(TempFileName, DirectoryIsTrimmedAndEndsInOneDelimiter) {
  const struct {
    std::string_view given;
    std::string_view prefix;
  } cases[] = {{"data", "data/"}, {"data/", "data/"}, {"  data \t", "data/"}, {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(TempDirectoryPrefix(c.given), c.prefix) << c.given;
}

TEST(TempFileName, SkipsNamesTakenOnDiskOrInTheRegistry) {
  testing::TempDir dir;
  const std::string stem = dir.path() + "/" + TempThreadDigits();
  ASSERT_TRUE(platform::File::CreateNew(stem + "0.dat").ok());  // a live result table on disk
  ASSERT_TRUE(platform::File::CreateNew(stem + "2.dat").ok());
  const std::string registered = stem + "1.dat";
  const auto taken = [&registered](const std::string& name) { return name == registered; };
  EXPECT_EQ(MakeTempFileName(dir.path(), ".dat", false, taken), stem + "3.dat");
}

TEST(TempFileName, MemoryNamesLieInTempAndNeverTouchTheDisk) {
  const std::string stem = "Temp/" + TempThreadDigits();
  std::set<std::string> registry = {stem + "0.idx"};
  const auto taken = [&registry](const std::string& name) { return registry.count(name) > 0; };
  const std::string name = MakeTempFileName("/no/such/directory", ".idx", true, taken);
  EXPECT_EQ(name, stem + "1.idx");
  EXPECT_FALSE(platform::FileExists(name));
  // Nothing is reserved for memory names: asking again gives the same until it is registered.
  EXPECT_EQ(MakeTempFileName("", ".idx", true, taken), name);
}

TEST(TempFileName, AMissingDirectoryIsAnEngineError) {
  testing::TempDir dir;
  try {
    MakeTempFileName(dir.File("missing"), ".dat", false, kNothingTaken);
    FAIL() << "no error";
  } catch (const EVELTRAEngineError& error) {
    EXPECT_EQ(error.EngineCode(), kErrTableNotFound);
    EXPECT_NE(error.ContextTable().find(dir.File("missing")), std::string::npos);
  }
}

// Processes that share one stem (as threads of different systems may) race for the same
// numbers; exclusive creation gives every name to one of them only.
TEST(TempFileName, RacingProcessesNeverShareAName) {
  constexpr int kChildren = 4;
  constexpr int kNamesEach = 25;
  testing::TempDir dir;
  const std::string stem = dir.path() + "/race";
  std::vector<std::unique_ptr<testing::ChildProcess>> children;
  for (int i = 0; i < kChildren; ++i) {
    children.push_back(std::make_unique<testing::ChildProcess>([&stem](testing::ParentLink& link) {
      link.Send("ready");
      if (link.Receive() != "go") return 2;
      for (int n = 0; n < kNamesEach; ++n) {
        link.Send(FirstFreeTempName(stem, ".dat", false, kNothingTaken));
      }
      return 0;
    }));
  }
  for (auto& child : children) ASSERT_EQ(child->Receive(), "ready");
  for (auto& child : children) child->Send("go");
  std::set<std::string> names;
  for (auto& child : children) {
    for (int n = 0; n < kNamesEach; ++n) {
      const std::string name = child->Receive();
      EXPECT_TRUE(names.insert(name).second) << name << " was given twice";
    }
    EXPECT_EQ(child->Wait(), 0);
  }
  EXPECT_EQ(names.size(), static_cast<size_t>(kChildren * kNamesEach));
  for (int n = 0; n < kChildren * kNamesEach; ++n) {
    EXPECT_TRUE(names.count(stem + std::to_string(n) + ".dat")) << n;
  }
}

}  // namespace
}  // namespace veltra
