#include "plugin/ui/front_end.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "plugin/error_box.h"
#include "plugin/ui/console/console_front_end.h"
#include "plugin/ui/gtk/gtk_front_end.h"

namespace veltra::plugin::ui {
namespace {

// The toolkit and the HTTP library must outlive this library: GTK's types stay registered with
// GObject, which never unloads, and libcurl's global set-up registers exit handlers. Marking them
// never-unload keeps a host's dlclose of this library from unloading them under those references.
void PinSharedLibraries() {
  static const bool pinned = [] {
    for (const char* name :
         {"libgtk-3.so.0", "libgdk-3.so.0", "libgtksourceview-4.so.0", "libcurl.so.4"}) {
      dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
    return true;
  }();
  (void)pinned;
}

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && value[0] != '\0';
}

}  // namespace

bool RunHandler(const std::function<void()>& handler,
                const std::function<void(const std::string& text)>& show_error) {
  try {
    handler();
    return true;
  } catch (...) {
    show_error(CurrentErrorBoxText());
    return false;
  }
}

std::unique_ptr<DialogFrontEnd> ChooseFrontEnd() {
  PinSharedLibraries();
  const char* choice = std::getenv("ALLSQL_UI");
  bool console = choice != nullptr && std::strcmp(choice, "console") == 0;
  if (!console && (Set("DISPLAY") || Set("WAYLAND_DISPLAY")) && gtk::GtkAvailable()) {
    return gtk::NewGtkFrontEnd();
  }
  return console::NewConsoleFrontEnd(std::cin, std::cout);
}

}  // namespace veltra::plugin::ui
