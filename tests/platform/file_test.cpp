// Files: positional transfer, share modes within and between processes, creation that never
// truncates a live file, delete and rename of open files, and the read-only attribute.
#include "platform/file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "support/file_holder_child.h"
#include "support/temp_dir.h"

namespace veltra::platform {
namespace {

using testing::FileHolderChild;
using testing::TempDir;

constexpr OpenMode kSharedReadWrite{false, false};
constexpr OpenMode kSharedReadOnly{true, false};
constexpr OpenMode kExclusiveReadWrite{false, true};
constexpr OpenMode kExclusiveReadOnly{true, true};
constexpr OpenMode kAllModes[] = {kSharedReadWrite, kSharedReadOnly, kExclusiveReadWrite,
                                  kExclusiveReadOnly};
constexpr uid_t kNobody = 65534;
constexpr char kContent[] = "the data file's first bytes";
constexpr size_t kContentSize = sizeof kContent - 1;

std::string Describe(OpenMode mode) {
  return std::string(mode.exclusive ? "exclusive " : "shared ") +
         (mode.read_only ? "read-only" : "read-write");
}

// A file holding kContent, closed again.
std::string MakeFile(const TempDir& dir, const std::string& name = "table.dat") {
  std::string path = dir.File(name);
  OsResult<File> file = File::CreateNew(path);
  EXPECT_TRUE(file.ok()) << "errno " << file.error();
  EXPECT_TRUE(file->WriteAt(0, kContent, kContentSize).ok());
  return path;
}

std::string ReadAll(const std::string& path) {
  OsResult<File> file = File::Open(path, kSharedReadOnly);
  if (!file.ok()) return "<errno " + std::to_string(file.error()) + ">";
  std::string bytes(4096, '\0');
  OsResult<size_t> got = file->ReadAt(0, bytes.data(), bytes.size());
  bytes.resize(got.ok() ? *got : 0);
  return bytes;
}

mode_t PermissionsOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return info.st_mode & 07777;
}

TEST(File, WrittenBytesReadBackAndAShortReadStopsAtTheEnd) {
  TempDir dir;
  OsResult<File> file = File::CreateNew(dir.File("a.dat"));
  ASSERT_TRUE(file.ok());
  ASSERT_TRUE(file->WriteAt(0, kContent, kContentSize).ok());
  ASSERT_TRUE(file->WriteAt(1 << 20, "z", 1).ok());  // far out: the gap reads as zeros
  EXPECT_EQ(*file->Size(), (1u << 20) + 1);
  ASSERT_TRUE(file->Flush().ok());

  char buffer[64] = {};
  EXPECT_EQ(*file->ReadAt(4, buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "data");
  EXPECT_EQ(*file->ReadAt((1 << 20) - 2, buffer, sizeof buffer), 3u);  // up to the end only
  EXPECT_EQ(std::string(buffer, 3), std::string("\0\0z", 3));
  EXPECT_EQ(*file->ReadAt(1 << 21, buffer, sizeof buffer), 0u);
  EXPECT_EQ(file->ReadAt(0x7FFFFFFFFFFFFFF0ull, buffer, sizeof buffer).error(), EINVAL);

  ASSERT_TRUE(file->SetEndOfFile(3).ok());
  EXPECT_EQ(*file->Size(), 3u);
  EXPECT_EQ(*file->ReadAt(0, buffer, sizeof buffer), 3u);
}

TEST(File, ShareModesWithinOneProcessAdmitASecondOpenOnlyWhenNeitherIsExclusive) {
  TempDir dir;
  std::string path = MakeFile(dir);
  for (OpenMode first : kAllModes) {
    for (OpenMode second : kAllModes) {
      SCOPED_TRACE(Describe(first) + " then " + Describe(second));
      OsResult<File> held = File::Open(path, first);
      ASSERT_TRUE(held.ok());
      OsResult<File> asked = File::Open(path, second);
      bool admitted = !first.exclusive && !second.exclusive;
      EXPECT_EQ(asked.ok(), admitted);
      if (!admitted) {
        EXPECT_EQ(asked.error(), EBUSY);
      }
    }
  }
}

TEST(File, ShareModesBetweenProcessesAdmitASecondOpenOnlyWhenNeitherIsExclusive) {
  TempDir dir;
  std::string path = MakeFile(dir);
  FileHolderChild child(path);
  for (OpenMode first : kAllModes) {
    for (OpenMode second : kAllModes) {
      SCOPED_TRACE(Describe(first) + " then " + Describe(second));
      bool admitted = !first.exclusive && !second.exclusive;
      // The child opens first ...
      ASSERT_EQ(child.Open(first), 0);
      {
        OsResult<File> asked = File::Open(path, second);
        EXPECT_EQ(asked.ok(), admitted);
        if (!admitted) {
          EXPECT_EQ(asked.error(), EBUSY);
        }
      }
      ASSERT_EQ(child.Close(), 0);
      // ... and then this process does.
      OsResult<File> held = File::Open(path, first);
      ASSERT_TRUE(held.ok());
      int answer = child.Open(second);
      EXPECT_EQ(answer, admitted ? 0 : EBUSY);
      if (answer == 0) {
        ASSERT_EQ(child.Close(), 0);
      }
    }
  }
}

TEST(File, AnExclusiveOpenOfAKilledProcessIsGone) {
  TempDir dir;
  std::string path = MakeFile(dir);
  FileHolderChild child(path);
  ASSERT_EQ(child.Open(kExclusiveReadWrite), 0);
  ASSERT_EQ(File::Open(path, kSharedReadOnly).error(), EBUSY);
  child.Kill();
  EXPECT_TRUE(File::Open(path, kExclusiveReadWrite).ok());
}

// A process that may not write the file can only take a read lock on the share byte. Its
// exclusive open must still keep out other exclusive opens, deletion and replacement.
TEST(File, AnExclusiveOpenOfAnUnwritableFileStillKeepsWritersOut) {
  TempDir dir;
  std::string path = MakeFile(dir);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_TRUE(SetReadOnly(path, true).ok());
  FileHolderChild child(path);
  ASSERT_EQ(child.BecomeUser(kNobody), 0);
  ASSERT_EQ(child.Open(kExclusiveReadOnly), 0);
  ASSERT_EQ(child.TakesReadLocks(), 1);
  EXPECT_EQ(File::Open(path, kExclusiveReadWrite).error(), EBUSY);
  EXPECT_EQ(File::Open(path, kExclusiveReadOnly).error(), EBUSY);
  EXPECT_EQ(DeleteFile(path).error(), EBUSY);
  ASSERT_TRUE(SetReadOnly(path, false).ok());
  EXPECT_EQ(File::CreateOrReplace(path).error(), EBUSY);
  child.Kill();
  EXPECT_EQ(ReadAll(path), kContent);
}

TEST(File, CreateNewRefusesAnExistingNameAndLeavesItsContent) {
  TempDir dir;
  std::string path = MakeFile(dir);
  EXPECT_EQ(File::CreateNew(path).error(), EEXIST);
  EXPECT_EQ(ReadAll(path), kContent);
}

TEST(File, ANewFileIsExclusiveUntilClosed) {
  TempDir dir;
  std::string path = dir.File("new.dat");
  FileHolderChild child(path);
  OsResult<File> created = File::CreateNew(path);
  ASSERT_TRUE(created.ok());
  EXPECT_TRUE(created->exclusive());
  EXPECT_EQ(File::Open(path, kSharedReadOnly).error(), EBUSY);
  EXPECT_EQ(child.Open(kSharedReadOnly), EBUSY);
  ASSERT_TRUE(created->Close().ok());
  EXPECT_EQ(child.Open(kSharedReadOnly), 0);
}

// Whoever holds the file open, replacing it must fail before a byte is lost.
TEST(File, CreateOrReplaceNeverTruncatesAFileThatIsOpen) {
  TempDir dir;
  std::string path = MakeFile(dir);
  FileHolderChild child(path);
  for (OpenMode mode : {kSharedReadOnly, kExclusiveReadOnly}) {
    SCOPED_TRACE(Describe(mode));
    {
      OsResult<File> holder = File::Open(path, mode);
      ASSERT_TRUE(holder.ok());
      EXPECT_EQ(File::CreateOrReplace(path).error(), EBUSY);
    }
    EXPECT_EQ(ReadAll(path), kContent);
    ASSERT_EQ(child.Open(mode), 0);
    EXPECT_EQ(File::CreateOrReplace(path).error(), EBUSY);
    ASSERT_EQ(child.Close(), 0);
    EXPECT_EQ(ReadAll(path), kContent);
  }
}

TEST(File, CreateOrReplaceEmptiesAFileNobodyHasOpenOrMakesANewOne) {
  TempDir dir;
  std::string path = MakeFile(dir);
  OsResult<File> replaced = File::CreateOrReplace(path);
  ASSERT_TRUE(replaced.ok());
  EXPECT_TRUE(replaced->exclusive());
  EXPECT_EQ(*replaced->Size(), 0u);
  EXPECT_TRUE(File::CreateOrReplace(dir.File("fresh.dat")).ok());
  EXPECT_TRUE(File::Open(dir.File("fresh.dat"), kSharedReadOnly).ok());
}

TEST(File, CreateOrReplaceRefusesAReadOnlyFileEvenForRoot) {
  TempDir dir;
  std::string path = MakeFile(dir);
  ASSERT_TRUE(SetReadOnly(path, true).ok());
  EXPECT_EQ(File::CreateOrReplace(path).error(), EACCES);
  EXPECT_EQ(ReadAll(path), kContent);
}

TEST(File, TemporaryFilesAreTheOwnersAlone) {
  TempDir dir;
  OsResult<File> file = File::CreateNew(dir.File("t.tmp"), CreateAttributes{true, true});
  ASSERT_TRUE(file.ok());
  EXPECT_TRUE(file->temporary());
  EXPECT_TRUE(file->hidden());
  EXPECT_EQ(PermissionsOf(dir.File("t.tmp")), 0600u);
}

TEST(File, CreateAndOpenReportTheSystemsErrors) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0755), 0);
  EXPECT_EQ(File::Open(dir.File("missing.dat"), kSharedReadWrite).error(), ENOENT);
  EXPECT_EQ(File::Open(dir.File("sub"), kSharedReadOnly).error(), EISDIR);
  EXPECT_EQ(File::CreateNew(dir.File("no/such/dir.dat")).error(), ENOENT);
  EXPECT_EQ(File::CreateNew(dir.File("sub")).error(), EEXIST);
  EXPECT_EQ(File::CreateOrReplace(dir.File("sub")).error(), EISDIR);
}

