// The file registry: the rules of open, create, close, rename and delete for physical and memory
// files in every state, shared objects and handles, the mode a second open really gets, the
// read-only attribute, temporary files, memory files that outlive their handles, names and lists.
#include "core/file_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/memory_file.h"
#include "core/physical_file.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "support/temp_dir.h"

namespace veltra {
namespace {

using testing::TempDir;

constexpr TFileFlags kShared{};
constexpr TFileFlags kExclusive{.exclusive = true};
constexpr TFileFlags kReadOnly{.read_only = true};

// Where the file "t.dat" stands before the operation.
enum class TState {
  stAbsent,         // nowhere
  stOnDisk,         // physical: a file on disk, not registered
  stClosed,         // memory: registered, no handle open
  stOpenShared,     // registered with a shared handle open
  stOpenExclusive,  // registered with an exclusive handle open
};

enum class TOperation {
  opOpen,
  opOpenExclusive,
  opCreate,
  opCreateNew,
  opRename,          // t.dat -> u.dat
  opRenameOntoOpen,  // t.dat -> v.dat, which is open
  opDelete,
};

struct RuleCase {
  const char* label;
  bool in_memory;
  TState state;
  TOperation operation;
  TEngineCode expected;  // 0: succeeds
};

std::ostream& operator<<(std::ostream& out, const RuleCase& c) { return out << c.label; }

class RegistryRules : public ::testing::TestWithParam<RuleCase> {
 protected:
  std::string Name(const char* file) const {
    return GetParam().in_memory ? std::string("Memory/") + file : dir_.File(file);
  }

  void WriteOnDisk(const std::string& path) {
    auto file = platform::File::CreateNew(path);
    ASSERT_TRUE(file.ok());
    ASSERT_TRUE(file->WriteAt(0, "x", 1).ok());
  }

