// The table flush over a recording stand-in of the table's three files: each situation gives
// the exact sequence of file operations.
#include "storage/table_flush.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace veltra {
namespace {

using Calls = std::vector<std::string>;

class RecordingFile final : public TableFlushFile {
 public:
  RecordingFile(std::string name, Calls& calls) : name_(std::move(name)), calls_(calls) {}

  bool WriteBackAll() override {
    Record("write back");
    if (fails) throw std::runtime_error("disk full");
    return writes;
  }
  bool HeaderChanged() const override { return header_changed; }
  void MarkHeaderChanged() override { Record("mark header"); }
  void WriteHeader() override { Record("header"); }
  bool DefinitionsChanged() const override { return definitions_changed; }
  void WriteDefinitions() override { Record("definitions"); }
  void FlushToDisk() override { Record("flush"); }
  void Trim() override { Record("trim"); }

  bool writes = false;  // the write-back finds dirty buffers
  bool header_changed = false;
  bool definitions_changed = false;
  bool fails = false;

 private:
  void Record(const std::string& what) { calls_.push_back(name_ + " " + what); }

  std::string name_;
  Calls& calls_;
};

class RecordingTable final : public FlushableTable {
 public:
  bool ReadOnly() const override { return read_only; }
  bool InTransaction() const override { return in_transaction; }
  bool ForceBufferFlush() const override { return force_buffer_flush; }
  TableFlushFile& DataFile() override { return data; }
  TableFlushFile& IndexFile() override { return index; }
  TableFlushFile* BlobFile() override { return has_blob ? &blob : nullptr; }

  Calls calls;
  RecordingFile data{"data", calls};
  RecordingFile index{"index", calls};
  RecordingFile blob{"blob", calls};
  bool read_only = false;
  bool in_transaction = false;
  bool force_buffer_flush = false;
  bool has_blob = true;
};

struct Situation {
  const char* name;
  void (*arrange)(RecordingTable&);
  FlushRequest request;
  Calls expected;
};

void Nothing(RecordingTable&) {}

const Situation kSituations[] = {
    {"read-only table",
     [](RecordingTable& t) { t.read_only = t.data.writes = true; },
     {.data_header = true},
     {}},
    {"transaction marks the headers asked for",
     [](RecordingTable& t) { t.in_transaction = t.data.writes = true; },
     {.data_header = true, .index_header = true},
     {"data mark header", "index mark header"}},
    {"transaction without a BLOB file",
     [](RecordingTable& t) {
       t.in_transaction = true;
       t.has_blob = false;
     },
     {.blob_header = true},
     {}},
    {"nothing to write", Nothing, {}, {"data write back", "index write back", "blob write back"}},
    {"data buffers written",
     [](RecordingTable& t) { t.data.writes = true; },
     {},
     {"data write back", "data header", "index write back", "blob write back"}},
    {"data header asked",
     Nothing,
     {.data_header = true},
     {"data write back", "data header", "index write back", "blob write back"}},
    {"header marked in a transaction, written at commit",
     [](RecordingTable& t) { t.index.header_changed = true; },
     {},
     {"data write back", "index write back", "index header", "blob write back", "data header"}},
    {"index written moves the data header last",
     [](RecordingTable& t) { t.index.writes = true; },
     {},
     {"data write back", "index write back", "index header", "blob write back", "data header"}},
    {"BLOB header asked moves the data header last",
     Nothing,
     {.blob_header = true},
     {"data write back", "index write back", "blob write back", "blob header", "data header"}},
    {"forced flush of written files only",
     [](RecordingTable& t) { t.index.writes = true; },
     {.os_flush = true},
     {"data write back", "index write back", "index header", "index flush", "blob write back",
      "data header", "data flush"}},
    {"session forces every flush",
     [](RecordingTable& t) { t.force_buffer_flush = true; },
     {.data_header = true},
     {"data write back", "data header", "data flush", "index write back", "blob write back"}},
    {"definitions changed",
     [](RecordingTable& t) { t.data.definitions_changed = true; },
     {.os_flush = true},
     {"data write back", "data definitions", "data flush", "index write back", "blob write back"}},
    {"release cache trims every file",
     [](RecordingTable& t) { t.data.writes = true; },
     {.release_cache = true},
     {"data write back", "data header", "data trim", "index write back", "index trim",
      "blob write back", "blob trim"}},
    {"no BLOB file",
     [](RecordingTable& t) {
       t.has_blob = false;
       t.blob.writes = true;
     },
     {.index_header = true},
     {"data write back", "index write back", "index header", "data header"}},
    {"everything at once",
     [](RecordingTable& t) { t.data.writes = t.index.writes = t.blob.writes = true; },
     {.release_cache = true, .os_flush = true},
     {"data write back", "data header", "data flush", "data trim", "index write back",
      "index header", "index flush", "index trim", "blob write back", "blob header", "blob flush",
      "blob trim"}},
};

TEST(TableFlush, EachSituationGivesItsSequenceOfFileOperations) {
  for (const Situation& situation : kSituations) {
    SCOPED_TRACE(situation.name);
    RecordingTable table;
    situation.arrange(table);
    FlushTable(table, situation.request);
    EXPECT_EQ(table.calls, situation.expected);
  }
}

TEST(TableFlush, AFailureStopsTheFlushWhereItHappened) {
  RecordingTable table;
  table.index.writes = true;
  table.index.fails = true;
  EXPECT_THROW(FlushTable(table, {.data_header = true}), std::runtime_error);
  EXPECT_EQ(table.calls, (Calls{"data write back", "data header", "index write back"}));
}

}  // namespace
}  // namespace veltra
