#include "plugin/error_box.h"

#include <cerrno>
#include <cstring>

namespace veltra::plugin {

std::string ErrorBoxText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

std::string CurrentErrorBoxText() {
  try {
    throw;
  } catch (const std::exception& e) {
    return ErrorBoxText(e.what());
  } catch (...) {
    return ErrorBoxText("An unknown error occurred");
  }
}

std::string ApplicationTitle() {
  const char* name = program_invocation_short_name;
  return name != nullptr && name[0] != '\0' ? name : "allsql";
}

}  // namespace veltra::plugin
