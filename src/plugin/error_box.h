// The text and the title of the error box that shows an error that left a dialog handler.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace veltra::plugin {

// The message with a full stop appended when its last byte sorts after the full stop (a letter,
// a digit or any byte from 0x80 up); an empty message stays empty.
std::string ErrorBoxText(std::string_view message);

// The message of the error in flight as an error box shows it: what() of a std::exception, with
// the full-stop rule applied. Call inside a catch block.
std::string CurrentErrorBoxText();

// The application's title: the host program's name, as the process was started.
std::string ApplicationTitle();

}  // namespace veltra::plugin
