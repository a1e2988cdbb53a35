#include "plugin/error_box.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace veltra::plugin {
namespace {

TEST(ErrorBox, FullStopFollowsALastCharacterThatSortsAfterIt) {
  struct Case {
    const char* message;
    const char* shown;
  };
  const Case cases[] = {
      {"Table missing", "Table missing."},
      {"code 404", "code 404."},
      {"done.", "done."},
      {"what?", "what?."},
      {"list:", "list:."},
      {"(x)", "(x)"},
      {"a-", "a-"},
      {"slash/", "slash/."},
      {"\xB9", "\xB9."},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorBoxText(c.message), c.shown) << c.message;
}

TEST(ErrorBox, CurrentErrorIsShownWithItsMessage) {
  try {
    throw std::runtime_error("HTTP/1.1 404 Not Found");
  } catch (...) {
    EXPECT_EQ(CurrentErrorBoxText(), "HTTP/1.1 404 Not Found.");
  }
  try {
    throw 42;
  } catch (...) {
    EXPECT_EQ(CurrentErrorBoxText(), "An unknown error occurred.");
  }
  EXPECT_EQ(ApplicationTitle(), "plugin_error_box_test");
}

}  // namespace
}  // namespace veltra::plugin
