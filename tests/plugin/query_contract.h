// The query contract's tests, written once for every implementation of QueryComponent.
//
// An implementation's test file defines a QueryContractHarness (how to make a component and how
// to fill a table of (date, id) rows by its own means), includes this header once, and
// instantiates the suite:
//
//   INSTANTIATE_TEST_SUITE_P(Double, QueryContractTest,
//                            ::testing::Values(&NewDoubleHarness));
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/database_error.h"
#include "core/engine_error.h"
#include "plugin/date_text.h"
#include "plugin/query_component.h"

namespace veltra::plugin::testing {

class QueryContractHarness {
 public:
  virtual ~QueryContractHarness() = default;
  // A closed component with no database name and no text.
  virtual std::unique_ptr<QueryComponent> NewQuery() = 0;
  // The name of a database that holds the tables made by CreateDrawTable.
  virtual std::string DatabaseName() = 0;
  // Makes table `name` with an integer column id and a timestamp column date, holding `rows`
  // of (date-time, id).
  virtual void CreateDrawTable(const std::string& name,
                               const std::vector<std::pair<double, int32_t>>& rows) = 0;
};

using HarnessFactory = std::unique_ptr<QueryContractHarness> (*)();

class QueryContractTest : public ::testing::TestWithParam<HarnessFactory> {
 protected:
  void SetUp() override {
    harness_ = GetParam()();
    harness_->CreateDrawTable("DRAWS", {{Day(2013, 5, 1), 4}, {Day(2013, 5, 4, 14), 7}});
    harness_->CreateDrawTable("EMPTY_DRAWS", {});
    query_ = harness_->NewQuery();
    query_->SetDatabaseName(harness_->DatabaseName());
  }

  static double Day(int y, int m, int d, int h = 0) {
    return EncodeDateTime({.year = y, .month = m, .day = d, .hour = h});
  }
  void SetText(const std::string& text) {
    query_->ClearSQL();
    query_->AddSQL(text);
  }
  static std::string MaxQuery(const std::string& table) {
    return "select  max([date]) as mx,max(id) as mid from " + table;
  }
  template <typename F>
  static std::string DatabaseErrorOf(F&& f) {
    try {
      f();
    } catch (const EVELTRAEngineError&) {
      return "engine error";
    } catch (const EDatabaseError& e) {
      return e.what();
    }
    return "no error";
  }