  TempDir dir_;
  TFileRegistry registry_;
};

TEST_P(RegistryRules, AnswerTheOperationInItsState) {
  const RuleCase& c = GetParam();
  const std::string name = Name("t.dat");
  TOpenedFile held;
  switch (c.state) {
    case TState::stAbsent:
      break;
    case TState::stOnDisk:
      WriteOnDisk(name);
      break;
    case TState::stClosed: {
      TOpenedFile created = registry_.Create(name, true, false, false);
      ASSERT_TRUE(created.ok());
      ASSERT_TRUE(registry_.Close(created.file, created.handle, true).ok());
      break;
    }
    case TState::stOpenShared:
    case TState::stOpenExclusive:
      if (c.in_memory) {
        TOpenedFile created = registry_.Create(name, true, false, false);
        ASSERT_TRUE(registry_.Close(created.file, created.handle, true).ok());
      } else {
        WriteOnDisk(name);
      }
      held = registry_.Open(name, c.in_memory,
                            c.state == TState::stOpenExclusive ? kExclusive : kShared);
      ASSERT_TRUE(held.ok()) << held.code();
      break;
  }
  TOpenedFile other;
  if (c.operation == TOperation::opRenameOntoOpen) {
    other = registry_.Create(Name("v.dat"), c.in_memory, false, false);
    ASSERT_TRUE(other.ok());
  }

  TEngineCode code = 0;
  switch (c.operation) {
    case TOperation::opOpen:
    case TOperation::opOpenExclusive:
      code = registry_
                 .Open(name, c.in_memory,
                       c.operation == TOperation::opOpenExclusive ? kExclusive : kShared)
                 .code();
      break;
    case TOperation::opCreate:
      code = registry_.Create(name, c.in_memory, false, false).code();
      break;
    case TOperation::opCreateNew:
      code = registry_.CreateNew(name, c.in_memory, false, false).code();
      break;
    case TOperation::opRename:
      code = registry_.Rename(name, Name("u.dat"), c.in_memory).code();
      break;
    case TOperation::opRenameOntoOpen:
      code = registry_.Rename(name, Name("v.dat"), c.in_memory).code();
      break;
    case TOperation::opDelete:
      code = registry_.Delete(name, c.in_memory).code();
      break;
  }
  EXPECT_EQ(code, c.expected);
  if (c.expected != 0 && held.ok()) {
    // A refused operation leaves the open file as it was.
    EXPECT_EQ(held.file->open_count(), 1u);
    EXPECT_TRUE(registry_.Exists(name, c.in_memory));
  }
  if (c.expected == 0 && c.operation == TOperation::opRename) {
    EXPECT_FALSE(registry_.Exists(name, c.in_memory));
    EXPECT_TRUE(registry_.Exists(Name("u.dat"), c.in_memory));
  }
  if (c.expected == 0 && c.operation == TOperation::opDelete) {
    EXPECT_FALSE(registry_.Exists(name, c.in_memory));
  }
}

using enum TState;
using enum TOperation;
constexpr TEngineCode kOk = 0;
constexpr TEngineCode kMissing = kErrTableNotFound;
constexpr TEngineCode kDenied = kErrAccessDenied;

INSTANTIATE_TEST_SUITE_P(
    Physical, RegistryRules,
    ::testing::Values(RuleCase{"OpenAbsent", false, stAbsent, opOpen, kMissing},
                      RuleCase{"OpenOnDisk", false, stOnDisk, opOpen, kOk},
                      RuleCase{"OpenExclusiveOnDisk", false, stOnDisk, opOpenExclusive, kOk},
                      RuleCase{"OpenShared", false, stOpenShared, opOpen, kOk},
                      RuleCase{"OpenExclusiveWhileShared", false, stOpenShared, opOpenExclusive,
                               kDenied},
                      RuleCase{"OpenWhileExclusive", false, stOpenExclusive, opOpen, kDenied},
                      RuleCase{"CreateAbsent", false, stAbsent, opCreate, kOk},
                      RuleCase{"CreateOverOnDisk", false, stOnDisk, opCreate, kOk},
                      RuleCase{"CreateWhileOpen", false, stOpenShared, opCreate, kDenied},
                      RuleCase{"CreateNewAbsent", false, stAbsent, opCreateNew, kOk},
                      RuleCase{"CreateNewOnDisk", false, stOnDisk, opCreateNew, kDenied},
                      RuleCase{"RenameOnDisk", false, stOnDisk, opRename, kOk},
                      RuleCase{"RenameAbsent", false, stAbsent, opRename, kMissing},
                      RuleCase{"RenameWhileOpen", false, stOpenShared, opRename, kDenied},
                      RuleCase{"RenameOntoOpenName", false, stOnDisk, opRenameOntoOpen, kDenied},
                      RuleCase{"DeleteOnDisk", false, stOnDisk, opDelete, kOk},
                      RuleCase{"DeleteAbsent", false, stAbsent, opDelete, kMissing},
                      RuleCase{"DeleteWhileOpen", false, stOpenShared, opDelete, kDenied},
                      RuleCase{"DeleteWhileExclusive", false, stOpenExclusive, opDelete, kDenied}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Memory, RegistryRules,
    ::testing::Values(RuleCase{"OpenAbsent", true, stAbsent, opOpen, kMissing},
                      RuleCase{"OpenClosed", true, stClosed, opOpen, kOk},
                      RuleCase{"OpenExclusiveClosed", true, stClosed, opOpenExclusive, kOk},
                      RuleCase{"OpenShared", true, stOpenShared, opOpen, kOk},
                      RuleCase{"OpenExclusiveWhileShared", true, stOpenShared, opOpenExclusive,
                               kDenied},
                      RuleCase{"OpenWhileExclusive", true, stOpenExclusive, opOpen, kDenied},
                      RuleCase{"CreateAbsent", true, stAbsent, opCreate, kOk},
                      RuleCase{"CreateOverClosed", true, stClosed, opCreate, kOk},
                      RuleCase{"CreateWhileOpen", true, stOpenShared, opCreate, kDenied},
                      RuleCase{"CreateNewClosed", true, stClosed, opCreateNew, kDenied},
                      RuleCase{"RenameClosed", true, stClosed, opRename, kOk},
                      RuleCase{"RenameAbsent", true, stAbsent, opRename, kMissing},
                      RuleCase{"RenameWhileOpen", true, stOpenShared, opRename, kDenied},
                      RuleCase{"RenameOntoOpenName", true, stClosed, opRenameOntoOpen, kDenied},
                      RuleCase{"DeleteClosed", true, stClosed, opDelete, kOk},
                      RuleCase{"DeleteAbsent", true, stAbsent, opDelete, kMissing},
                      RuleCase{"DeleteWhileOpen", true, stOpenShared, opDelete, kDenied}),
    [](const auto& info) { return std::string(info.param.label); });

class FileRegistryTest : public ::testing::Test {
 protected:
  std::string MakeOnDisk(const std::string& name, const std::string& content = "content") {
    const std::string path = dir_.File(name);
    auto file = platform::File::CreateNew(path);
    EXPECT_TRUE(file.ok());
    EXPECT_TRUE(file->WriteAt(0, content.data(), content.size()).ok());
    return path;
  }

  std::string ReadFrom(const TOpenedFile& opened, size_t count = 64) {
    std::string bytes(count, '\0');
    TFileResult read = opened.file->ReadAt(opened.handle, 0, bytes.data(), bytes.size());
    EXPECT_TRUE(read.ok());
    bytes.resize(read.ok() ? static_cast<size_t>(read.value()) : 0);
    return bytes;
  }

  TempDir dir_;
  TFileRegistry registry_;
};

TEST_F(FileRegistryTest, TwoOpensShareOneObjectAndOneOsFile) {
  const std::string path = MakeOnDisk("draws.dat");
  TOpenedFile first = registry_.Open(path, false, kShared);
  TOpenedFile second = registry_.Open(path, false, kShared);
  ASSERT_TRUE(first.ok());
  ASSERT_TRUE(second.ok());
  EXPECT_EQ(first.file, second.file);
  EXPECT_EQ(first.handle, 1);
  EXPECT_EQ(second.handle, 2);
  EXPECT_EQ(first.file->open_count(), 2u);
  EXPECT_EQ(registry_.RegisteredCount(false), 1u);
  auto& physical = dynamic_cast<TPhysicalFile&>(*first.file);
  EXPECT_TRUE(physical.is_os_file_open());

  ASSERT_TRUE(registry_.Close(first.file, first.handle, false).ok());
  EXPECT_TRUE(physical.is_os_file_open());
  EXPECT_EQ(ReadFrom(second), "content");
  ASSERT_TRUE(registry_.Close(second.file, second.handle, false).ok());
  EXPECT_EQ(registry_.RegisteredCount(false), 0u);  // a physical file goes with its last handle
}

TEST_F(FileRegistryTest, HandleIdsAreNeverReusedByOneObject) {
  TOpenedFile created = registry_.Create("Memory/ids.dat", true, false, false);
  ASSERT_TRUE(registry_.Close(created.file, created.handle, true).ok());
  TOpenedFile second = registry_.Open("Memory/ids.dat", true, kShared);
  TOpenedFile third = registry_.Open("Memory/ids.dat", true, kShared);
  ASSERT_TRUE(registry_.Close(third.file, third.handle, true).ok());
  TOpenedFile fourth = registry_.Open("Memory/ids.dat", true, kShared);
  EXPECT_EQ(created.handle, 1);
  EXPECT_EQ(second.handle, 2);
  EXPECT_EQ(third.handle, 3);
  EXPECT_EQ(fourth.handle, 4);
}

TEST_F(FileRegistryTest, SecondOpenReportsTheModeTheFileReallyHas) {
  struct Case {
    bool in_memory;
    TFileFlags first;
    TFileFlags second;
    bool expected_read_only;
  };
  const Case cases[] = {
      {false, kReadOnly, kShared, true},  // asked read-write, the handle is read-only
      {false, kShared, kReadOnly, false},
      {true, kReadOnly, kShared, true},
      {true, kShared, kReadOnly, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "memory " << c.in_memory << " first read-only " << c.first.read_only);
    TFileRegistry registry;
    const std::string name =
        c.in_memory ? "Memory/mode.dat" : MakeOnDisk("mode" + std::to_string(&c - cases) + ".dat");
    if (c.in_memory) {
      TOpenedFile created = registry.Create(name, true, false, false);
      ASSERT_TRUE(registry.Close(created.file, created.handle, true).ok());
    }
    TOpenedFile first = registry.Open(name, c.in_memory, c.first);
    TOpenedFile second = registry.Open(name, c.in_memory, c.second);
    ASSERT_TRUE(first.ok());
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(second.read_only, c.expected_read_only);
    EXPECT_FALSE(second.forced_read_only);
    if (c.expected_read_only) {
      // The handle really is read-only: writing through it is refused.
      EXPECT_EQ(second.file->WriteAt(second.handle, 0, "x", 1).code(), kErrInvalidFileHandle);
    }
  }
}

TEST_F(FileRegistryTest, ReadOnlyAttributeOpensReadOnlyAndSaysSoWhoeverRuns) {
  const std::string path = MakeOnDisk("locked.dat");
  ASSERT_TRUE(platform::SetReadOnly(path, true).ok());
  TOpenedFile first = registry_.Open(path, false, kShared);
  ASSERT_TRUE(first.ok()) << first.code();
  EXPECT_TRUE(first.read_only);
  EXPECT_TRUE(first.forced_read_only);
  TOpenedFile second = registry_.Open(path, false, kShared);
  EXPECT_TRUE(second.read_only);
  EXPECT_TRUE(second.forced_read_only);
  EXPECT_EQ(first.file->WriteAt(first.handle, 0, "x", 1).code(), kErrInvalidFileHandle);
  EXPECT_EQ(ReadFrom(first), "content");
}

TEST_F(FileRegistryTest, TemporaryFileIsDeletedWithItsLastHandle) {
  for (bool in_memory : {false, true}) {
    SCOPED_TRACE(in_memory ? "memory" : "physical");
    // Created temporary: exclusive, so its one handle is the last.
    const std::string name = in_memory ? "Temp/0.dat" : dir_.File("0.dat");
    TOpenedFile created = registry_.Create(name, in_memory, false, true);
    ASSERT_TRUE(created.ok());
    ASSERT_TRUE(created.file->WriteAt(created.handle, 0, "rows", 4).ok());
    ASSERT_TRUE(registry_.Close(created.file, created.handle, in_memory).ok());
    EXPECT_FALSE(registry_.Exists(name, in_memory));
    EXPECT_FALSE(platform::FileExists(name));

    // Opened temporary and shared: it goes with the second close, not the first.
    const std::string shared = in_memory ? "Temp/1.dat" : MakeOnDisk("1.dat");
    if (in_memory) {
      TOpenedFile made = registry_.Create(shared, true, false, false);
      ASSERT_TRUE(registry_.Close(made.file, made.handle, true).ok());
    }
    const TFileFlags temporary{.temporary = true};
    TOpenedFile first = registry_.Open(shared, in_memory, temporary);
    TOpenedFile second = registry_.Open(shared, in_memory, kShared);
    ASSERT_TRUE(first.ok());
    ASSERT_TRUE(second.ok());
    ASSERT_TRUE(registry_.Close(first.file, first.handle, in_memory).ok());
    EXPECT_TRUE(registry_.Exists(shared, in_memory));
    ASSERT_TRUE(registry_.Close(second.file, second.handle, in_memory).ok());
    EXPECT_FALSE(registry_.Exists(shared, in_memory));
    EXPECT_EQ(registry_.RegisteredCount(in_memory), 0u);
  }
}

TEST_F(FileRegistryTest, MemoryFileKeepsItsContentUntilDeleted) {
  TOpenedFile created = registry_.Create("Memory/keep.dat", true, false, false);
  ASSERT_TRUE(created.file->WriteAt(created.handle, 0, "kept rows", 9).ok());
  ASSERT_TRUE(registry_.Close(created.file, created.handle, true).ok());
  EXPECT_EQ(registry_.RegisteredCount(true), 1u);

  TOpenedFile reopened = registry_.Open("memory/KEEP.dat", true, kShared);
  ASSERT_TRUE(reopened.ok());
  EXPECT_EQ(reopened.file, created.file);
  EXPECT_EQ(ReadFrom(reopened), "kept rows");
  ASSERT_TRUE(registry_.Close(reopened.file, reopened.handle, true).ok());

  ASSERT_TRUE(registry_.Delete("Memory/keep.dat", true).ok());
  EXPECT_EQ(registry_.Open("Memory/keep.dat", true, kShared).code(), kErrTableNotFound);
}

TEST_F(FileRegistryTest, CreatingAClosedMemoryFileAgainEmptiesIt) {
  TOpenedFile created = registry_.Create("Memory/again.dat", true, false, false);
  ASSERT_TRUE(created.file->WriteAt(created.handle, 0, "old", 3).ok());
  ASSERT_TRUE(registry_.Close(created.file, created.handle, true).ok());
  TOpenedFile again = registry_.Create("Memory/again.dat", true, false, false);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(again.file, created.file);
  EXPECT_EQ(again.file->Size().value(), 0);
  EXPECT_TRUE(again.file->exclusive());
}

TEST_F(FileRegistryTest, NamesAreTrimmedAndMemoryNamesCompareWithoutCase) {
  const std::string path = MakeOnDisk("Games.dat");
  TOpenedFile first = registry_.Open(path, false, kShared);
  const std::string spelled = "  " + dir_.File("Games.dat") + " \t";
  TOpenedFile second = registry_.Open(spelled, false, kShared);
  ASSERT_TRUE(second.ok());
  EXPECT_EQ(second.file, first.file);
  EXPECT_EQ(second.file->name(), path);

  TOpenedFile memory = registry_.Create(" Memory/Lotto.DAT ", true, false, false);
  ASSERT_TRUE(memory.ok());
  EXPECT_EQ(memory.file->name(), "Memory/Lotto.DAT");
  EXPECT_TRUE(registry_.Exists("memory/lotto.dat", true));
  EXPECT_EQ(registry_.Create("MEMORY/LOTTO.DAT", true, false, false).code(), kErrAccessDenied);
}

// Two files on disk whose names differ only in case are two files, and so are two directories
// whose paths differ only in case: one object for both would mix their data.
TEST_F(FileRegistryTest, PhysicalNamesThatDifferInCaseAreDifferentFiles) {
  ASSERT_TRUE(platform::CreateDirectory(dir_.File("A")).ok());
  ASSERT_TRUE(platform::CreateDirectory(dir_.File("a")).ok());
  const std::string upper = MakeOnDisk("A/veltra.lck");
  const std::string lower = MakeOnDisk("a/veltra.lck");
  TOpenedFile first = registry_.Open(upper, false, kShared);
  TOpenedFile second = registry_.Open(lower, false, kShared);
  ASSERT_TRUE(first.ok());
  ASSERT_TRUE(second.ok());
  EXPECT_NE(first.file, second.file);
  EXPECT_EQ(registry_.RegisteredCount(false), 2u);
  EXPECT_FALSE(registry_.Open(dir_.File("A/VELTRA.LCK"), false, kShared).ok());
}

TEST_F(FileRegistryTest, CloseRefusesWhatIsNotOpen) {
  TOpenedFile created = registry_.Create("Memory/c.dat", true, false, false);
  EXPECT_EQ(registry_.Close(created.file, created.handle + 7, true).code(), kErrInvalidFileHandle);
  EXPECT_EQ(registry_.Close(created.file, created.handle, false).code(), kErrTableNotFound);
  ASSERT_TRUE(registry_.Close(created.file, created.handle, true).ok());
  EXPECT_EQ(registry_.Close(created.file, created.handle, true).code(), kErrTableNotFound);

  const std::string path = MakeOnDisk("p.dat");
  TOpenedFile physical = registry_.Open(path, false, kShared);
  const TBaseFile* stale = physical.file;
  ASSERT_TRUE(registry_.Close(physical.file, physical.handle, false).ok());
  EXPECT_EQ(registry_.Close(stale, physical.handle, false).code(), kErrTableNotFound);
}

TEST_F(FileRegistryTest, FailedOpenRegistersNothing) {
  EXPECT_EQ(registry_.Open(dir_.File("missing.dat"), false, kShared).code(), kErrTableNotFound);
  ASSERT_TRUE(platform::CreateDirectory(dir_.File("folder.dat")).ok());
  EXPECT_EQ(registry_.Open(dir_.File("folder.dat"), false, kShared).code(), kErrAccessDenied);
  EXPECT_EQ(registry_.RegisteredCount(false), 0u);
  EXPECT_FALSE(registry_.Exists(dir_.File("folder.dat"), false));  // a directory is no file
}

TEST_F(FileRegistryTest, CreateNeverEmptiesAFileOpenElsewhere) {
  const std::string path = MakeOnDisk("live.dat", "live rows");
  auto outside = platform::File::Open(path, {.read_only = false, .exclusive = false});
  ASSERT_TRUE(outside.ok());
  EXPECT_EQ(registry_.Create(path, false, false, false).code(), kErrAccessDenied);
  std::string bytes(16, '\0');
  EXPECT_EQ(*outside->ReadAt(0, bytes.data(), bytes.size()), 9u);
}

TEST_F(FileRegistryTest, ListsNamesWithOrWithoutExtensions) {
  MakeOnDisk("b.dat");
  MakeOnDisk("A.DAT");
  MakeOnDisk("a.idx");
  ASSERT_TRUE(platform::CreateDirectory(dir_.File("dir.dat")).ok());
  for (const char* name : {"Mem/b.dat", "Mem/a.idx", "Mem/C.Dat", "Other/d.dat"}) {
    ASSERT_TRUE(registry_.Create(name, true, false, false).ok());
  }
  struct Case {
    bool in_memory;
    std::string pattern;
    bool with_extensions;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {false, dir_.File("*.dat"), true, {"A.DAT", "b.dat"}},
      {false, dir_.File("*.dat"), false, {"A", "b"}},
      {false, dir_.File("a.*"), true, {"A.DAT", "a.idx"}},
      {true, "Mem/*.dat", true, {"C.Dat", "b.dat"}},
      {true, "mem/*.DAT", false, {"C", "b"}},
      {true, "Other/*", true, {"d.dat"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    TFileList list = registry_.List(c.in_memory, c.pattern, c.with_extensions);
    EXPECT_EQ(list.error, 0);
    EXPECT_EQ(list.names, c.expected);
  }
  EXPECT_EQ(registry_.List(false, dir_.File("none/*.dat"), true).error, kErrTableNotFound);
}

TEST_F(FileRegistryTest, CloseAllFreesEveryFileAndDeletesTemporaryOnes) {
  const std::string kept = MakeOnDisk("kept.dat");
  ASSERT_TRUE(registry_.Open(kept, false, kShared).ok());
  ASSERT_TRUE(registry_.Create(dir_.File("1.dat"), false, false, true).ok());
  ASSERT_TRUE(registry_.Create("Memory/m.dat", true, false, false).ok());
  registry_.CloseAll();
  EXPECT_EQ(registry_.RegisteredCount(false), 0u);
  EXPECT_EQ(registry_.RegisteredCount(true), 0u);
  EXPECT_TRUE(platform::FileExists(kept));
  EXPECT_FALSE(platform::FileExists(dir_.File("1.dat")));
  // The file is really closed: it can be opened exclusively again.
  EXPECT_TRUE(registry_.Open(kept, false, kExclusive).ok());
}

TEST_F(FileRegistryTest, ThreadsOpeningAndClosingOneNameShareOneObjectAtATime) {
  const std::string path = MakeOnDisk("shared.dat");
  constexpr int kThreads = 4;
  constexpr int kRounds = 300;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        const std::string name = (t % 2 == 0) ? path : " " + path;
        TOpenedFile opened = registry_.Open(name, false, kShared);
        if (!opened.ok()) {
          ++failures;
          continue;
        }
        char bytes[7] = {};
        TFileResult read = opened.file->ReadAt(opened.handle, 0, bytes, sizeof bytes);
        if (!read.ok() || std::string(bytes, sizeof bytes) != "content") ++failures;
        if (!registry_.Close(opened.file, opened.handle, false).ok()) ++failures;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(registry_.RegisteredCount(false), 0u);
}

}  // namespace
}  // namespace veltra
