#include "platform/locale_collation.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uiter.h>
#include <unicode/uset.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace veltra::platform {
namespace {

// Texts up to this many bytes are handed to ICU as UTF-16 in a stack buffer; longer ones through
// an iterator that decodes the bytes as ICU asks for them.
constexpr size_t kStackUnits = 256;

// The low byte of a continuation half in the collation element iterator's 32-bit form.
constexpr int32_t kContinuationMarker = 0xC0;

int Sign(UCollationResult result) {
  if (result == UCOL_LESS) return -1;
  return result == UCOL_GREATER ? 1 : 0;
}

int CompareBytes(std::string_view a, std::string_view b) {
  int result = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (result != 0) return result < 0 ? -1 : 1;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// A UCharIterator over 8-bit text: each byte is one UTF-16 unit, read through the code page's
// table. The functions follow ICU's own iterator over UTF-16 strings.
struct ByteText {
  const uint8_t* bytes;
  const char16_t* table;
};

const ByteText& TextOf(UCharIterator* iter) { return *static_cast<const ByteText*>(iter->context); }

int32_t ByteTextGetIndex(UCharIterator* iter, UCharIteratorOrigin origin) {
  switch (origin) {
    case UITER_ZERO:
      return 0;
    case UITER_START:
      return iter->start;
    case UITER_CURRENT:
      return iter->index;
    case UITER_LIMIT:
      return iter->limit;
    case UITER_LENGTH:
      return iter->length;
  }
  return 0;
}

int32_t ByteTextMove(UCharIterator* iter, int32_t delta, UCharIteratorOrigin origin) {
  int64_t position = 0;
  switch (origin) {
    case UITER_ZERO:
      position = 0;
      break;
    case UITER_START:
      position = iter->start;
      break;
    case UITER_CURRENT:
      position = iter->index;
      break;
    case UITER_LIMIT:
      position = iter->limit;
      break;
    case UITER_LENGTH:
      position = iter->length;
      break;
  }
  position += delta;
  position = std::clamp<int64_t>(position, iter->start, iter->limit);
  iter->index = static_cast<int32_t>(position);
  return iter->index;
}

UBool ByteTextHasNext(UCharIterator* iter) { return iter->index < iter->limit; }

UBool ByteTextHasPrevious(UCharIterator* iter) { return iter->index > iter->start; }

UChar32 ByteTextCurrent(UCharIterator* iter) {
  if (iter->index >= iter->limit) return U_SENTINEL;
  const ByteText& text = TextOf(iter);
  return text.table[text.bytes[iter->index]];
}

UChar32 ByteTextNext(UCharIterator* iter) {
  if (iter->index >= iter->limit) return U_SENTINEL;
  const ByteText& text = TextOf(iter);
  return text.table[text.bytes[iter->index++]];
}

UChar32 ByteTextPrevious(UCharIterator* iter) {
  if (iter->index <= iter->start) return U_SENTINEL;
  const ByteText& text = TextOf(iter);
  return text.table[text.bytes[--iter->index]];
}

int32_t ByteTextReserved(UCharIterator*, int32_t) { return 0; }

uint32_t ByteTextGetState(const UCharIterator* iter) { return static_cast<uint32_t>(iter->index); }

void ByteTextSetState(UCharIterator* iter, uint32_t state, UErrorCode* status) {
  if (U_FAILURE(*status)) return;
  if (state > static_cast<uint32_t>(iter->limit)) {
    *status = U_INDEX_OUTOFBOUNDS_ERROR;
    return;
  }
  iter->index = static_cast<int32_t>(state);
}

UCharIterator ByteTextIterator(const ByteText& text, int32_t length) {
  UCharIterator iter{};
  iter.context = &text;
  iter.length = length;
  iter.start = 0;
  iter.index = 0;
  iter.limit = length;
  iter.getIndex = ByteTextGetIndex;
  iter.move = ByteTextMove;
  iter.hasNext = ByteTextHasNext;
  iter.hasPrevious = ByteTextHasPrevious;
  iter.current = ByteTextCurrent;
  iter.next = ByteTextNext;
  iter.previous = ByteTextPrevious;
  iter.reservedFn = ByteTextReserved;
  iter.getState = ByteTextGetState;
  iter.setState = ByteTextSetState;
  return iter;
}

// How many bytes `a` and `b` (each at least `size` long) have in common at their start.
size_t CommonPrefixLength(const uint8_t* a, const uint8_t* b, size_t size) {
  size_t k = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; k + sizeof(uint64_t) <= size; k += sizeof(uint64_t)) {
      uint64_t word_a = 0;
      uint64_t word_b = 0;
      std::memcpy(&word_a, a + k, sizeof word_a);
      std::memcpy(&word_b, b + k, sizeof word_b);
      if (word_a != word_b) return k + static_cast<size_t>(std::countr_zero(word_a ^ word_b)) / 8;
    }
  }
  while (k < size && a[k] == b[k]) ++k;
  return k;
}

