// The query contract's tests run against the double, and what the double adds for the tests.

#include "query_double.h"

#include "query_contract.h"

namespace veltra::plugin::testing {
namespace {

class DoubleHarness final : public QueryContractHarness {
 public:
  std::unique_ptr<QueryComponent> NewQuery() override {
    return std::make_unique<QueryDouble>(catalog_);
  }
  std::string DatabaseName() override { return "contract"; }
  void CreateDrawTable(const std::string& name,
                       const std::vector<std::pair<double, int32_t>>& rows) override {
    std::vector<DrawRow>& table = catalog_.Add("contract").tables[name];
    for (const auto& [date, id] : rows) table.push_back({date, id});
  }

 private:
  DoubleCatalog catalog_;
};

std::unique_ptr<QueryContractHarness> NewDoubleHarness() {
  return std::make_unique<DoubleHarness>();
}

INSTANTIATE_TEST_SUITE_P(Double, QueryContractTest, ::testing::Values(&NewDoubleHarness));

TEST(QueryDouble, RecordsTextsFailsOnDemandAndRollsBackItsTransaction) {
  DoubleCatalog catalog;
  catalog.Add("db").AddGameTables();
  QueryDouble query(catalog);
  query.SetDatabaseName("db");
  query.AddSQL("start transaction;");
  query.AddSQL("insert into LOTTO (id, [date]) values (1, '2020-01-01');");
  query.AddSQL("insert into LOTTO (id, [date]) values (2, '2020-01-02');");
  query.FailStatementsContaining("(2,", "disk full");
  try {
    query.Execute();
    FAIL();
  } catch (const EVELTRAEngineError& e) {
    EXPECT_EQ(e.EngineCode(), kErrSqlExecution);
    EXPECT_STREQ(e.what(), "VELTRA Engine Error # 11950 SQL execution error - disk full");
  }
  EXPECT_TRUE(catalog.Find("db")->tables["LOTTO"].empty());
  ASSERT_EQ(query.RunTexts().size(), 1u);
  EXPECT_EQ(query.RunTexts()[0], query.SQLText());
}

TEST(QueryDouble, MalformedStatementsAreParseErrors) {
  DoubleCatalog catalog;
  catalog.Add("db").AddGameTables();
  QueryDouble query(catalog);
  query.SetDatabaseName("db");
  for (const char* text : {"drop table LOTTO", "insert into LOTTO (id) values ('x')",
                           "insert into LOTTO (id, [date]) values (1, '2020-02-30')",
                           "insert into LOTTO (id) values (99999999999)", "select max(id",
                           "insert into LOTTO (id, [date]) values (1, '2020"}) {
    query.ClearSQL();
    query.AddSQL(text);
    try {
      query.Execute();
      ADD_FAILURE() << text;
    } catch (const EVELTRAEngineError& e) {
      EXPECT_EQ(e.EngineCode(), kErrSqlParse) << text;
    }
  }
}

}  // namespace
}  // namespace veltra::plugin::testing