enum class PathOperation { poDelete, poRename };

OsStatus Apply(PathOperation operation, const std::string& path, const std::string& target) {
  return operation == PathOperation::poDelete ? DeleteFile(path) : RenameFile(path, target);
}

TEST(File, DeleteAndRenameAreRefusedWhileTheFileIsOpenAnywhere) {
  TempDir dir;
  std::string path = MakeFile(dir);
  std::string target = dir.File("renamed.dat");
  FileHolderChild child(path);
  for (PathOperation operation : {PathOperation::poDelete, PathOperation::poRename}) {
    for (OpenMode mode : {kExclusiveReadWrite, kSharedReadOnly}) {
      SCOPED_TRACE(Describe(mode) + (operation == PathOperation::poDelete ? " delete" : " rename"));
      {
        OsResult<File> holder = File::Open(path, mode);
        ASSERT_TRUE(holder.ok());
        EXPECT_EQ(Apply(operation, path, target).error(), EBUSY);
      }
      ASSERT_EQ(child.Open(mode), 0);
      EXPECT_EQ(Apply(operation, path, target).error(), EBUSY);
      ASSERT_EQ(child.Close(), 0);
      EXPECT_EQ(ReadAll(path), kContent);
      EXPECT_EQ(::access(target.c_str(), F_OK), -1);
    }
    ASSERT_TRUE(Apply(operation, path, target).ok());
    EXPECT_EQ(::access(path.c_str(), F_OK), -1);
    if (operation == PathOperation::poRename) {
      EXPECT_EQ(ReadAll(target), kContent);
    } else {
      MakeFile(dir);
    }
  }
}

