#include "plugin/do_update.h"

#include <cstdio>

#include "plugin/error_box.h"
#include "plugin/fmsqlall.h"

namespace veltra::plugin {
namespace {

// The reference a by-value string argument holds for the length of the call.
class CallReference {
 public:
  explicit CallReference(AllsqlString s) : s_(s) { AllsqlStringAddRef(s_); }
  ~CallReference() { AllsqlStringRelease(s_); }
  CallReference(const CallReference&) = delete;
  CallReference& operator=(const CallReference&) = delete;

 private:
  AllsqlString s_;
};

// Clears the dialog instance when the dialog is freed, so it never points at a freed dialog.
class DialogInstance {
 public:
  DialogInstance(PluginState& state, Tfmsqlall& dialog) : state_(state) { state_.dialog = &dialog; }
  ~DialogInstance() { state_.dialog = nullptr; }
  DialogInstance(const DialogInstance&) = delete;
  DialogInstance& operator=(const DialogInstance&) = delete;

 private:
  PluginState& state_;
};

}  // namespace

void RunUpdate(PluginState& state, const HostArguments& arguments,
               const ui::FrontEndFactory& new_front_end, const HttpClientFactory& new_http_client) {
  CallReference hold4(arguments.argument4);
  CallReference hold5(arguments.argument5);
  CallReference hold6(arguments.argument6);

  state.argument2 = arguments.argument2;
  state.argument3 = arguments.argument3;
  state.argument4.Store(arguments.argument4);
  state.argument5.Store(arguments.argument5);
  state.argument6.Store(arguments.argument6);
  state.argument7 = static_cast<uint8_t>(arguments.argument7 & 0xFF);
  state.database_directory.Store(arguments.database_directory);
  state.argument9.Store(arguments.argument9);

  std::unique_ptr<ui::DialogFrontEnd> front_end = new_front_end();
  Tfmsqlall dialog(state, NewDialogQuery(), front_end->View(), new_http_client, "");
  DialogInstance instance(state, dialog);
  front_end->RunModal(dialog);
}

}  // namespace veltra::plugin

// The C entry point: no C++ exception may cross into the host, so an error that leaves the dialog
// (one while making or running it; the handlers' own errors are shown by the dialog) is reported
// on standard error and the call returns.
extern "C" void DoUpdate(int32_t, int32_t argument2, int32_t argument3, AllsqlString argument4,
                         AllsqlString argument5, AllsqlString argument6, int32_t argument7,
                         AllsqlString database_directory, AllsqlString argument9) {
  using namespace veltra::plugin;
  try {
    HostArguments arguments{argument2, argument3, argument4,          argument5,
                            argument6, argument7, database_directory, argument9};
    RunUpdate(LibraryState(), arguments, ui::ChooseFrontEnd, NewCurlHttpClient);
  } catch (...) {
    std::fprintf(stderr, "%s: %s\n", ApplicationTitle().c_str(), CurrentErrorBoxText().c_str());
  }
}
