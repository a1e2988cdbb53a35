// The dialog's front ends and the choice between them.
//
// A front end shows the dialog (the GTK window, or the console), implements DialogView over it,
// and runs the modal loop on the calling thread: it calls FormShow once the dialog is shown, then
// the handler of each user action, until the dialog is closed. An error that leaves a handler is
// shown in the error box (titled with the application's title) and the dialog stays open. A front
// end never ends the host process.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "plugin/dialog_view.h"

namespace veltra::plugin::ui {

class DialogFrontEnd {
 public:
  virtual ~DialogFrontEnd() = default;
  virtual DialogView& View() = 0;
  // Returns when the dialog is closed (by "Zamknij" through DialogView::Close, or by the window's
  // own close action). Errors of the front end itself propagate.
  virtual void RunModal(DialogEvents& events) = 0;
};

using FrontEndFactory = std::function<std::unique_ptr<DialogFrontEnd>()>;

// Calls `handler`; an error that leaves it goes to `show_error` as the error box's text (the
// full-stop rule applied). Returns whether the handler ended normally.
bool RunHandler(const std::function<void()>& handler,
                const std::function<void(const std::string& text)>& show_error);

// The console front end on standard input and output when ALLSQL_UI is "console" or when no
// display is available (neither DISPLAY nor WAYLAND_DISPLAY set, or GTK cannot open it); the GTK
// front end otherwise.
std::unique_ptr<DialogFrontEnd> ChooseFrontEnd();

}  // namespace veltra::plugin::ui