  std::unique_ptr<QueryContractHarness> harness_;
  std::unique_ptr<QueryComponent> query_;
};

TEST_P(QueryContractTest, MaximaReadByPositionAsDateTimeAndInteger) {
  SetText(MaxQuery("DRAWS"));
  query_->Open();
  EXPECT_TRUE(query_->Active());
  EXPECT_DOUBLE_EQ(query_->FieldAsDateTime(0), Day(2013, 5, 4, 14));
  EXPECT_EQ(query_->FieldAsInteger(1), 7);
  EXPECT_EQ(query_->AffectedRows(), 1);
}

TEST_P(QueryContractTest, MaximaOverAnEmptyTableReadAsZero) {
  SetText(MaxQuery("EMPTY_DRAWS"));
  query_->Open();
  EXPECT_EQ(query_->FieldAsDateTime(0), 0.0);
  EXPECT_EQ(query_->FieldAsInteger(0), 0);
  EXPECT_EQ(query_->FieldAsDateTime(1), 0.0);
  EXPECT_EQ(query_->FieldAsInteger(1), 0);
}

TEST_P(QueryContractTest, ChangingTheTextClosesAndOpenRunsTheNewText) {
  SetText(MaxQuery("DRAWS"));
  query_->Open();
  query_->ClearSQL();
  EXPECT_FALSE(query_->Active());
  query_->AddSQL(MaxQuery("EMPTY_DRAWS"));
  EXPECT_EQ(query_->SQLText(), MaxQuery("EMPTY_DRAWS"));
  query_->Open();
  EXPECT_EQ(query_->FieldAsInteger(1), 0);
  query_->AddSQL("");  // any change closes
  EXPECT_FALSE(query_->Active());
  query_->Close();  // closing a closed component does nothing
  EXPECT_FALSE(query_->Active());
}

TEST_P(QueryContractTest, DatabaseNameCannotChangeWhileOpen) {
  SetText(MaxQuery("DRAWS"));
  query_->Open();
  EXPECT_EQ(DatabaseErrorOf([&] { query_->SetDatabaseName("elsewhere"); }),
            component_errors::kDatasetOpen);
  EXPECT_EQ(query_->DatabaseName(), harness_->DatabaseName());
  query_->Close();
  query_->SetDatabaseName("elsewhere");
  EXPECT_EQ(query_->DatabaseName(), "elsewhere");
}

TEST_P(QueryContractTest, EmptyTextHasNoStatement) {
  for (const char* text : {"", "  \r\n "}) {
    SetText(text);
    EXPECT_EQ(DatabaseErrorOf([&] { query_->Open(); }), component_errors::kNoSqlStatement);
    EXPECT_EQ(DatabaseErrorOf([&] { query_->Execute(); }), component_errors::kNoSqlStatement);
  }
}

TEST_P(QueryContractTest, ExecuteSumsAffectedRowsAndEndsClosed) {
  SetText(
      "INSERT INTO DRAWS (id, [date]) VALUES (8, '2013-05-08');\n"
      "INSERT INTO DRAWS (id, [date]) VALUES (9, '2013-05-11')");
  query_->Execute();
  EXPECT_EQ(query_->AffectedRows(), 2);
  EXPECT_FALSE(query_->Active());
  SetText(MaxQuery("DRAWS"));
  query_->Open();
  EXPECT_EQ(query_->FieldAsInteger(1), 9);
  EXPECT_DOUBLE_EQ(query_->FieldAsDateTime(0), Day(2013, 5, 11));
}

TEST_P(QueryContractTest, ExecuteEndingWithASelectStaysOpenOnIt) {
  SetText("INSERT INTO EMPTY_DRAWS (id, [date]) VALUES (3, '2001-02-03');\n" +
          MaxQuery("EMPTY_DRAWS"));
  query_->Execute();
  EXPECT_TRUE(query_->Active());
  EXPECT_EQ(query_->FieldAsInteger(1), 3);
  EXPECT_EQ(query_->AffectedRows(), 2);  // one inserted row, one result row
}

TEST_P(QueryContractTest, OpenOfANonSelectRunsItAndFails) {
  SetText("INSERT INTO EMPTY_DRAWS (id, [date]) VALUES (3, '2001-02-03')");
  EXPECT_EQ(DatabaseErrorOf([&] { query_->Open(); }), component_errors::kTableHandleError);
  EXPECT_FALSE(query_->Active());
  SetText(MaxQuery("EMPTY_DRAWS"));
  query_->Open();
  EXPECT_EQ(query_->FieldAsInteger(1), 3);
}

TEST_P(QueryContractTest, FailingStatementRaisesAnEngineErrorAndEarlierOnesStay) {
  SetText(
      "INSERT INTO EMPTY_DRAWS (id, [date]) VALUES (3, '2001-02-03');\n"
      "INSERT INTO NO_SUCH_TABLE (id, [date]) VALUES (4, '2001-02-04');\n"
      "INSERT INTO EMPTY_DRAWS (id, [date]) VALUES (5, '2001-02-05')");
  try {
    query_->Execute();
    FAIL() << "the missing table must raise";
  } catch (const EVELTRAEngineError& e) {
    EXPECT_EQ(e.EngineCode(), kErrTableNotFound);
  }
  EXPECT_FALSE(query_->Active());
  SetText(MaxQuery("EMPTY_DRAWS"));
  query_->Open();
  EXPECT_EQ(query_->FieldAsInteger(1), 3);
}

TEST_P(QueryContractTest, FieldsOfAClosedComponentOrOutOfRangeAreErrors) {
  EXPECT_THROW(query_->FieldAsInteger(0), EDatabaseError);
  SetText(MaxQuery("DRAWS"));
  query_->Open();
  EXPECT_THROW(query_->FieldAsInteger(2), EDatabaseError);
  EXPECT_THROW(query_->FieldAsDateTime(-1), EDatabaseError);
}

TEST_P(QueryContractTest, SelectRaisesRisingProgressAndAbortStopsIt) {
  std::vector<uint16_t> seen;
  query_->SetOnQueryProgress([&](QueryComponent& sender, uint16_t percent, bool&) {
    EXPECT_EQ(&sender, query_.get());
    seen.push_back(percent);
  });
  SetText(MaxQuery("DRAWS"));
  query_->Open();
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_LE(seen.back(), 100);

  query_->SetOnQueryProgress([](QueryComponent&, uint16_t, bool& abort) { abort = true; });
  SetText(MaxQuery("DRAWS"));
  EXPECT_THROW(query_->Open(), EDatabaseError);
  EXPECT_FALSE(query_->Active());
}

TEST_P(QueryContractTest, RequestLiveIsKept) {
  query_->SetRequestLive(true);
  EXPECT_TRUE(query_->RequestLive());
}

}  // namespace veltra::plugin::testing
