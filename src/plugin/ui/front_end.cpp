#include "plugin/ui/front_end.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "plugin/error_box.h"
#include "plugin/ui/console/console_front_end.h"
#include "plugin/ui/gtk/gtk_front_end.h"

namespace veltra::plugin::ui {
namespace {

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
  const char* choice = std::getenv("ALLSQL_UI");
  bool console = choice != nullptr && std::strcmp(choice, "console") == 0;
  if (!console && (Set("DISPLAY") || Set("WAYLAND_DISPLAY")) && gtk::GtkAvailable()) {
    return gtk::NewGtkFrontEnd();
  }
  return console::NewConsoleFrontEnd(std::cin, std::cout);
}

}  // namespace veltra::plugin::ui
