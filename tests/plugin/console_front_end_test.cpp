// The console front end: what it writes for each change of the view, and the commands it reads.

#include "plugin/ui/console/console_front_end.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "plugin/polish_texts.h"

namespace veltra::plugin {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Records the handlers called and makes each one change the view a little.
class RecordingEvents final : public DialogEvents {
 public:
  explicit RecordingEvents(DialogView& view) : view_(view) {}
  void FormShow() override {
    calls.push_back("FormShow");
    view_.SetEditorText(
        "Pobrane b\xEA"
        "d\xB9\r\nline 2");
    view_.AddEditorLine(texts::kPressGet);
  }
  void btnGETClick() override {
    calls.push_back("btnGETClick");
    view_.SetStatus(texts::kReadyToExecute);
    view_.SetExecuteEnabled(true);
  }
  void btnExecuteClick() override {
    calls.push_back("btnExecuteClick:" + view_.EditorText());
    throw std::runtime_error("Table 'LOTTO' is busy");
  }
  void Panel1DblClick() override { calls.push_back("Panel1DblClick"); }
  void StatusBar1DblClick() override { calls.push_back("StatusBar1DblClick"); }
  void btnOKClick() override {
    calls.push_back("btnOKClick");
    view_.Close();
  }
  std::vector<std::string> calls;

 private:
  DialogView& view_;
};

struct Session {
  std::vector<std::string> calls;
  std::string output;
};

Session RunConsole(const std::string& input) {
  std::istringstream in(input);
  std::ostringstream out;
  auto front_end = ui::console::NewConsoleFrontEnd(in, out);
  RecordingEvents events(front_end->View());
  front_end->RunModal(events);
  return {events.calls, out.str()};
}

TEST(ConsoleFrontEnd, ShowsEveryChangeInUtf8) {
  Session s = RunConsole("pobierz\n");
  EXPECT_THAT(s.output, HasSubstr("== dialog: Import wszystkich brakujących losowań\n"));
  EXPECT_THAT(s.output, HasSubstr("== editor:\n| Pobrane będą\n| line 2\n== end of editor\n"));
  EXPECT_THAT(s.output, HasSubstr("== editor + Wciśnij przycisk POBIERZ\n"));
  EXPECT_THAT(s.output, HasSubstr("== status: GOTOWE można wprowadzić losowania do bazy\n"
                                  "== Wykonaj: enabled\n"));
  EXPECT_THAT(s.output, ::testing::EndsWith("== dialog closed\n"));
}

TEST(ConsoleFrontEnd, CommandsPressButtonsAndDoubleClickPanels) {
  Session s = RunConsole(
      "# a comment\n\n"
      "  status  \r\n"
      "panel\n"
      "wykonaj\n"
      "frobnicate\n"
      "pobierz\n"
      "zamknij\n"
      "pobierz\n");
  EXPECT_THAT(s.calls, ElementsAre("FormShow", "StatusBar1DblClick", "Panel1DblClick",
                                   "btnGETClick", "btnOKClick"));
  EXPECT_THAT(s.output, HasSubstr("== Wykonaj is disabled\n"));
  EXPECT_THAT(s.output, HasSubstr("== unknown command: frobnicate\n"));
}

TEST(ConsoleFrontEnd, EditReplacesTheEditorAndErrorsKeepTheDialogOpen) {
  Session s = RunConsole(
      "pobierz\n"
      "edit\n"
      "INSERT 'zażółć';\n"
      "second line\n"
      ".\n"
      "wykonaj\n"
      "show\n");
  ASSERT_EQ(s.calls.size(), 3u);
  EXPECT_EQ(s.calls[2], "btnExecuteClick:INSERT 'za\xBF\xF3\xB3\xE6';\r\nsecond line");
  EXPECT_THAT(s.output, HasSubstr("]: Table 'LOTTO' is busy.\n"));
  // The dialog went on after the error: "show" still wrote the editor.
  EXPECT_THAT(s.output, HasSubstr("| INSERT 'zażółć';\n| second line\n== end of editor\n"
                                  "== dialog closed\n"));
}

}  // namespace
}  // namespace veltra::plugin
