#include "platform/code_page.h"

#include <unicode/ucnv.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace veltra::platform {
namespace {

// Closes an ICU converter when the scope ends.
struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterHandle = std::unique_ptr<UConverter, ConverterCloser>;

void AppendUtf8(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    // Code page characters are BMP characters other than surrogates.
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

CodePage::CodePage(std::string name, const UnicodeTable& table)
    : name_(std::move(name)), to_unicode_(table) {
  low_to_byte_.fill(kNoByte);
  // Walking the bytes upwards and keeping the first hit gives the lowest byte of a character.
  for (int byte = 0; byte < 256; ++byte) {
    char16_t unit = to_unicode_[byte];
    if (unit == kUndefinedCharacter) continue;
    if (unit < 256) {
      if (low_to_byte_[unit] == kNoByte) low_to_byte_[unit] = static_cast<int16_t>(byte);
    } else {
      high_to_byte_.emplace_back(unit, static_cast<uint8_t>(byte));
    }
  }
  std::stable_sort(high_to_byte_.begin(), high_to_byte_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  high_to_byte_.erase(std::unique(high_to_byte_.begin(), high_to_byte_.end(),
                                  [](const auto& a, const auto& b) { return a.first == b.first; }),
                      high_to_byte_.end());
}

std::unique_ptr<CodePage> CodePage::Open(std::string_view name) {
  std::string converter_name(name);
  UErrorCode status = U_ZERO_ERROR;
  ConverterHandle converter(ucnv_open(converter_name.c_str(), &status));
  if (U_FAILURE(status) || converter == nullptr) return nullptr;
  if (ucnv_getMaxCharSize(converter.get()) != 1) return nullptr;

  // Stop at the first undefined byte instead of substituting, so that it can be told apart.
  status = U_ZERO_ERROR;
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  if (U_FAILURE(status)) return nullptr;

  UnicodeTable table{};
  for (int byte = 0; byte < 256; ++byte) {
    char input = static_cast<char>(byte);
    UChar output[4] = {};
    status = U_ZERO_ERROR;
    ucnv_resetToUnicode(converter.get());
    int32_t length = ucnv_toUChars(converter.get(), output, 4, &input, 1, &status);
    if (U_FAILURE(status) || length == 0) {
      table[byte] = kUndefinedCharacter;
    } else if (length == 1 && !U16_IS_SURROGATE(output[0])) {
      table[byte] = static_cast<char16_t>(output[0]);
    } else {
      return nullptr;  // not a plain one-byte-one-character code page
    }
  }
  return std::make_unique<CodePage>(converter_name, table);
}

const CodePage& CodePage::Latin1() {
  static const CodePage latin1 = [] {
    UnicodeTable table{};
    for (int byte = 0; byte < 256; ++byte) table[byte] = static_cast<char16_t>(byte);
    return CodePage(std::string(kLatin1CodePageName), table);
  }();
  return latin1;
}

std::optional<uint8_t> CodePage::FromUnicode(char32_t code_point) const {
  if (code_point < 256) {
    int16_t byte = low_to_byte_[code_point];
    if (byte == kNoByte) return std::nullopt;
    return static_cast<uint8_t>(byte);
  }
  if (code_point > 0xFFFF) return std::nullopt;
  auto unit = static_cast<char16_t>(code_point);
  auto it = std::lower_bound(high_to_byte_.begin(), high_to_byte_.end(), unit,
                             [](const auto& entry, char16_t key) { return entry.first < key; });
  if (it == high_to_byte_.end() || it->first != unit) return std::nullopt;
  return it->second;
}

std::string CodePage::ToUtf8(std::string_view bytes) const {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    char16_t unit = to_unicode_[static_cast<uint8_t>(c)];
    if (unit == kUndefinedCharacter) {
      out.push_back(kUnmappableReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::string CodePage::FromUtf8(std::string_view utf8) const {
  std::string out;
  out.reserve(utf8.size());
  const auto* text = reinterpret_cast<const uint8_t*>(utf8.data());
  const size_t length = utf8.size();
  size_t i = 0;
  while (i < length) {
    UChar32 code_point = 0;
    // Advances past one character, or past one maximal malformed subsequence (giving < 0).
    U8_NEXT(text, i, length, code_point);
    std::optional<uint8_t> byte;
    if (code_point >= 0) byte = FromUnicode(static_cast<char32_t>(code_point));
    out.push_back(byte ? static_cast<char>(*byte) : kUnmappableReplacement);
  }
  return out;
}

const CodePage* CodePageOf(std::string_view name) {
  std::string key = LowerAscii(name);
  if (key == LowerAscii(kLatin1CodePageName)) return &CodePage::Latin1();

  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<CodePage>> code_pages;
  std::lock_guard<std::mutex> guard(mutex);
  auto it = code_pages.find(key);
  if (it == code_pages.end()) it = code_pages.emplace(key, CodePage::Open(name)).first;
  return it->second.get();
}

}  // namespace veltra::platform
