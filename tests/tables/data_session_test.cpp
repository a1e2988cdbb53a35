// Engine sessions: defaults, the private directory, the password lookup rules, and directory
// objects found again by their normalised path with use counts.
#include "tables/data_session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "core/data_engine.h"
#include "core/engine_error.h"
#include "core/file_registry.h"
#include "core/os_error.h"
#include "platform/directory.h"
#include "support/temp_dir.h"
#include "tables/data_directory.h"
#include "tables/directory_path.h"
#include "support/engine_error_code.h"

namespace veltra {
namespace {

using testing::TempDir;

using veltra::testing::CodeRaisedBy;

// Runs the test with the current directory moved into a scratch directory, and moves back.
class InDirectory {
 public:
  explicit InDirectory(const std::string& path) : previous_(CurrentDirectoryPath()) {
    EXPECT_EQ(chdir(path.c_str()), 0);
  }
  ~InDirectory() { EXPECT_EQ(chdir(previous_.c_str()), 0); }

 private:
  std::string previous_;
};

class DataSessionTest : public ::testing::Test {
 protected:
  TDataEngine engine_;
  TDataSession session_{engine_};
};

TEST_F(DataSessionTest, StartsWithTheDefaultSettings) {
  EXPECT_EQ(session_.ProgressSteps(), 20);
  EXPECT_FALSE(session_.ForceBufferFlush());
  EXPECT_FALSE(session_.StrictChangeDetection());
  EXPECT_EQ(session_.LockRetryCount(), 15);
  EXPECT_EQ(session_.LockWaitTime(), 100);
  EXPECT_EQ(session_.LockProtocol(), TLockProtocol::lpPessimistic);
  EXPECT_EQ(session_.PrivateDirectory(), platform::TemporaryDirectory() + "/");
  EXPECT_EQ(session_.DirectoryCount(), 0u);
}

TEST_F(DataSessionTest, ProgressStepIsTheShareOfOneNotification) {
  const struct {
    uint16_t steps;
    uint16_t step;
  } cases[] = {{0, 100}, {1, 100}, {20, 5}, {3, 33}, {100, 1}, {200, 0}};
  for (const auto& c : cases) {
    session_.SetProgressSteps(c.steps);
    EXPECT_EQ(session_.ProgressStep(), c.step) << c.steps;
  }
}

TEST_F(DataSessionTest, PrivateDirectoryIsTrimmedWithOneTrailingSeparator) {
  const struct {
    std::string given;
    std::string stored;  // empty: the current directory
  } cases[] = {
      {"/var/tmp", "/var/tmp/"},
      {"  /var/tmp/  ", "/var/tmp/"},
      {"/var/tmp///", "/var/tmp/"},
      {"/", "/"},
      {"", ""},
      {"   ", ""},
  };
  for (const auto& c : cases) {
    session_.SetPrivateDirectory(c.given);
    EXPECT_EQ(session_.PrivateDirectory(), c.stored.empty() ? CurrentDirectoryPath() : c.stored)
        << "'" << c.given << "'";
  }
}

TEST_F(DataSessionTest, OverLongPrivateDirectoryIsRejectedAndTheOldOneKept) {
  session_.SetPrivateDirectory("/var/tmp");
  const std::string too_long = "/" + std::string(kMaxDirectoryPathLength, 'x');
  EXPECT_EQ(CodeRaisedBy([&] { session_.SetPrivateDirectory(too_long); }), kErrTableNotFound);
  EXPECT_EQ(session_.PrivateDirectory(), "/var/tmp/");
}

// ---- Passwords ----------------------------------------------------------------------------

TEST_F(DataSessionTest, PasswordsAreFoundByTheirExactText) {
  session_.AddPassword("Secret");
  session_.AddPassword("secret");
  session_.AddPassword("Secret");  // already in force: kept once
  session_.AddPassword("");        // ignored
  ASSERT_EQ(session_.Passwords().size(), 2u);

  const struct {
    std::string text;
    bool found;
  } cases[] = {
      {"Secret", true}, {"secret", true}, {"SECRET", false}, {"Secret ", false}, {"", false}};
  for (const auto& c : cases) {
    TDataPassword* password = session_.FindPassword(c.text);
    EXPECT_EQ(password != nullptr, c.found) << "'" << c.text << "'";
    if (password) {
      EXPECT_EQ(password->text(), c.text);
    }
  }
}

TEST_F(DataSessionTest, RemovedPasswordComesBackWithItsCipherState) {
  session_.AddPassword("alpha");
  session_.AddPassword("beta");
  const TDataPassword* alpha = session_.FindPassword("alpha");
  const TCipherContext* state = &alpha->cipher_state();

  session_.RemovePassword("alpha");
  session_.RemovePassword("missing");
  EXPECT_EQ(session_.FindPassword("alpha"), nullptr);
  EXPECT_EQ(session_.RemovedPasswordCount(), 1u);

  session_.AddPassword("alpha");
  EXPECT_EQ(session_.FindPassword("alpha"), alpha);
  EXPECT_EQ(&session_.FindPassword("alpha")->cipher_state(), state);
  EXPECT_EQ(session_.RemovedPasswordCount(), 0u);

  session_.RemoveAllPasswords();
  EXPECT_TRUE(session_.Passwords().empty());
  EXPECT_EQ(session_.RemovedPasswordCount(), 2u);
}

TEST_F(DataSessionTest, OverLongPasswordIsRejected) {
  EXPECT_EQ(CodeRaisedBy([&] { session_.AddPassword(std::string(kMaxPasswordLength + 1, 'p')); }),
            kErrInvalidPassword);
  session_.AddPassword(std::string(kMaxPasswordLength, 'p'));
  EXPECT_EQ(session_.Passwords().size(), 1u);
}

TEST_F(DataSessionTest, CheckValueFindsOnlyThePasswordThatMadeIt) {
  TDataPassword table_password(engine_, "Lotto6");
  const crypto::TPasswordCheckValue check = table_password.CheckValue();

  EXPECT_EQ(session_.FindPasswordByCheck(check), nullptr);
  session_.AddPassword("lotto6");  // differs only in letter case: no match
  session_.AddPassword("other");
  EXPECT_EQ(session_.FindPasswordByCheck(check), nullptr);
  session_.AddPassword("Lotto6");
  TDataPassword* found = session_.FindPasswordByCheck(check);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->text(), "Lotto6");
  session_.RemovePassword("Lotto6");
  EXPECT_EQ(session_.FindPasswordByCheck(check), nullptr);
}

TEST_F(DataSessionTest, AskForPasswordCallsTheCallbackWhenThereIsOne) {
  EXPECT_FALSE(session_.AskForPassword());
  int calls = 0;
  session_.SetPasswordCallback([&] {
    ++calls;
    session_.AddPassword("given");
    return true;
  });
  EXPECT_TRUE(session_.AskForPassword());
  EXPECT_EQ(calls, 1);
  EXPECT_NE(session_.FindPassword("given"), nullptr);
}

// ---- Directories --------------------------------------------------------------------------

TEST_F(DataSessionTest, SamePathIsOneObjectUntilTheLastRelease) {
  TempDir dir;
  TDataDirectory& first = session_.OpenDirectory("Lotto", dir.path(), false);
  TDataDirectory& second = session_.OpenDirectory("Other", dir.path() + "/", true);
  EXPECT_EQ(&first, &second);
  EXPECT_EQ(first.use_count(), 2);
  EXPECT_EQ(first.name(), "Lotto");  // the first opening's name and flag stay
  EXPECT_FALSE(first.keep_tables_open());

  session_.ReleaseDirectory(first);
  EXPECT_EQ(session_.DirectoryCount(), 1u);
  EXPECT_EQ(first.use_count(), 1);
  session_.ReleaseDirectory(first);
  EXPECT_EQ(session_.DirectoryCount(), 0u);
}

TEST_F(DataSessionTest, ReleaseOfAnotherSessionsDirectoryDoesNothing) {
  TempDir dir;
  TDataSession other(engine_);
  TDataDirectory& theirs = other.OpenDirectory("Lotto", dir.path(), false);
  session_.ReleaseDirectory(theirs);
  EXPECT_EQ(theirs.use_count(), 1);
  EXPECT_EQ(other.DirectoryCount(), 1u);
}

TEST_F(DataSessionTest, SpellingsOfOnePathShareTheObject) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.File("db").c_str(), 0755), 0);
  const std::string db = dir.File("db");
  InDirectory inside(dir.path());

  TDataDirectory& base = session_.OpenDirectory("db", db, false);
  EXPECT_EQ(base.path(), db + "/");
  const std::string spellings[] = {db + "/", db + "//", "  " + db + "  ", dir.path() + "//./db/.",
                                   "db",     "./db/",   "db///"};
  for (const std::string& spelling : spellings) {
    EXPECT_EQ(&session_.OpenDirectory("db", spelling, false), &base) << "'" << spelling << "'";
  }
  EXPECT_EQ(base.use_count(), 1 + static_cast<int>(std::size(spellings)));
  EXPECT_EQ(session_.DirectoryCount(), 1u);
  // No path at all is the current directory.
  EXPECT_EQ(session_.OpenDirectory("cwd", "", false).path(), dir.path() + "/");
}

