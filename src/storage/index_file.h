// The index file (TIndexFile): the buffered file of a table's indexes. It owns the header (roots,
// free-page chain, page count) and the 32 definition slots in memory, hands out its pages as
// TPage buffers, and performs the definition operations and the checks of the file. The tree
// algorithms that walk and change the pages belong to the cursor layer; this file stores pages,
// takes new ones and frees them.
//
// Layout: header at 0 (index_header.h), definitions at 512 (index_definition.h), pages from
// 25,088 (index_page.h). An encrypted table encrypts the header, the whole definition area and
// every page, each as one unit.
//
// Errors carry the table's name from the owner (and the index's name where one is involved):
//   version 0-5 12035; other version or a foreign signature 12036; a damaged header 8961
//   a page of the wrong kind, a broken page, a free chain that leaves the file 8965
//   index limits (30 secondary indexes, 128 key fields, page size) 9487
//   empty index name 10010; a name that starts wrongly or is too long 10022; duplicate 10027
//   primary index defined twice 9993; BLOB (or missing) field in a key 12292; key size 10026
//
// One thread at a time, like the open table that owns it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

#include "core/engine_hooks.h"
#include "crypto/md5.h"
#include "storage/buffered_file.h"
#include "storage/index_definition.h"
#include "storage/index_header.h"
#include "storage/index_page.h"

namespace veltra {

struct TIndexFileConfig {
  uint32_t page_size = kDefaultIndexPageSize;  // the data header's index page size
  crypto::TDigest signature{};                 // digest of the engine's signature text
  TCipherContext* cipher = nullptr;            // the table password's state; null: plain
  CacheBudget budget{.max_bytes = 65536, .max_count = 8192};
  uint64_t max_file_size = 4'000'000'000;
  // Cuts the file to a size (Empty). May be empty: the file then keeps its length.
  std::function<void(uint64_t size)> truncate;
};

// Reports one finding of a verification or repair.
using TIndexVerifyReport = std::function<void(std::string_view message)>;

class TIndexFile : public TBufferedFile {
 public:
  // A file with pages of config.page_size bytes. Raises 9487 when the page size lies outside
  // 1,024 to 16,384. REQUIRES: storage, owner and the cipher outlive the file.
  TIndexFile(BlockStorage& storage, BufferedFileOwner& owner, const TIndexFileConfig& config);

  // ---- Header and definitions -----------------------------------------------------------------
  // A fresh header and definition area in memory: version 6, the signature, next page 1, no
  // secondary indexes, the default primary definition in slot 0 and the empty full-text
  // definition in slot 31. Both are marked changed.
  void CreateHeader();
  // Reads the header and the definitions and resets the cache: 12035 / 12036 for the version
  // and signature (the engine's signature or the default one), 8961 for a file shorter than its
  // header or more than 30 secondary indexes.
  void Open();
  // The 512 bytes at 0 (decrypted), as they stand, without checks beyond their presence.
  void ReadHeader();
  // Raises the change counter and writes the header (encrypted); clears the changed mark.
  void WriteHeader();
  void ReadDefinitions();
  // Writes the definition area when it changed or `force`; returns whether it was written.
  bool WriteDefinitions(bool force = false);
  bool DefinitionsChanged() const { return definitions_changed_; }

  // The header as it would be written (the next page number from the page count).
  TIndexHeader Header() const;
  int32_t ChangeCounter() const { return header_.change_counter; }
  uint8_t SecondaryCount() const { return header_.secondary_count; }
  uint32_t NextPageNumber() const { return LastBlockNumber() + 1; }
  uint32_t FreePageHead() const { return header_.free_page_head; }
  // REQUIRES for the slot operations: slot < 32.
  uint32_t Root(uint8_t slot) const { return header_.roots.at(slot); }
  void SetRoot(uint8_t slot, uint32_t page);
  uint32_t DataPage(uint8_t slot) const { return header_.data_pages.at(slot); }
  void SetDataPage(uint8_t slot, uint32_t page);
  const TIndexDefinition& Definition(uint8_t slot) const { return definitions_.at(slot); }
  uint32_t PageSize() const { return page_size_; }

