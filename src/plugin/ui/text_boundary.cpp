// Converted with the platform layer's code page tables, built once per process.

#include "plugin/ui/text_boundary.h"

#include <stdexcept>

#include "platform/code_page.h"

namespace veltra::plugin::ui {
namespace {

constexpr std::string_view kPluginCodePage = "windows-1250";

const platform::CodePage& PluginCodePage() {
  const platform::CodePage* code_page = platform::CodePageOf(kPluginCodePage);
  if (code_page == nullptr) throw std::runtime_error("The windows-1250 code page is not available");
  return *code_page;
}

}  // namespace

std::string Utf8FromWindows1250(std::string_view bytes) { return PluginCodePage().ToUtf8(bytes); }

std::string Windows1250FromUtf8(std::string_view utf8) { return PluginCodePage().FromUtf8(utf8); }

}  // namespace veltra::plugin::ui
