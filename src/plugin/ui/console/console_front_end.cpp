#include "plugin/ui/console/console_front_end.h"

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "plugin/error_box.h"
#include "plugin/polish_texts.h"
#include "plugin/text_lines.h"
#include "plugin/ui/text_boundary.h"

namespace veltra::plugin::ui::console {
namespace {

constexpr std::string_view kEditEnd = ".";
constexpr std::string_view kCommandList =
    "== commands: pobierz | wykonaj | zamknij | panel | status | edit (then lines, ended by "
    "\".\") | show | help";

class ConsoleView final : public DialogView {
 public:
  explicit ConsoleView(std::ostream& out) : out_(out) {}

  void SetStatus(std::string_view text) override {
    out_ << "== status: " << Utf8FromWindows1250(text) << '\n' << std::flush;
  }
  // Setting the text the editor already holds is no change and is not shown again.
  void SetEditorText(std::string_view text) override {
    std::vector<std::string> before = editor_.Lines();
    editor_.SetText(text);
    if (editor_.Lines() != before) ShowEditor();
  }
  std::string EditorText() const override { return editor_.Text(); }
  void AddEditorLine(std::string_view line) override {
    editor_.Add(line);
    out_ << "== editor + " << Utf8FromWindows1250(line) << '\n' << std::flush;
  }
  void SetExecuteEnabled(bool enabled) override {
    execute_enabled_ = enabled;
    out_ << "== " << texts::kExecuteCaption << (enabled ? ": enabled" : ": disabled") << '\n'
         << std::flush;
  }
  void Close() override { closed_ = true; }

  void ShowEditor() {
    out_ << "== editor:\n";
    for (const std::string& line : editor_.Lines())
      out_ << "| " << Utf8FromWindows1250(line) << '\n';
    out_ << "== end of editor\n" << std::flush;
  }
  bool execute_enabled() const { return execute_enabled_; }
  bool closed() const { return closed_; }

 private:
  std::ostream& out_;
  EditorLines editor_;
  bool execute_enabled_ = false;
  bool closed_ = false;
};

class ConsoleFrontEnd final : public DialogFrontEnd {
 public:
  ConsoleFrontEnd(std::istream& in, std::ostream& out) : in_(in), out_(out), view_(out) {}

  DialogView& View() override { return view_; }

  void RunModal(DialogEvents& events) override {
    out_ << "== dialog: " << Utf8FromWindows1250(texts::kCaption) << '\n'
         << kCommandList << '\n'
         << std::flush;
    Run([&] { events.FormShow(); });
    std::string line;
    while (!view_.closed() && ReadLine(line)) {
      std::string_view command = Trim(line);
      if (command.empty() || command.front() == '#') continue;
      if (command == "pobierz") {
        Run([&] { events.btnGETClick(); });
      } else if (command == "wykonaj") {
        if (view_.execute_enabled()) {
          Run([&] { events.btnExecuteClick(); });
        } else {
          out_ << "== " << texts::kExecuteCaption << " is disabled\n" << std::flush;
        }
      } else if (command == "zamknij") {
        Run([&] { events.btnOKClick(); });
      } else if (command == "panel") {
        Run([&] { events.Panel1DblClick(); });
      } else if (command == "status") {
        Run([&] { events.StatusBar1DblClick(); });
      } else if (command == "edit") {
        Edit();
      } else if (command == "show") {
        view_.ShowEditor();
      } else if (command == "help") {
        out_ << kCommandList << '\n' << std::flush;
      } else {
        out_ << "== unknown command: " << command << '\n' << std::flush;
      }
    }
    out_ << "== dialog closed\n" << std::flush;
  }

 private:
  bool ReadLine(std::string& line) {
    if (!std::getline(in_, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }

  void Edit() {
    std::string text;
    std::string line;
    bool first = true;
    while (ReadLine(line) && line != kEditEnd) {
      if (!first) text += "\r\n";
      text += Windows1250FromUtf8(line);
      first = false;
    }
    view_.SetEditorText(text);
  }

  void Run(const std::function<void()>& handler) {
    RunHandler(handler, [&](const std::string& text) {
      out_ << "== error [" << ApplicationTitle() << "]: " << Utf8FromWindows1250(text) << '\n'
           << std::flush;
    });
  }

  std::istream& in_;
  std::ostream& out_;
  ConsoleView view_;
};

}  // namespace

std::unique_ptr<DialogFrontEnd> NewConsoleFrontEnd(std::istream& in, std::ostream& out) {
  return std::make_unique<ConsoleFrontEnd>(in, out);
}

}  // namespace veltra::plugin::ui::console
