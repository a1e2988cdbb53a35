// The string functions: UPPER, LOWER, SUBSTRING, REPLACE, POSITION, OCCURS, the TRIM forms,
// LENGTH, LEFT, RIGHT, REPEAT and CONCAT. Texts are 8-bit; a character is a byte. Results are
// written into the node's buffer, which grows for texts longer than the verified size.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "expressions/builtin_functions.h"
#include "expressions/function_support.h"

namespace veltra::functions {

namespace {

using TOp = TOperator;

// Case mapping through the locale's tables; without a locale only the ASCII letters have case.
template <bool kUpper>
void EvaluateCaseMapping(TExpToken& node, TEvaluationContext& context) {
  TExpToken& arg = EvaluateArg(node, 0, context);
  if (arg.IsNull) {
    SetNull(node);
    return;
  }
  std::string_view text = TextOf(arg);
  char* out = TextResultBuffer(node, text.size());
  if (context.Locale != nullptr) {
    const auto& table = kUpper ? context.Locale->UpperTable() : context.Locale->LowerTable();
    for (size_t i = 0; i < text.size(); ++i) {
      out[i] = static_cast<char>(table[static_cast<uint8_t>(text[i])]);
    }
  } else {
    for (size_t i = 0; i < text.size(); ++i) {
      char ch = text[i];
      if (kUpper && ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
      if (!kUpper && ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
      out[i] = ch;
    }
  }
  FinishTextResult(node, text.size());
}

// SUBSTRING(s FROM start [FOR length]): a start below 1 counts as 1, a negative length as 0.
void EvaluateSubstring(TExpToken& node, TEvaluationContext& context) {
  TExpToken& source = EvaluateArg(node, 0, context);
  TExpToken& start_arg = EvaluateArg(node, 1, context);
  bool has_length = node.ChildCount() > 2;
  if (has_length) EvaluateArg(node, 2, context);
  if (source.IsNull || start_arg.IsNull || (has_length && Arg(node, 2).IsNull)) {
    SetNull(node);
    return;
  }
  std::string_view text = TextOf(source);
  int64_t start = std::max<int64_t>(IntegerArgument(start_arg), 1);
  if (static_cast<uint64_t>(start) > text.size()) {
    SetNull(node);
    return;
  }
  size_t offset = static_cast<size_t>(start - 1);
  size_t length = text.size() - offset;
  if (has_length) {
    int64_t wanted = std::max<int64_t>(IntegerArgument(Arg(node, 2)), 0);
    length = std::min<uint64_t>(length, static_cast<uint64_t>(wanted));
  }
  SetTextResult(node, text.substr(offset, length), true);
}

// LEFT(s, n) and RIGHT(s, n): a count below 0 counts as 0.
template <bool kLeft>
void EvaluateLeftRight(TExpToken& node, TEvaluationContext& context) {
  TExpToken& source = EvaluateArg(node, 0, context);
  TExpToken& count_arg = EvaluateArg(node, 1, context);
  if (source.IsNull || count_arg.IsNull) {
    SetNull(node);
    return;
  }
  std::string_view text = TextOf(source);
  int64_t count = std::max<int64_t>(IntegerArgument(count_arg), 0);
  size_t length = std::min<uint64_t>(text.size(), static_cast<uint64_t>(count));
  SetTextResult(node, kLeft ? text.substr(0, length) : text.substr(text.size() - length), true);
}

// REPLACE(search WITH replacement IN source): every occurrence, left to right, without overlaps.
// An empty search text finds nothing, so the source comes back unchanged.
void EvaluateReplace(TExpToken& node, TEvaluationContext& context) {
  TExpToken& search_arg = EvaluateArg(node, 0, context);
  TExpToken& replacement_arg = EvaluateArg(node, 1, context);
  TExpToken& source_arg = EvaluateArg(node, 2, context);
  if (search_arg.IsNull || replacement_arg.IsNull || source_arg.IsNull) {
    SetNull(node);
    return;
  }
  std::string_view search = TextOf(search_arg);
  std::string_view replacement = TextOf(replacement_arg);
  std::string_view source = TextOf(source_arg);
  if (search.empty() || search == replacement) {
    SetTextResult(node, source, true);
    return;
  }
  // First the result's length, so the buffer grows once and the limit is checked before any
  // allocation.
  size_t count = 0;
  for (size_t at = source.find(search); at != std::string_view::npos;
       at = source.find(search, at + search.size())) {
    ++count;
  }
  uint64_t length = source.size() - count * search.size() + count * replacement.size();
  if (length > kMaxFunctionTextLength) RaiseTextTooLong(node);
  char* out = TextResultBuffer(node, static_cast<size_t>(length));
  size_t written = 0;
  size_t from = 0;
  for (size_t at = source.find(search); at != std::string_view::npos;
       at = source.find(search, from)) {
    std::memcpy(out + written, source.data() + from, at - from);
    written += at - from;
    if (!replacement.empty()) std::memcpy(out + written, replacement.data(), replacement.size());
    written += replacement.size();
    from = at + search.size();
  }
  std::memcpy(out + written, source.data() + from, source.size() - from);
  written += source.size() - from;
  if (written == 0) {
    SetNull(node);
    return;
  }
  FinishTextResult(node, written);
}

// POSITION(sub IN s): 1-based, 0 when none or when s is NULL; an empty sub occurs nowhere.
void EvaluatePosition(TExpToken& node, TEvaluationContext& context) {
  TExpToken& sub = EvaluateArg(node, 0, context);
  TExpToken& text = EvaluateArg(node, 1, context);
  if (sub.IsNull) {
    SetNull(node);
    return;
  }
  std::string_view needle = TextOf(sub);
  size_t at = needle.empty() || text.IsNull ? std::string_view::npos : TextOf(text).find(needle);
  // A text's length is bounded by the buffer sizes the engine allows, far below 2^31.
  SetIntegerResult(node, at == std::string_view::npos ? 0 : static_cast<int32_t>(at + 1));
}

// OCCURS(sub IN s): non-overlapping occurrences; 0 when s is NULL or sub is empty.
void EvaluateOccurs(TExpToken& node, TEvaluationContext& context) {
  TExpToken& sub = EvaluateArg(node, 0, context);
  TExpToken& text_arg = EvaluateArg(node, 1, context);
  if (sub.IsNull) {
    SetNull(node);
    return;
  }
  std::string_view needle = TextOf(sub);
  int32_t count = 0;
  if (!needle.empty() && !text_arg.IsNull) {
    std::string_view text = TextOf(text_arg);
    for (size_t at = text.find(needle); at != std::string_view::npos;
         at = text.find(needle, at + needle.size())) {
      ++count;
    }
  }
  SetIntegerResult(node, count);
}

// TRIM(LEADING|TRAILING|BOTH c FROM s): the runs of c's first character.
template <bool kLeading, bool kTrailing>
void EvaluateTrim(TExpToken& node, TEvaluationContext& context) {
  TExpToken& chars = EvaluateArg(node, 0, context);
  TExpToken& source = EvaluateArg(node, 1, context);
  if (chars.IsNull || source.IsNull) {
    SetNull(node);
    return;
  }
  std::string_view trim = TextOf(chars);
  std::string_view text = TextOf(source);
  if (!trim.empty()) {
    char ch = trim.front();
    if (kLeading) {
      size_t first = text.find_first_not_of(ch);
      text.remove_prefix(first == std::string_view::npos ? text.size() : first);
    }
    if (kTrailing) {
      size_t last = text.find_last_not_of(ch);
      text = text.substr(0, last == std::string_view::npos ? 0 : last + 1);
    }
  }
  SetTextResult(node, text, true);
}

// LENGTH(s): 0 for NULL.
void EvaluateLength(TExpToken& node, TEvaluationContext& context) {
  TExpToken& source = EvaluateArg(node, 0, context);
  SetIntegerResult(node, source.IsNull ? 0 : static_cast<int32_t>(TextOf(source).size()));
}

// REPEAT(s FOR n): n below 1 gives the empty text, which is NULL.
void EvaluateRepeat(TExpToken& node, TEvaluationContext& context) {
  TExpToken& source = EvaluateArg(node, 0, context);
  TExpToken& count_arg = EvaluateArg(node, 1, context);
  if (source.IsNull || count_arg.IsNull) {
    SetNull(node);
    return;
  }
  std::string_view text = TextOf(source);
  int64_t count = IntegerArgument(count_arg);
  if (text.empty() || count <= 0) {
    SetNull(node);
    return;
  }
  if (static_cast<uint64_t>(count) > kMaxFunctionTextLength / text.size()) {
    RaiseTextTooLong(node);
  }
  size_t length = text.size() * static_cast<size_t>(count);
  char* out = TextResultBuffer(node, length);
  for (size_t at = 0; at < length; at += text.size()) {
    std::memcpy(out + at, text.data(), text.size());
  }
  FinishTextResult(node, length);
}

// CONCAT(a WITH b): a NULL text counts as empty and the result is never NULL.
void EvaluateConcat(TExpToken& node, TEvaluationContext& context) {
  std::string_view first = TextOf(EvaluateArg(node, 0, context));
  std::string_view second = TextOf(EvaluateArg(node, 1, context));
  size_t length = first.size() + second.size();
  if (length > kMaxFunctionTextLength) RaiseTextTooLong(node);
  char* out = TextResultBuffer(node, length);
  if (!first.empty()) std::memcpy(out, first.data(), first.size());
  if (!second.empty()) std::memcpy(out + first.size(), second.data(), second.size());
  FinishTextResult(node, length);
}

}  // namespace

TNodeOperation SelectStringFunction(const TExpToken& node) {
  switch (node.Operator) {
    case TOp::opUpper:
      return EvaluateCaseMapping<true>;
    case TOp::opLower:
      return EvaluateCaseMapping<false>;
    case TOp::opSubstring:
      return EvaluateSubstring;
    case TOp::opReplace:
      return EvaluateReplace;
    case TOp::opPosition:
      return EvaluatePosition;
    case TOp::opOccurs:
      return EvaluateOccurs;
    case TOp::opTrimLeading:
      return EvaluateTrim<true, false>;
    case TOp::opTrimTrailing:
      return EvaluateTrim<false, true>;
    case TOp::opTrimBoth:
      return EvaluateTrim<true, true>;
    case TOp::opLength:
      return EvaluateLength;
    case TOp::opLeft:
      return EvaluateLeftRight<true>;
    case TOp::opRight:
      return EvaluateLeftRight<false>;
    case TOp::opRepeat:
      return EvaluateRepeat;
    case TOp::opConcat:
      return EvaluateConcat;
    default:
      return nullptr;
  }
}

}  // namespace veltra::functions
