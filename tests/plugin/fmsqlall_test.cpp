// The dialog workflow driven through its view, with the query double and a fake HTTP client.

#include "plugin/fmsqlall.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/engine_error.h"
#include "plugin/date_text.h"
#include "plugin/ui/text_boundary.h"
#include "query_double.h"
#include "workflow_fakes.h"

namespace veltra::plugin {
namespace {

using testing::DoubleCatalog;
using testing::DrawRow;
using ::testing::ElementsAre;
using testing::FakeHttp;
using testing::FakeView;
using testing::QueryDouble;
using ui::Windows1250FromUtf8;

constexpr char kDirectory[] = "/data/games";
constexpr char kHost[] = "results.example:8080";

// LOTTO's newest draw is 4 May 2013 (id 5000), MULTI MULTI's 4 May 2013 14:00 (id 700); every
// other game table is empty.
constexpr char kRequestText[] =
    R"({"dl":["LOTTO","2013-05-04",6,5000],"multi_multi":["multi_multi","2013-05-04 14:00:00",2)"
    R"(0,700],"multi":["MULTI_22","1899-12-30",20,0],"mm14":["MULTI_14","1899-12-30",20,0],"ex")"
    R"(:["MINI_LOTTO","1899-12-30",5,0],"keno_de":["keno_de","1899-12-30",20,0],"keno_svenska":)"
    R"(["keno_svenska","1899-12-30",20,0],"_ireland49s":["ireland49s","1899-12-30 00:00:00",6,0)"
    R"(],"ireland49s":["ireland49s7","1899-12-30 00:00:00",7,0],"LittleLotto":["LITTLE_LOTTO",")"
    R"(1899-12-30 00:00:00",5,0],"Illinois_Lotto":["ILLINOIS_LOTTO","1899-12-30",6,0],"Power_Ba)"
    R"(ll":["POWER_BALL","1899-12-30",6,0],"Mega_Millions":["MEGA_MILLIONS","1899-12-30",6,0],")"
    R"(keno_fr":["keno_fr","1899-12-30 00:00:00",20,0],"DailyKENO":["DailyKENO","1899-12-30",20)"
    R"(,0],"lotto_de":["lotto_de","1899-12-30",7,0]})";

constexpr char kEncodedUrl[] =
    "http://results.example:8080/dtools/down_all_232.php?data="
    R"({"dl":%5B"LOTTO","2013-05-04",6,5000%5D,"multi_multi":%5B"multi_multi","2013-05-04%2014:)"
    R"(00:00",20,700%5D,"multi":%5B"MULTI_22","1899-12-30",20,0%5D,"mm14":%5B"MULTI_14","1899-1)"
    R"(2-30",20,0%5D,"ex":%5B"MINI_LOTTO","1899-12-30",5,0%5D,"keno_de":%5B"keno_de","1899-12-3)"
    R"(0",20,0%5D,"keno_svenska":%5B"keno_svenska","1899-12-30",20,0%5D,"_ireland49s":%5B"irela)"
    R"(nd49s","1899-12-30%2000:00:00",6,0%5D,"ireland49s":%5B"ireland49s7","1899-12-30%2000:00:)"
    R"(00",7,0%5D,"LittleLotto":%5B"LITTLE_LOTTO","1899-12-30%2000:00:00",5,0%5D,"Illinois_Lott)"
    R"(o":%5B"ILLINOIS_LOTTO","1899-12-30",6,0%5D,"Power_Ball":%5B"POWER_BALL","1899-12-30",6,0)"
    R"(%5D,"Mega_Millions":%5B"MEGA_MILLIONS","1899-12-30",6,0%5D,"keno_fr":%5B"keno_fr","1899-)"
    R"(12-30%2000:00:00",20,0%5D,"DailyKENO":%5B"DailyKENO","1899-12-30",20,0%5D,"lotto_de":%5B)"
    R"("lotto_de","1899-12-30",7,0%5D})";