TEST_F(DataSessionTest, PathsDifferingInLetterCaseAreTwoDirectories) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.File("Draws").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(dir.File("draws").c_str(), 0755), 0);
  TDataDirectory& upper = session_.OpenDirectory("a", dir.File("Draws"), false);
  TDataDirectory& lower = session_.OpenDirectory("b", dir.File("draws"), false);
  EXPECT_NE(&upper, &lower);
  EXPECT_EQ(upper.use_count(), 1);
  EXPECT_EQ(lower.use_count(), 1);
}

TEST_F(DataSessionTest, RelativePathIsFixedWhenOpened) {
  // After the current directory moves, the same relative text names another directory.
  TempDir one;
  TempDir two;
  ASSERT_EQ(mkdir(one.File("db").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(two.File("db").c_str(), 0755), 0);
  TDataDirectory* first = nullptr;
  {
    InDirectory inside(one.path());
    first = &session_.OpenDirectory("db", "db", false);
  }
  InDirectory inside(two.path());
  TDataDirectory& second = session_.OpenDirectory("db", "db", false);
  EXPECT_NE(first, &second);
  EXPECT_EQ(first->path(), one.File("db") + "/");
  EXPECT_EQ(second.path(), two.File("db") + "/");
}

TEST_F(DataSessionTest, OverLongPathIsRejectedNotCut) {
  TempDir dir;
  // Fits with its separator: accepted (the lock file is made in it).
  std::string fitting = dir.path() + "/";
  fitting += std::string(kMaxDirectoryPathLength - fitting.size() - 1, 'd');
  ASSERT_EQ(mkdir(fitting.c_str(), 0755), 0);
  EXPECT_EQ(session_.OpenDirectory("db", fitting, false).path().size(), kMaxDirectoryPathLength);

  const std::string too_long = fitting + "e";
  TakePendingOsError();
  try {
    session_.OpenDirectory("db", too_long, false);
    ADD_FAILURE() << "an over-long path was accepted";
  } catch (const EVELTRAEngineError& error) {
    EXPECT_EQ(error.EngineCode(), kErrTableNotFound);
    EXPECT_EQ(error.ContextOsError(), ENAMETOOLONG);
  }
  EXPECT_EQ(session_.DirectoryCount(), 1u);
}

TEST_F(DataSessionTest, MemoryNameOpensTheInMemoryDirectory) {
  const struct {
    std::string name;
    std::string path;
    std::string normalised;
  } cases[] = {{"Memory", "", ""},
               {"MEMORY", "  ", ""},
               {" memory ", "work", "work/"},
               {"Memory", "work//", "work/"}};
  for (const auto& c : cases) {
    TDataDirectory& directory = session_.OpenDirectory(c.name, c.path, false);
    EXPECT_TRUE(directory.in_memory()) << c.name;
    EXPECT_EQ(directory.path(), c.normalised) << c.name;
    EXPECT_TRUE(engine_.FileRegistry().Exists(c.normalised + engine_.LockFileName(), true));
  }
  EXPECT_EQ(session_.DirectoryCount(), 2u);
  EXPECT_EQ(session_.OpenDirectory("memory", "", false).use_count(), 3);
}

TEST_F(DataSessionTest, MemoryAndDiskDirectoriesOfOnePathAreTwoObjects) {
  TempDir dir;
  TDataDirectory& on_disk = session_.OpenDirectory("db", dir.path(), false);
  TDataDirectory& in_memory = session_.OpenDirectory("Memory", dir.path(), false);
  EXPECT_NE(&on_disk, &in_memory);
  EXPECT_EQ(on_disk.path(), in_memory.path());
  EXPECT_FALSE(on_disk.in_memory());
  EXPECT_TRUE(in_memory.in_memory());
}

TEST_F(DataSessionTest, SessionsNeverShareDirectoryObjects) {
  TempDir dir;
  TDataSession other(engine_);
  EXPECT_NE(&session_.OpenDirectory("db", dir.path(), false),
            &other.OpenDirectory("db", dir.path(), false));
}

}  // namespace
}  // namespace veltra