  // ---- Definition operations -----------------------------------------------------------------
  // The key size of every definition below is computed from its fields; the stored one given is
  // ignored. Each operation checks everything before it changes anything.
  // Slot 0 becomes `definition` (its root 0): 9993 when a primary index other than the default
  // exists, 9487 for more than 128 fields, 12292 for a BLOB or missing field, 10026 for a key
  // size outside the limits.
  void SetPrimary(const TIndexDefinition& definition, const TIndexTableShape& shape);
  // The next secondary slot (returned) gets `definition`, root and data page 0: 9487 when 30
  // exist or for more than 128 fields, 10010 for an empty name, 10022 for a bad first character
  // or more than 60 characters, 10027 for a name that exists, 12292, 10026 as above.
  uint8_t AddSecondary(const TIndexDefinition& definition, const TIndexTableShape& shape);
  // Replaces the definition of a slot in use and clears its root (nothing else is checked).
  void SetDefinition(uint8_t slot, const TIndexDefinition& definition);
  // Replaces name, field list and descending flags of a slot in use.
  void Rename(uint8_t slot, const TIndexDefinition& definition);
  // A secondary index: the later slots move down one place (definition, root, data page), the
  // count drops. The primary index: the default definition is restored. The full-text index: its
  // empty definition. The root (and data page) become 0. A slot not in use: 9487.
  void Remove(uint8_t slot);
  // The slot of the secondary index `name` (without regard to case), or kNoIndex.
  uint8_t Find(std::string_view name) const;
  // Truncates after the definition area; next page 1, free chain 0, every root and data page 0.
  void Empty();

  // ---- Pages ------------------------------------------------------------------------------------
  // Page `page` bound to the layout of `slot`; or the retry answer. 8965 for page 0, a page past
  // the end, or a page that is not an inner or leaf page of a decodable form.
  BufferPin GetPage(uint32_t page, uint8_t slot);
  // A raw page (a data page, or one whose layout the caller binds).
  BufferPin GetRawPage(uint32_t page) { return GetBuffer(page); }
  static TPage& PageOf(const BufferPin& pin) { return static_cast<TPage&>(*pin); }
  // A new empty page of `type` for `slot`: the head of the free chain (the head moves to its next
  // link; 8965 when the head lies outside the file) or one appended at the end.
  BufferPin NewPage(uint8_t slot, TPageType type);
  // Puts `page` on the free chain: it is emptied, its next link is the old head, it becomes the
  // head.
  void FreePage(TPage& page);

  // ---- Checks
  // ------------------------------------------------------------------------------------- The
  // open-time check; any failure raises 8961.
  void CheckHeader(const TIndexTableShape& shape) const;
  // Verifies (or repairs) the header and definitions, reporting every finding; returns whether
  // nothing was found. A repair ends by removing the indexes marked for removal, setting the
  // version to 6 and writing header and definitions.
  bool VerifyOrRepair(const TIndexTableShape& shape, const TIndexVerifyReport& report, bool repair);

 protected:
  std::unique_ptr<TBuffer> NewBuffer() override;

 private:
  [[noreturn]] void Raise(TEngineCode code, std::string_view index = {}) const;
  void CheckSlotInUse(uint8_t slot) const;
  bool SlotInUse(uint8_t slot) const;
  // `definition` with its computed key size, after the field and key-size checks.
  TIndexDefinition CheckedDefinition(const TIndexDefinition& definition,
                                     const TIndexTableShape& shape) const;
  void MarkHeaderChanged() { SetHeaderChanged(true); }
  bool ValidPageNumber(uint32_t page) const { return page <= LastBlockNumber(); }

  BlockStorage& storage_;
  uint32_t page_size_;
  crypto::TDigest signature_;
  TCipherContext* cipher_;
  std::function<void(uint64_t)> truncate_;

  TIndexHeader header_;
  std::array<TIndexDefinition, kIndexSlotCount> definitions_{};
  bool definitions_changed_ = false;
};

}  // namespace veltra