// The summary of that state, with the hint line FormShow adds, in UTF-8.
constexpr char kShownEditorUtf8[] =
    "Pobrane będą losowania :\r\n"
    "---------------------- :\r\n"
    "                  LOTTO następne po dniu 04-05-2013\r\n"
    "            MULTI MULTI następne po dniu 04-05-2013\r\n"
    "         MULTI LOTEK 22 następne po dniu 30-12-1899\r\n"
    "         MULTI LOTEK 14 następne po dniu 30-12-1899\r\n"
    "             MINI LOTTO następne po dniu 30-12-1899\r\n"
    "                KENO DE następne po dniu 30-12-1899\r\n"
    "           KENO SVENSKA następne po dniu 30-12-1899\r\n"
    "                    49s następne po dniu 30-12-1899\r\n"
    "              49s BONUS następne po dniu 30-12-1899\r\n"
    "           LITTLE LOTTO następne po dniu 30-12-1899\r\n"
    "         ILLINOIS LOTTO następne po dniu 30-12-1899\r\n"
    "             POWER BALL następne po dniu 30-12-1899\r\n"
    "          MEGA MILLIONS następne po dniu 30-12-1899\r\n"
    "           KENO FRANCJA następne po dniu 30-12-1899\r\n"
    "      DAILY KENO CANADA następne po dniu 30-12-1899\r\n"
    "               LOTTO DE następne po dniu 30-12-1899\r\n"
    "---------------------- :\r\n"
    "Wciśnij przycisk POBIERZ";

std::string W(std::string_view utf8) { return Windows1250FromUtf8(utf8); }

double Day(int y, int m, int d, int h = 0) {
  return EncodeDateTime({.year = y, .month = m, .day = d, .hour = h});
}

class FmsqlallTest : public ::testing::Test {
 protected:
  FmsqlallTest() {
    testing::DoubleDatabase& db = catalog_.Add(kDirectory);
    db.AddGameTables();
    db.tables["LOTTO"] = {{Day(2013, 5, 1), 4999}, {Day(2013, 5, 4), 5000}};
    db.tables["multi_multi"] = {{Day(2013, 5, 4, 14), 700}};
    directory_ = AllsqlStringInitConstant(directory_block_, sizeof directory_block_, kDirectory,
                                          sizeof kDirectory - 1);
    state_.database_directory.Store(directory_);
    auto query = std::make_unique<QueryDouble>(catalog_);
    query_ = query.get();
    http_.view = &view_;
    form_ = std::make_unique<Tfmsqlall>(state_, std::move(query), view_, http_.Factory(), kHost);
  }

  testing::DoubleDatabase& Db() { return *catalog_.Find(kDirectory); }

  // The dialog shown and "Pobierz" pressed with `answer` as the service's answer.
  void ShowAndDownload(const std::string& answer) {
    form_->FormShow();
    http_.body = answer;
    form_->btnGETClick();
  }

  alignas(8) char directory_block_[64];
  AllsqlString directory_ = nullptr;
  DoubleCatalog catalog_;
  PluginState state_;
  FakeView view_;
  FakeHttp http_;
  QueryDouble* query_ = nullptr;
  std::unique_ptr<Tfmsqlall> form_;
};

TEST_F(FmsqlallTest, FormShowPutsTheSummaryAndTheHintIntoTheEditor) {
  form_->FormShow();
  EXPECT_EQ(view_.EditorText(), W(kShownEditorUtf8));
  EXPECT_FALSE(view_.execute_enabled);
  EXPECT_TRUE(query_->RequestLive());
  // Each state query is sent exactly, and its progress leaves the 100 percent text.
  ASSERT_EQ(query_->RunTexts().size(), 16u);
  EXPECT_EQ(query_->RunTexts()[0], "select  max([date]) as mx,max(id) as mid from LOTTO");
  EXPECT_EQ(query_->RunTexts()[15], "select  max([date]) as mx,max(id) as mid from lotto_de");
  EXPECT_EQ(query_->DatabaseName(), kDirectory);
  EXPECT_EQ(view_.Status(), W("Wykonano 100 % poleceń"));
  EXPECT_TRUE(query_->Active());
}