int32_t ClampedLength(size_t length) {
  return static_cast<int32_t>(std::min<size_t>(length, INT32_MAX));
}

// A character that canonical reordering can move or combine with its neighbours.
bool HasLeadCombiningClass(UChar32 c) {
  return u_getIntPropertyValue(c, UCHAR_LEAD_CANONICAL_COMBINING_CLASS) != 0;
}
bool HasTrailCombiningClass(UChar32 c) {
  return u_getIntPropertyValue(c, UCHAR_TRAIL_CANONICAL_COMBINING_CLASS) != 0;
}

// The bytes whose characters take part in a contraction (or a prefix rule) of the collator that
// text in the code page can spell, that is one whose every character has a byte.
struct ContractionBytes {
  std::array<bool, 256> starter{};       // first character of such a contraction
  std::array<bool, 256> continuation{};  // any later character
  std::array<bool, 256> complex{};       // listed on its own: left to ICU
  bool failed = false;
};

ContractionBytes FindContractionBytes(const UCollator* collator, const CodePage& code_page) {
  ContractionBytes found;
  UErrorCode status = U_ZERO_ERROR;
  USet* contractions = uset_openEmpty();
  ucol_getContractionsAndExpansions(collator, contractions, nullptr, true, &status);
  if (U_FAILURE(status)) {
    uset_close(contractions);
    found.failed = true;
    return found;
  }
  std::u16string item(16, u'\0');
  const int32_t count = uset_getItemCount(contractions);
  for (int32_t i = 0; i < count && !found.failed; ++i) {
    UChar32 start = 0, end = 0;
    status = U_ZERO_ERROR;
    int32_t length = uset_getItem(contractions, i, &start, &end, item.data(),
                                  static_cast<int32_t>(item.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      item.resize(static_cast<size_t>(length));
      status = U_ZERO_ERROR;
      length = uset_getItem(contractions, i, &start, &end, item.data(),
                            static_cast<int32_t>(item.size()), &status);
    }
    if (U_FAILURE(status)) {
      found.failed = true;
    } else if (length == 0) {
      for (int byte = 0; byte < 256; ++byte) {
        UChar32 c = code_page.ToUnicode(static_cast<uint8_t>(byte));
        if (c >= start && c <= end) found.complex[byte] = true;
      }
    } else {
      std::vector<uint8_t> spelled;
      for (int32_t k = 0; k < length;) {
        UChar32 c = 0;
        U16_NEXT(item.data(), k, length, c);
        auto byte = code_page.FromUnicode(static_cast<char32_t>(c));
        if (!byte) {
          spelled.clear();
          break;
        }
        spelled.push_back(*byte);
      }
      for (size_t k = 0; k < spelled.size(); ++k) {
        (k == 0 ? found.starter : found.continuation)[spelled[k]] = true;
      }
    }
  }
  uset_close(contractions);
  return found;
}

// How many collation elements with a primary weight the character `c` alone produces; -1 when
// ICU fails.
int PrimaryElementCount(const UCollator* collator, char16_t c) {
  UErrorCode status = U_ZERO_ERROR;
  UChar text[1] = {c};
  UCollationElements* elements = ucol_openElements(collator, text, 1, &status);
  if (U_FAILURE(status)) return -1;
  int primaries = 0;
  for (;;) {
    int32_t element = ucol_next(elements, &status);
    if (U_FAILURE(status)) {
      primaries = -1;
      break;
    }
    if (element == UCOL_NULLORDER) break;
    if ((element & kContinuationMarker) == kContinuationMarker) continue;
    if (ucol_primaryOrder(element) != 0) ++primaries;
  }
  ucol_closeElements(elements);
  return primaries;
}

int CompareOneCharacter(const UCollator* collator, char16_t a, char16_t b) {
  UChar text_a[1] = {a};
  UChar text_b[1] = {b};
  return Sign(ucol_strcoll(collator, text_a, 1, text_b, 1));
}

}  // namespace

