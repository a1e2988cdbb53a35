// DoUpdate's call behind the C entry point: stored host arguments, host string references, and
// the library-wide state that outlives each dialog.

#include "plugin/do_update.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "plugin/fmsqlall.h"
#include "plugin/stored_string.h"
#include "query_double.h"
#include "support/temp_dir.h"
#include "workflow_fakes.h"

namespace veltra::plugin {
namespace {

using testing::FakeHttp;
using testing::FakeView;

AllsqlString NewString(std::string_view text) {
  return AllsqlStringNew(text.data(), static_cast<int32_t>(text.size()));
}

TEST(HostString, LayoutHoldsCountsCharactersAndNul) {
  AllsqlString s = NewString("LOTTO");
  EXPECT_EQ(AllsqlStringLength(s), 5);
  EXPECT_EQ(AllsqlStringRefCount(s), 1);
  EXPECT_EQ(s[5], '\0');
  int32_t length;
  std::memcpy(&length, s - 4, 4);
  EXPECT_EQ(length, 5);
  AllsqlStringAddRef(s);
  EXPECT_EQ(AllsqlStringRefCount(s), 2);
  AllsqlStringRelease(s);
  AllsqlStringRelease(s);  // frees; ASan reports a leak or a double free otherwise
  EXPECT_EQ(NewString(""), nullptr);
  EXPECT_EQ(AllsqlStringLength(nullptr), 0);
  AllsqlStringRelease(nullptr);
}

TEST(StoredHostString, TakesAReferenceAndCopiesConstants) {
  alignas(8) char block[16];
  AllsqlString constant = AllsqlStringInitConstant(block, sizeof block, "abc", 3);
  ASSERT_NE(constant, nullptr);
  EXPECT_EQ(AllsqlStringInitConstant(block, 11, "abc", 3), nullptr);  // one byte short
  AllsqlString owned = NewString("xyz");
  {
    StoredHostString stored;
    stored.Store(constant);
    EXPECT_NE(stored.Get(), constant);
    EXPECT_EQ(stored.Bytes(), "abc");
    EXPECT_EQ(AllsqlStringRefCount(constant), -1);
    stored.Store(owned);
    EXPECT_EQ(stored.Get(), owned);
    EXPECT_EQ(AllsqlStringRefCount(owned), 2);
    stored.Store(owned);  // storing the same string again keeps one reference
    EXPECT_EQ(AllsqlStringRefCount(owned), 2);
    stored.Store(nullptr);
    EXPECT_EQ(AllsqlStringRefCount(owned), 1);
    stored.Store(owned);
  }
  EXPECT_EQ(AllsqlStringRefCount(owned), 1);
  AllsqlStringRelease(owned);
}

// A front end that runs FormShow and then a script of user actions on a recording view.
class ScriptedFrontEnd final : public ui::DialogFrontEnd {
 public:
  using Script = std::function<void(DialogEvents&, FakeView&)>;
  ScriptedFrontEnd(Script script, std::vector<std::string>& errors)
      : errors_(errors), script_(std::move(script)) {}
  DialogView& View() override { return view_; }
  void RunModal(DialogEvents& events) override {
    ui::RunHandler([&] { events.FormShow(); },
                   [&](const std::string& text) { errors_.push_back(text); });
    script_(events, view_);
  }

 private:
  std::vector<std::string>& errors_;  // the error boxes FormShow raised
  Script script_;
  FakeView view_;
};

class RunUpdateTest : public ::testing::Test {
 protected:
  RunUpdateTest() {
    directory_ = NewString(dir_.path());
    testing::LibraryCatalog().Find(dir_.path())->tables["LOTTO"] = {{41398.0, 5000}};
  }
  ~RunUpdateTest() override { AllsqlStringRelease(directory_); }

  // Runs one DoUpdate call; returns the error boxes its FormShow raised.
  std::vector<std::string> Run(const HostArguments& arguments, ScriptedFrontEnd::Script script) {
    std::vector<std::string> errors;
    RunUpdate(
        state_, arguments, [&] { return std::make_unique<ScriptedFrontEnd>(script, errors); },
        http_.Factory());
    return errors;
  }

