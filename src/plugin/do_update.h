// The library's entry point and the C++ call behind it.
//
// DoUpdate (exported with C linkage, see host_string.h for its arguments) stores the host's
// arguments in the library-wide state, runs the update dialog once on the calling thread and
// returns when the user closes it. RunUpdate is the same call with the front end chosen by the
// caller, for tests.
#pragma once

#include <cstdint>

#include "plugin/host_string.h"
#include "plugin/http_client.h"
#include "plugin/plugin_state.h"
#include "plugin/ui/front_end.h"

extern "C" __attribute__((visibility("default"))) void DoUpdate(
    int32_t argument1, int32_t argument2, int32_t argument3, AllsqlString argument4,
    AllsqlString argument5, AllsqlString argument6, int32_t argument7,
    AllsqlString database_directory, AllsqlString argument9);

namespace veltra::plugin {

struct HostArguments {
  int32_t argument2 = 0;
  int32_t argument3 = 0;
  AllsqlString argument4 = nullptr;
  AllsqlString argument5 = nullptr;
  AllsqlString argument6 = nullptr;
  int32_t argument7 = 0;
  AllsqlString database_directory = nullptr;
  AllsqlString argument9 = nullptr;
};

// Stores the arguments in `state` (each stored string replaces and releases the previous call's;
// of argument 7 only the low byte is kept), makes the dialog with a new query component
// (NewDialogQuery) and the front end of `new_front_end`, runs it modally and frees both, also when
// running fails. Errors propagate.
void RunUpdate(PluginState& state, const HostArguments& arguments,
               const ui::FrontEndFactory& new_front_end, const HttpClientFactory& new_http_client);

}  // namespace veltra::plugin