TEST_F(FmsqlallTest, FailingStateQueryKeepsEarlierGamesAndLeavesTheEditorWithoutSummary) {
  Db().tables.erase("MINI_LOTTO");  // game 5
  state_.draws.newest_id.fill(77);
  try {
    form_->FormShow();
    FAIL() << "the missing table must raise";
  } catch (const EVELTRAEngineError& e) {
    EXPECT_EQ(e.EngineCode(), kErrTableNotFound);
    EXPECT_EQ(e.ContextTable(), "MINI_LOTTO");
  }
  EXPECT_EQ(view_.EditorText(), "");
  EXPECT_EQ(state_.draws.newest_id[0], 5000);
  EXPECT_EQ(state_.draws.newest_id[3], 0);
  EXPECT_EQ(state_.draws.newest_id[4], 77);
  EXPECT_EQ(state_.draws.newest_id[15], 77);
}

TEST_F(FmsqlallTest, PobierzSendsTheRequestAndLogsIt) {
  ShowAndDownload("INSERT INTO LOTTO (id, [date]) VALUES (5001, '2013-05-08');");
  std::string url =
      std::string("http://") + kHost + "/dtools/down_all_232.php?data=" + kRequestText;
  EXPECT_EQ(form_->LastRequest(), url);
  ASSERT_THAT(http_.urls, ElementsAre(kEncodedUrl));
  EXPECT_FALSE(state_.ExecuteGuard);
  // While the transfer runs the editor holds the summary, the hint and the request log.
  ASSERT_EQ(http_.editor_seen.size(), 1u);
  EXPECT_EQ(http_.editor_seen[0], W(kShownEditorUtf8) + W("\r\nDo serwera wysłano polecenie : ") +
                                      "\r\n------------------------------\r\n" + url);
  EXPECT_EQ(view_.statuses[16], W("Łączę z serwisem results.example:8080"));
  EXPECT_EQ(http_.clients_made, 1);
  EXPECT_EQ(http_.clients_freed, 1);
}

struct AnswerCase {
  const char* name;
  std::string body;
  bool execute_enabled_before;
  std::string editor;  // after the download
  const char* status;  // UTF-8
  bool execute_enabled_after;
};

class AnswerTest : public FmsqlallTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(AnswerTest, AnswerDecidesEditorStatusAndWykonaj) {
  const AnswerCase& c = GetParam();
  form_->FormShow();
  if (c.execute_enabled_before) form_->Panel1DblClick();
  http_.body = c.body;
  form_->btnGETClick();
  EXPECT_EQ(view_.EditorText(), c.editor);
  EXPECT_EQ(view_.Status(), W(c.status));
  EXPECT_EQ(view_.execute_enabled, c.execute_enabled_after);
  EXPECT_FALSE(state_.ExecuteGuard);
}

constexpr char kReady[] = "GOTOWE można wprowadzić losowania do bazy";
constexpr char kNothing[] = "GOTOWE żadnych nowych losowań nie znaleziono, spróbuj później ...";