TEST(File, RenameNeverReplacesAnExistingFile) {
  TempDir dir;
  std::string from = MakeFile(dir, "from.dat");
  std::string to = dir.File("to.dat");
  {
    OsResult<File> other = File::CreateNew(to);
    ASSERT_TRUE(other.ok());
    ASSERT_TRUE(other->WriteAt(0, "other", 5).ok());
  }
  EXPECT_EQ(RenameFile(from, to).error(), EEXIST);
  EXPECT_EQ(RenameFile(from, from).error(), EEXIST);
  EXPECT_EQ(ReadAll(from), kContent);
  EXPECT_EQ(ReadAll(to), "other");
  EXPECT_EQ(RenameFile(dir.File("missing.dat"), dir.File("x.dat")).error(), ENOENT);
  EXPECT_EQ(DeleteFile(dir.File("missing.dat")).error(), ENOENT);
}

// Runs as root in CI: the attribute is read from the mode bits, never from what access allows.
TEST(File, TheReadOnlyAttributeForcesReadOnlyOpensEvenForRoot) {
  TempDir dir;
  std::string path = MakeFile(dir);
  ASSERT_FALSE(*IsReadOnly(path));
  ASSERT_TRUE(SetReadOnly(path, true).ok());
  EXPECT_TRUE(*IsReadOnly(path));
  EXPECT_EQ(PermissionsOf(path) & 0222, 0u);
  {
    OsResult<File> file = File::Open(path, kSharedReadWrite);
    ASSERT_TRUE(file.ok());
    EXPECT_TRUE(file->read_only());
    EXPECT_TRUE(file->forced_read_only());
    EXPECT_EQ(file->WriteAt(0, "x", 1).error(), EBADF);
    EXPECT_EQ(file->SetEndOfFile(0).error(), EBADF);
  }
  EXPECT_EQ(ReadAll(path), kContent);

  ASSERT_TRUE(SetReadOnly(path, false).ok());
  EXPECT_FALSE(*IsReadOnly(path));
  OsResult<File> file = File::Open(path, kSharedReadWrite);
  ASSERT_TRUE(file.ok());
  EXPECT_FALSE(file->read_only());
  EXPECT_FALSE(file->forced_read_only());
  EXPECT_TRUE(file->WriteAt(0, "T", 1).ok());
}

TEST(File, AReadOnlyOpenOfAWritableFileIsNotForcedAndRefusesWrites) {
  TempDir dir;
  std::string path = MakeFile(dir);
  OsResult<File> file = File::Open(path, kSharedReadOnly);
  ASSERT_TRUE(file.ok());
  EXPECT_TRUE(file->read_only());
  EXPECT_FALSE(file->forced_read_only());
  EXPECT_EQ(file->WriteAt(0, "x", 1).error(), EBADF);
  EXPECT_EQ(ReadAll(path), kContent);
}

}  // namespace
}  // namespace veltra::platform