  veltra::testing::TempDir dir_;
  AllsqlString directory_ = nullptr;
  PluginState state_;
  FakeHttp http_;
};

TEST_F(RunUpdateTest, SecondCallKeepsTheLibraryWideStateAndReplacesTheArguments) {
  AllsqlString first = NewString("first");
  AllsqlString second = NewString("second");
  Run({.argument2 = 2,
       .argument3 = 3,
       .argument4 = first,
       .argument5 = nullptr,
       .argument6 = first,
       .argument7 = 0x12345601,
       .database_directory = directory_,
       .argument9 = first},
      [&](DialogEvents& events, FakeView& view) {
        EXPECT_FALSE(view.execute_enabled);
        EXPECT_TRUE(state_.ExecuteGuard);  // fresh after load
        EXPECT_NE(state_.dialog, nullptr);
        EXPECT_EQ(AllsqlStringRefCount(first), 6);  // host, three stored, two for the call
        events.Panel1DblClick();
      });
  EXPECT_EQ(state_.dialog, nullptr);
  EXPECT_EQ(state_.argument7, 0x01);
  EXPECT_EQ(AllsqlStringRefCount(first), 4);
  EXPECT_EQ(state_.draws.newest_id[0], 5000);

  // Between the calls a row arrives; until the new dialog's state queries run, the state still
  // holds the first call's values, and the guard stays as the first dialog left it.
  testing::LibraryCatalog().Find(dir_.path())->tables["LOTTO"].push_back({41400.0, 5001});
  Run({.argument2 = 20, .argument4 = second, .database_directory = directory_},
      [&](DialogEvents& events, FakeView& view) {
        EXPECT_FALSE(view.execute_enabled);  // a new dialog starts with Wykonaj disabled
        EXPECT_FALSE(state_.ExecuteGuard);
        EXPECT_EQ(state_.draws.newest_id[0], 5001);  // FormShow has read the new row
        events.btnOKClick();
        EXPECT_TRUE(view.closed);
      });
  EXPECT_EQ(state_.argument2, 20);
  EXPECT_EQ(state_.argument3, 0);
  EXPECT_EQ(state_.argument4.Get(), second);
  EXPECT_EQ(state_.argument9.Get(), nullptr);
  EXPECT_EQ(AllsqlStringRefCount(first), 1);
  EXPECT_EQ(AllsqlStringRefCount(second), 2);
  EXPECT_EQ(state_.database_directory.Bytes(), dir_.path());
  state_.argument4.Release();
  AllsqlStringRelease(first);
  AllsqlStringRelease(second);
}

TEST_F(RunUpdateTest, ErrorWhileRunningFreesTheDialogAndDropsTheCallReferences) {
  AllsqlString s = NewString("s");
  EXPECT_THROW(Run({.argument4 = s, .database_directory = directory_},
                   [](DialogEvents&, FakeView&) { throw std::runtime_error("front end died"); }),
               std::runtime_error);
  EXPECT_EQ(state_.dialog, nullptr);
  EXPECT_EQ(AllsqlStringRefCount(s), 2);  // the host's and the stored one
  state_.argument4.Release();
  AllsqlStringRelease(s);
}

TEST_F(RunUpdateTest, MissingDirectoryFailsTheFirstStateQueryInsideTheDialog) {
  AllsqlString missing = NewString(dir_.File("no-such-dir"));
  std::vector<std::string> errors =
      Run({.database_directory = missing},
          [](DialogEvents&, FakeView& view) { EXPECT_EQ(view.EditorText(), ""); });
  EXPECT_EQ(errors, std::vector<std::string>{"VELTRA Engine Error # 11293 The database name or "
                                             "directory is either invalid or blank."});
  AllsqlStringRelease(missing);
}

}  // namespace
}  // namespace veltra::plugin
