// The string order of one locale for 8-bit text: ICU collators set up so that accents (non-spacing
// marks) are ignored while case counts, or case is ignored as well, driven over the bytes of a
// single-byte code page without allocating.
//
// ICU settings. Both collators use the locale's rules with non-ignorable punctuation (symbols and
// blanks take part in the order). The case-sensitive one has strength primary with the case level
// switched on: base letters decide first, then, for texts whose letters are all equal, the case of
// the letters in order (lower before upper unless the locale's rules say otherwise); accent
// differences never count ("resume" equals "résumé", while "resume" sorts before "Resume"). The
// case-insensitive one has strength primary without the case level. A letter that the locale
// treats as a letter of its own, such as Polish "ą" or "ł", differs from its base letter at the
// primary level and so still counts in both.
//
// Shortcut. For every byte whose character is a single collation element with a primary weight,
// the order is fixed by two small numbers taken from ICU once: the rank of its primary weight and
// the rank of its case among the characters of equal primary weight. Bytes whose characters are
// completely ignorable (the control codes, for instance) are skipped. Contractions that the code
// page can spell (Czech "ch", Catalan "l·", Danish "aa") are caught by marking their first
// characters as starters and the others as continuations: a starter directly followed by a
// continuation is not handled. Equal beginnings are passed over up to the last byte that no
// contraction can span. Texts the shortcut handles compare through these ranks exactly as ICU
// would compare them; any other text (one with "ß", "æ" or "…", which expand to several elements,
// or with a contraction) goes to ICU itself: as UTF-16 in a stack buffer when short, through an
// iterator over the bytes when long. Neither way allocates.
//
// Immutable after construction; any number of threads may compare at once.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/code_page.h"

struct UCollator;

namespace veltra::platform {

// Whether a comparison of texts distinguishes upper from lower case.
enum class CaseCompare { ccRespectCase, ccIgnoreCase };

class LocaleCollation {
 public:
  // Opens the collators of `icu_locale` (for instance "pl_PL" or "de@collation=phonebook") for
  // text in `code_page`, which must outlive this object. Returns null when ICU cannot supply the
  // collation.
  static std::unique_ptr<LocaleCollation> Open(const std::string& icu_locale,
                                               const CodePage& code_page);

  ~LocaleCollation();
  LocaleCollation(const LocaleCollation&) = delete;
  LocaleCollation& operator=(const LocaleCollation&) = delete;

  // <0, 0 or >0 as `a` sorts before, equal to or after `b`, over the whole of both views (a zero
  // byte does not end a text). Characters the locale treats as ignorable, the control codes and
  // zero among them, do not change the order: "a\x01b" equals "ab".
  int Compare(std::string_view a, std::string_view b, CaseCompare case_compare) const;

  // How the one-character texts `a` and `b` compare.
  int CompareCharacters(uint8_t a, uint8_t b, CaseCompare case_compare) const;

  // Compares through ICU, never through the shortcut.
  int CompareThroughCollator(std::string_view a, std::string_view b,
                             CaseCompare case_compare) const;

  // How many of the 256 bytes the shortcut can handle (skipped bytes included).
  int ShortcutByteCount() const;

 private:
  struct CollatorCloser {
    void operator()(UCollator* collator) const;
  };
  using CollatorHandle = std::unique_ptr<UCollator, CollatorCloser>;

  // Shortcut weight of a byte: primary rank << 2 | case rank for a character the shortcut
  // handles, with kStarter added for the first character of a contraction; kSkipped for an
  // ignorable character; kComplex for a byte left to ICU.
  using Weight = uint16_t;
  static constexpr Weight kStarter = 0x8000;
  static constexpr Weight kSkipped = 0x4000;
  static constexpr Weight kFlags = kStarter | kSkipped;
  static constexpr Weight kComplex = 0xFFFF;
  static constexpr int kCaseBits = 2;
  static constexpr Weight kCaseMask = (1u << kCaseBits) - 1;
  static constexpr int kNoShortcut = 2;  // not a comparison result

  LocaleCollation(const CodePage& code_page, CollatorHandle case_sensitive,
                  CollatorHandle case_insensitive);

  void BuildShortcut(bool normalizing);
  int CompareByShortcut(std::string_view a, std::string_view b, CaseCompare case_compare) const;
  const UCollator* CollatorFor(CaseCompare case_compare) const;

  const CodePage& code_page_;
  CollatorHandle case_sensitive_;
  CollatorHandle case_insensitive_;
  std::array<Weight, 256> weights_{};
  std::array<bool, 256> continuation_{};  // a later character of a contraction
  // Bytes after which a text can be cut without changing the order of what follows: handled by
  // the shortcut and part of no contraction.
  std::array<bool, 256> boundary_{};
};

}  // namespace veltra::platform