INSTANTIATE_TEST_SUITE_P(
    Answers, AnswerTest,
    ::testing::Values(AnswerCase{"Script", "\r\n  insert a;\ninsert b;\r\r\n\t ", false,
                                 "insert a;\r\ninsert b;", kReady, true},
                      AnswerCase{"HighBytesKept", "select '\x80\xFF';", false, "select '\x80\xFF';",
                                 kReady, true},
                      AnswerCase{"Empty", "", false, "", kNothing, false},
                      AnswerCase{"OnlyWhiteSpace", " \r\n\t\x01 \n", false, "", kNothing, false},
                      AnswerCase{"EmptyKeepsAnEnabledWykonaj", "", true, "", kNothing, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FmsqlallTest, ProgressOfTheTransferIsCumulative) {
  http_.chunk = 3;
  ShowAndDownload("1234567");
  std::vector<std::string> received(view_.statuses.begin() + 17, view_.statuses.end() - 1);
  EXPECT_THAT(received,
              ElementsAre(W("Odebrano 3 bajtów"), W("Odebrano 6 bajtów"), W("Odebrano 7 bajtów")));
}

TEST_F(FmsqlallTest, FailedTransferKeepsTheRequestLogWykonajAndStatus) {
  form_->FormShow();
  http_.error = "HTTP/1.1 500 Internal Server Error";
  EXPECT_THROW(form_->btnGETClick(), EHttpError);
  std::string log = W(kShownEditorUtf8) + W("\r\nDo serwera wysłano polecenie : ") +
                    "\r\n------------------------------\r\n" + form_->LastRequest();
  EXPECT_EQ(view_.EditorText(), log);
  EXPECT_FALSE(view_.execute_enabled);
  EXPECT_EQ(view_.Status(), W("Łączę z serwisem results.example:8080"));
  EXPECT_EQ(http_.clients_freed, 1);
}

TEST_F(FmsqlallTest, WykonajExecutesTheScriptAndShowsTheNewSummary) {
  ShowAndDownload(
      "INSERT INTO LOTTO (id, [date], l1) VALUES (5001, '2013-05-08', 4);\r\n"
      "INSERT INTO LOTTO (id, [date], l1) VALUES (5002, '2013-05-11', 9);\r\n"
      "INSERT INTO DailyKENO (id, [date]) VALUES (1, '2020-01-02');\r\n");
  state_.EnteredCount = 99;
  size_t statuses_before = view_.statuses.size();
  form_->btnExecuteClick();

  EXPECT_EQ(query_->RunTexts()[16],
            "INSERT INTO LOTTO (id, [date], l1) VALUES (5001, '2013-05-08', 4);\r\n"
            "INSERT INTO LOTTO (id, [date], l1) VALUES (5002, '2013-05-11', 9);\r\n"
            "INSERT INTO DailyKENO (id, [date]) VALUES (1, '2020-01-02');");
  EXPECT_EQ(state_.EnteredCount, 3);
  EXPECT_TRUE(state_.ExecuteGuard);
  EXPECT_FALSE(view_.execute_enabled);
  const std::vector<std::string>& lines = view_.editor.Lines();
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[2], W("                  LOTTO następne po dniu 11-05-2013"));
  EXPECT_EQ(lines[16], W("      DAILY KENO CANADA następne po dniu 02-01-2020"));
  EXPECT_EQ(lines[19], W("Razem wprowadzono 3 nowych wyników losowań"));
  // The count's status is replaced by the progress of the state queries that follow.
  EXPECT_EQ(view_.statuses[statuses_before], W("Do baz gier wprowadzono 3 nowych wyników losowań"));
  EXPECT_EQ(view_.Status(), W("Wykonano 100 % poleceń"));
}

TEST_F(FmsqlallTest, FailingScriptKeepsGuardWykonajCountAndEarlierStatements) {
  ShowAndDownload(
      "INSERT INTO LOTTO (id, [date]) VALUES (5001, '2013-05-08');\n"
      "INSERT INTO NO_SUCH_GAME (id, [date]) VALUES (1, '2013-05-08');\n"
      "INSERT INTO LOTTO (id, [date]) VALUES (5002, '2013-05-09');");
  state_.EnteredCount = 12;
  std::string status = view_.Status();
  std::string script = view_.EditorText();
  EXPECT_THROW(form_->btnExecuteClick(), EVELTRAEngineError);
  EXPECT_FALSE(state_.ExecuteGuard);
  EXPECT_TRUE(view_.execute_enabled);
  EXPECT_EQ(state_.EnteredCount, 12);
  EXPECT_EQ(view_.Status(), status);
  EXPECT_EQ(view_.EditorText(), script);
  EXPECT_EQ(Db().tables["LOTTO"].size(), 3u);
}

TEST_F(FmsqlallTest, WykonajDoesNothingWhileTheGuardHolds) {
  form_->FormShow();
  ASSERT_TRUE(state_.ExecuteGuard);
  form_->btnExecuteClick();
  EXPECT_EQ(query_->RunTexts().size(), 16u);
  EXPECT_EQ(view_.EditorText(), W(kShownEditorUtf8));
}

TEST_F(FmsqlallTest, EditedEmptyScriptEntersNothing) {
  form_->FormShow();
  form_->Panel1DblClick();
  view_.SetEditorText(" \r\n ");
  state_.EnteredCount = 5;
  size_t statuses_before = view_.statuses.size();
  form_->btnExecuteClick();
  EXPECT_EQ(view_.statuses[statuses_before], W("Aktualnych losowań nie znaleziono "));
  EXPECT_EQ(state_.EnteredCount, 0);
  EXPECT_TRUE(state_.ExecuteGuard);
  EXPECT_EQ(view_.editor.Lines().back(), W("Razem wprowadzono 0 nowych wyników losowań"));
  EXPECT_EQ(query_->RunTexts().size(), 32u);  // no script ran, only the state queries
}

TEST_F(FmsqlallTest, ProgressOfAStatementIsShownAsPercent) {
  query_->SetProgressSteps({0, 42});
  form_->FormShow();
  EXPECT_EQ(view_.statuses[0], W("Wykonano 0 % poleceń"));
  EXPECT_EQ(view_.Status(), W("Wykonano 42 % poleceń"));
}

TEST_F(FmsqlallTest, PanelDoubleClickEnablesWykonajAndClearsTheGuard) {
  form_->FormShow();
  std::string editor = view_.EditorText();
  form_->Panel1DblClick();
  EXPECT_TRUE(view_.execute_enabled);
  EXPECT_FALSE(state_.ExecuteGuard);
  EXPECT_EQ(view_.EditorText(), editor);
}

TEST_F(FmsqlallTest, StatusBarDoubleClickAddsTheLastRequest) {
  form_->FormShow();
  form_->StatusBar1DblClick();
  EXPECT_EQ(view_.editor.Lines().back(), "");
  EXPECT_EQ(view_.editor.Lines().size(), 21u);
  http_.body = "x";
  form_->btnGETClick();
  form_->StatusBar1DblClick();
  EXPECT_EQ(view_.editor.Lines().back(), form_->LastRequest());
}

TEST_F(FmsqlallTest, ZamknijClosesTheDialog) {
  form_->btnOKClick();
  EXPECT_TRUE(view_.closed);
}

TEST(ServiceHost, ComesFromTheEnvironmentOrDefaultsToTheStandIn) {
  struct Case {
    const char* value;  // null: unset
    const char* host;   // null: refused
  };
  const Case cases[] = {
      {nullptr, "127.0.0.1:18232"},
      {"", "127.0.0.1:18232"},
      {"results.example", "results.example"},
      {"10.0.0.7:8080", "10.0.0.7:8080"},
      {"[::1]:9000", "[::1]:9000"},
      {"host/path", nullptr},
      {"user@host", nullptr},
      {"host name", nullptr},
  };
  for (const Case& c : cases) {
    if (c.value == nullptr) {
      unsetenv("ALLSQL_SERVICE");
    } else {
      setenv("ALLSQL_SERVICE", c.value, 1);
    }
    if (c.host == nullptr) {
      EXPECT_THROW(ServiceHost(), std::invalid_argument) << c.value;
    } else {
      EXPECT_EQ(ServiceHost(), c.host);
    }
  }
  unsetenv("ALLSQL_SERVICE");
}

}  // namespace
}  // namespace veltra::plugin