void LocaleCollation::CollatorCloser::operator()(UCollator* collator) const {
  ucol_close(collator);
}

LocaleCollation::LocaleCollation(const CodePage& code_page, CollatorHandle case_sensitive,
                                 CollatorHandle case_insensitive)
    : code_page_(code_page),
      case_sensitive_(std::move(case_sensitive)),
      case_insensitive_(std::move(case_insensitive)) {
  weights_.fill(kComplex);
}

LocaleCollation::~LocaleCollation() = default;

std::unique_ptr<LocaleCollation> LocaleCollation::Open(const std::string& icu_locale,
                                                       const CodePage& code_page) {
  // Texts in a code page with combining marks need not be in the form ICU expects without
  // normalisation; for all other code pages every text already is.
  bool needs_normalization = false;
  for (char16_t c : code_page.Table()) needs_normalization |= HasLeadCombiningClass(c);

  auto open = [&](bool case_level) -> CollatorHandle {
    UErrorCode status = U_ZERO_ERROR;
    CollatorHandle collator(ucol_open(icu_locale.c_str(), &status));
    if (U_FAILURE(status) || collator == nullptr) return nullptr;
    ucol_setAttribute(collator.get(), UCOL_STRENGTH, UCOL_PRIMARY, &status);
    ucol_setAttribute(collator.get(), UCOL_CASE_LEVEL, case_level ? UCOL_ON : UCOL_OFF, &status);
    ucol_setAttribute(collator.get(), UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    ucol_setAttribute(collator.get(), UCOL_NORMALIZATION_MODE,
                      needs_normalization ? UCOL_ON : UCOL_OFF, &status);
    if (U_FAILURE(status)) return nullptr;
    return collator;
  };
  CollatorHandle case_sensitive = open(true);
  CollatorHandle case_insensitive = open(false);
  if (case_sensitive == nullptr || case_insensitive == nullptr) return nullptr;

  std::unique_ptr<LocaleCollation> collation(
      new LocaleCollation(code_page, std::move(case_sensitive), std::move(case_insensitive)));
  collation->BuildShortcut(needs_normalization);
  return collation;
}

void LocaleCollation::BuildShortcut(bool normalizing) {
  ContractionBytes contractions = FindContractionBytes(case_sensitive_.get(), code_page_);
  if (contractions.failed) return;  // every byte stays complex: all texts go to ICU
  continuation_ = contractions.continuation;

  std::vector<uint8_t> ranked;
  for (int byte = 0; byte < 256; ++byte) {
    char16_t c = code_page_.ToUnicode(static_cast<uint8_t>(byte));
    if (contractions.complex[byte] || HasLeadCombiningClass(c)) continue;
    // Under normalisation a precomposed character can merge with a following combining mark.
    if (normalizing && HasTrailCombiningClass(c)) continue;
    int primaries = PrimaryElementCount(case_sensitive_.get(), c);
    if (primaries == 1) {
      ranked.push_back(static_cast<uint8_t>(byte));
    } else if (primaries == 0 && !contractions.starter[byte]) {
      weights_[byte] = kSkipped;
    }
  }

  const UCollator* primary_only = case_insensitive_.get();
  const UCollator* with_case = case_sensitive_.get();
  auto char_of = [&](uint8_t byte) { return code_page_.ToUnicode(byte); };
  std::stable_sort(ranked.begin(), ranked.end(), [&](uint8_t a, uint8_t b) {
    return CompareOneCharacter(primary_only, char_of(a), char_of(b)) < 0;
  });

  Weight primary_rank = 0;
  for (size_t group_start = 0; group_start < ranked.size();) {
    size_t group_end = group_start + 1;
    while (group_end < ranked.size() &&
           CompareOneCharacter(primary_only, char_of(ranked[group_start]),
                               char_of(ranked[group_end])) == 0) {
      ++group_end;
    }
    ++primary_rank;
    auto first = ranked.begin() + static_cast<std::ptrdiff_t>(group_start);
    auto last = ranked.begin() + static_cast<std::ptrdiff_t>(group_end);
    std::stable_sort(first, last, [&](uint8_t a, uint8_t b) {
      return CompareOneCharacter(with_case, char_of(a), char_of(b)) < 0;
    });
    Weight case_rank = 0;
    for (auto it = first; it != last; ++it) {
      if (it != first && CompareOneCharacter(with_case, char_of(*(it - 1)), char_of(*it)) != 0) {
        ++case_rank;
      }
      weights_[*it] = static_cast<Weight>(primary_rank << kCaseBits | case_rank);
    }
    if (case_rank > kCaseMask) {  // more case variants than the weight can hold: leave to ICU
      for (auto it = first; it != last; ++it) weights_[*it] = kComplex;
    }
    group_start = group_end;
  }
  for (uint8_t byte : ranked) {
    if (contractions.starter[byte] && weights_[byte] != kComplex) weights_[byte] |= kStarter;
  }
  for (int byte = 0; byte < 256; ++byte) {
    boundary_[byte] =
        weights_[byte] != kComplex && (weights_[byte] & kStarter) == 0 && !continuation_[byte];
  }
}

int LocaleCollation::ShortcutByteCount() const {
  return static_cast<int>(std::count_if(weights_.begin(), weights_.end(),
                                        [](Weight weight) { return weight != kComplex; }));
}

const UCollator* LocaleCollation::CollatorFor(CaseCompare case_compare) const {
  return case_compare == CaseCompare::ccRespectCase ? case_sensitive_.get()
                                                    : case_insensitive_.get();
}

int LocaleCollation::Compare(std::string_view a, std::string_view b,
                             CaseCompare case_compare) const {
  int result = CompareByShortcut(a, b, case_compare);
  if (result != kNoShortcut) return result;
  return CompareThroughCollator(a, b, case_compare);
}

int LocaleCollation::CompareCharacters(uint8_t a, uint8_t b, CaseCompare case_compare) const {
  const char text_a = static_cast<char>(a);
  const char text_b = static_cast<char>(b);
  return Compare(std::string_view(&text_a, 1), std::string_view(&text_b, 1), case_compare);
}

// The texts are walked once, from the last boundary byte before their first difference (an equal
// beginning decides nothing). The first primary difference decides; with case, the first case
// difference decides texts whose primary weights are all equal; a text that runs out first sorts
// first. This is the order ICU gives at primary strength with or without the case level, for
// texts whose characters are each one collation element.
int LocaleCollation::CompareByShortcut(std::string_view a, std::string_view b,
                                       CaseCompare case_compare) const {
  const auto* bytes_a = reinterpret_cast<const uint8_t*>(a.data());
  const auto* bytes_b = reinterpret_cast<const uint8_t*>(b.data());
  const size_t size_a = a.size();
  const size_t size_b = b.size();
  size_t i = CommonPrefixLength(bytes_a, bytes_b, std::min(size_a, size_b));
  if (i == size_a && i == size_b) return 0;
  while (i > 0 && !boundary_[bytes_a[i - 1]]) --i;
  size_t j = i;

  const Weight case_mask =
      case_compare == CaseCompare::ccRespectCase ? Weight{0xFFFF} : static_cast<Weight>(~kCaseMask);
  int case_order = 0;
  while (i < size_a && j < size_b) {
    Weight weight_a = weights_[bytes_a[i]];
    Weight weight_b = weights_[bytes_b[j]];
    if (((weight_a | weight_b) & kFlags) != 0) {
      if (weight_a == kComplex || weight_b == kComplex) return kNoShortcut;
      if ((weight_a & kSkipped) != 0 || (weight_b & kSkipped) != 0) {
        i += (weight_a & kSkipped) != 0;
        j += (weight_b & kSkipped) != 0;
        continue;
      }
      if ((weight_a & kStarter) != 0 && i + 1 < size_a && continuation_[bytes_a[i + 1]]) {
        return kNoShortcut;
      }
      if ((weight_b & kStarter) != 0 && j + 1 < size_b && continuation_[bytes_b[j + 1]]) {
        return kNoShortcut;
      }
      weight_a &= ~kStarter;
      weight_b &= ~kStarter;
    }
    ++i;
    ++j;
    weight_a &= case_mask;
    weight_b &= case_mask;
    if (weight_a != weight_b) {
      if ((weight_a >> kCaseBits) != (weight_b >> kCaseBits)) return weight_a < weight_b ? -1 : 1;
      if (case_order == 0) case_order = weight_a < weight_b ? -1 : 1;
    }
  }
  // One text ran out: the other sorts after it unless all that is left of it is ignorable.
  auto rest_order = [&](const uint8_t* bytes, size_t k, size_t size) {
    for (; k < size; ++k) {
      Weight weight = weights_[bytes[k]];
      if (weight == kComplex) return kNoShortcut;
      if ((weight & kSkipped) == 0) return 1;
    }
    return 0;
  };
  int rest = rest_order(bytes_a, i, size_a);
  if (rest != 0) return rest;
  rest = rest_order(bytes_b, j, size_b);
  if (rest != 0) return rest == kNoShortcut ? rest : -1;
  return case_order;
}

int LocaleCollation::CompareThroughCollator(std::string_view a, std::string_view b,
                                            CaseCompare case_compare) const {
  const UCollator* collator = CollatorFor(case_compare);
  const char16_t* table = code_page_.Table().data();
  if (a.size() <= kStackUnits && b.size() <= kStackUnits) {
    UChar units_a[kStackUnits];
    UChar units_b[kStackUnits];
    for (size_t i = 0; i < a.size(); ++i) units_a[i] = table[static_cast<uint8_t>(a[i])];
    for (size_t i = 0; i < b.size(); ++i) units_b[i] = table[static_cast<uint8_t>(b[i])];
    return Sign(ucol_strcoll(collator, units_a, static_cast<int32_t>(a.size()), units_b,
                             static_cast<int32_t>(b.size())));
  }
  ByteText text_a{reinterpret_cast<const uint8_t*>(a.data()), table};
  ByteText text_b{reinterpret_cast<const uint8_t*>(b.data()), table};
  UCharIterator iter_a = ByteTextIterator(text_a, ClampedLength(a.size()));
  UCharIterator iter_b = ByteTextIterator(text_b, ClampedLength(b.size()));
  UErrorCode status = U_ZERO_ERROR;
  int result = Sign(ucol_strcollIter(collator, &iter_a, &iter_b, &status));
  // ICU fails here only when it runs out of memory; byte order is then the only order at hand.
  if (U_FAILURE(status)) return CompareBytes(a, b);
  // Texts longer than ICU can index are told apart by what lies beyond, in byte order.
  if (result == 0 && (a.size() > INT32_MAX || b.size() > INT32_MAX)) return CompareBytes(a, b);
  return result;
}

}  // namespace veltra::platform
