// The front ends' text boundary: the plug-in's windows-1250 bytes to the UTF-8 of toolkits and
// terminals, and back. A byte or character without a counterpart becomes "?".
#pragma once

#include <string>
#include <string_view>

namespace veltra::plugin::ui {

std::string Utf8FromWindows1250(std::string_view bytes);
std::string Windows1250FromUtf8(std::string_view utf8);

}  // namespace veltra::plugin::ui
