// The headless front end: the dialog on a terminal or a pipe, driven by commands.
//
// Every change of the status, the editor or "Wykonaj" is written to the output as it happens, in
// UTF-8, one record per line (setting the editor to the text it holds already is no change):
//
//   == status: <text>
//   == editor:            followed by the editor's lines, each as "| <line>", then
//   == end of editor
//   == editor + <line>    one line appended
//   == Wykonaj: enabled   (or disabled)
//   == error [<title>]: <message>
//
// Commands are read from the input one per line (blank lines and lines starting with "#" are
// ignored): "pobierz", "wykonaj", "zamknij" press the buttons ("wykonaj" does nothing while the
// button is disabled, as a disabled button cannot be pressed); "panel" and "status" double-click
// the button panel and the status bar; "edit" replaces the editor's text by the lines that follow,
// up to a line holding a single "."; "show" writes the editor; "help" lists the commands. The end
// of the input closes the dialog, like the window's close box.
#pragma once

#include <iosfwd>
#include <memory>

#include "plugin/ui/front_end.h"

namespace veltra::plugin::ui::console {

std::unique_ptr<DialogFrontEnd> NewConsoleFrontEnd(std::istream& in, std::ostream& out);

}  // namespace veltra::plugin::ui::console
