// Parses arbitrary text as an expression with every construct allowed, then types and evaluates
// it against one fixed record, and checks what must hold for any input:
//   - a parse either succeeds or raises the engine error, never anything else; a tree that
//     parsed reads back from its text form into an equal tree;
//   - verification of a parsed tree against the record's columns succeeds or raises the engine
//     error;
//   - a verified tree evaluates (twice: with byte order and with a collating locale) to a value
//     or raises the engine error; so does its prepared filter copy when its result is Boolean.
// Anything else escaping, a crash or a sanitizer report is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/bcd.h"
#include "core/data_types.h"
#include "core/engine_error.h"
#include "core/value_text.h"
#include "expressions/evaluator.h"
#include "expressions/exp_token.h"
#include "expressions/expression_parser.h"
#include "expressions/expression_text.h"
#include "expressions/prepare_filter.h"
#include "expressions/type_verification.h"
#include "platform/locale.h"

namespace {

using veltra::TDataSubType;
using veltra::TDataType;
using veltra::TEvaluationContext;
using veltra::TExpToken;

constexpr veltra::TPermissions kEverything = 0x2F;  // all but sub-selects, which need the SQL layer
constexpr veltra::platform::LocaleId kPolishLocaleId = 1045;

std::unique_ptr<TExpToken> ParseWhole(std::string_view text) {
  veltra::TExpressionParser parser;
  parser.SetCustomFunctions([](std::string_view) { return nullptr; });
  parser.Reset(text);
  parser.NextToken();
  auto tree = parser.ParseExpression(kEverything);
  if (!parser.TokenIs('\0')) parser.ErrorExpected("end of expression");
  return tree;
}

// One column of the fixed record: its declared type and its stored value (nullopt: NULL).
struct TColumn {
  const char* name;
  TDataType type;
  TDataSubType sub_type;
  uint32_t size;  // the node buffer's meaningful bytes
  uint8_t scale;
  std::optional<std::vector<uint8_t>> value;
};

std::vector<uint8_t> Bytes(size_t size, void (*store)(uint8_t*)) {
  std::vector<uint8_t> bytes(size);
  store(bytes.data());
  return bytes;
}

// A text value with its terminating zero, as string and memo buffers hold it.
std::vector<uint8_t> TextBytes(std::string_view text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::vector<TColumn> MakeColumns() {
  using D = TDataType;
  using S = TDataSubType;
  std::vector<TColumn> columns;
  columns.push_back({"id", D::dtInteger, S::dsNone, 4, 0,
                     Bytes(4, [](uint8_t* b) { veltra::StoreInteger(b, 1042); })});
  columns.push_back({"l1", D::dtSmallInt, S::dsNone, 2, 0,
                     Bytes(2, [](uint8_t* b) { veltra::StoreSmallInt(b, 12); })});
  columns.push_back(
      {"w", D::dtWord, S::dsNone, 2, 0, Bytes(2, [](uint8_t* b) { veltra::StoreWord(b, 65535); })});
  columns.push_back({"name", D::dtString, S::dsNone, 21, 0, TextBytes("Smith")});
  columns.push_back({"city", D::dtString, S::dsNone, 21, 0,
                     TextBytes("\xA3\xF3"
                               "d\x9F")});
  columns.push_back({"price", D::dtBcd, S::dsNone, 34, 2, Bytes(34, [](uint8_t* b) {
                       veltra::StoreBcd(b, *veltra::BcdFromText("1234.56", 2));
                     })});
  columns.push_back({"f", D::dtFloat, S::dsNone, 8, 0,
                     Bytes(8, [](uint8_t* b) { veltra::StoreFloat(b, -2.5e-3); })});
  columns.push_back({"d", D::dtDate, S::dsNone, 4, 0, Bytes(4, [](uint8_t* b) {
                       veltra::StoreDate(b, *veltra::TextToDate("2013-05-01"));
                     })});
  columns.push_back({"t", D::dtTime, S::dsNone, 4, 0, Bytes(4, [](uint8_t* b) {
                       veltra::StoreTime(b, *veltra::TextToTime("13:45:10.250"));
                     })});
  columns.push_back({"ts", D::dtTimestamp, S::dsNone, 8, 0, Bytes(8, [](uint8_t* b) {
                       veltra::StoreTimestamp(b, *veltra::TextToTimestamp("2013-05-01 13:45:10"));
                     })});
  columns.push_back({"memo", D::dtBlob, S::dsMemo, 64, 0, TextBytes("A memo of several words")});
  columns.push_back({"flag", D::dtBoolean, S::dsNone, 2, 0,
                     Bytes(2, [](uint8_t* b) { veltra::StoreBoolean(b, true); })});
  columns.push_back({"big", D::dtLargeInt, S::dsNone, 8, 0,
                     Bytes(8, [](uint8_t* b) { veltra::StoreLargeInt(b, INT64_MIN + 1); })});
  columns.push_back({"nothing", D::dtInteger, S::dsNone, 4, 0, std::nullopt});
  columns.push_back({"nick", D::dtString, S::dsNone, 11, 0, std::nullopt});
  return columns;
}

const std::vector<TColumn>& Columns() {
  static const std::vector<TColumn> columns = MakeColumns();
  return columns;
}

// Resolves the record's columns by name (any correlation name), numbering them from 1.
class TRecordResolver : public veltra::TColumnResolver {
 public:
  bool ResolveColumn(TExpToken& column) override {
    const auto& columns = Columns();
    for (size_t i = 0; i < columns.size(); ++i) {
      const TColumn& spec = columns[i];
      if (column.ColumnName != spec.name) continue;
      column.DataType = spec.type;
      column.SubType = spec.sub_type;
      column.Scale = spec.scale;
      column.SetDataSize(spec.size);
      column.FieldNumber = static_cast<uint16_t>(i + 1);
      return true;
    }
    return false;
  }
};

// Copies the value of the column's field from the fixed record (the context's Record is not
// read: there is only one record).
void FetchColumn(TExpToken& column, TEvaluationContext&) {
  const auto& columns = Columns();
  if (column.FieldNumber == 0 || column.FieldNumber > columns.size()) {
    veltra::RaiseIllegalColumn(column);
  }
  const TColumn& spec = columns[column.FieldNumber - 1];
  if (!spec.value) {
    veltra::SetNull(column);
    return;
  }
  column.IsNull = false;
  std::memset(column.Data(), 0, column.DataSize());
  std::memcpy(column.Data(), spec.value->data(),
              std::min<size_t>(spec.value->size(), column.DataSize()));
}

void EvaluateIn(TExpToken& tree, const veltra::platform::LocaleServices* locale) {
  static const uint8_t kNoRecord[1] = {0};
  TEvaluationContext context;
  context.Record = kNoRecord;
  context.Locale = locale;
  context.Fetcher = FetchColumn;
  try {
    veltra::Evaluate(tree, context);
  } catch (const veltra::EVELTRAEngineError&) {
  }
  if (tree.DataType != TDataType::dtBoolean) return;
  try {
    auto prepared = veltra::PrepareFilterTree(tree, veltra::TFilterOptions{}, context);
    veltra::Evaluate(*prepared, context);
  } catch (const veltra::EVELTRAEngineError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<TExpToken> tree;
  try {
    tree = ParseWhole(text);
  } catch (const veltra::EVELTRAEngineError&) {
    return 0;
  }
  std::string shape = veltra::ExpressionText(*tree);
  try {
    auto again = ParseWhole(shape);
    if (!again->SameTree(*tree)) std::abort();
  } catch (const veltra::EVELTRAEngineError&) {
    std::abort();  // the text form of a parsed tree must parse
  }

  TRecordResolver resolver;
  veltra::TExpressionVerifier verifier;
  verifier.SetColumnResolver(&resolver);
  verifier.SetContextText("SQL statement");
  try {
    verifier.Verify(tree, true, false);
  } catch (const veltra::EVELTRAEngineError&) {
    return 0;
  }
  veltra::BindColumnFetcher(*tree, FetchColumn);
  EvaluateIn(*tree, nullptr);
  EvaluateIn(*tree, veltra::platform::LocaleServicesOf(kPolishLocaleId));
  return 0;
}
