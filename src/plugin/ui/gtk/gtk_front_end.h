// The dialog as a GTK 3 window with a GtkSourceView 4 SQL editor.
//
// The window has the dialog's caption and a client area of 506 x 340 at the designed position;
// the button panel at the bottom holds "Pobierz", "Wykonaj" and "Zamknij" (bold captions,
// "Zamknij" kept at the right edge), the status bar lies below it and the SQL editor fills the
// rest: line numbers, word wrap, the current line highlighted in the tool-tip colour, SQL colouring
// by a style scheme of our own, tabs typed as spaces, undo. Texts are converted between the
// plug-in's windows-1250 and GTK's UTF-8 here. The modal loop runs on the calling thread, which
// must be the thread GTK was initialised on.
#pragma once

#include <memory>

#include "plugin/ui/front_end.h"

namespace veltra::plugin::ui::gtk {

// Whether GTK can be used: initialises it on first call (gtk_init_check, which never ends the
// process) and remembers the answer. False when no display can be opened.
bool GtkAvailable();

// Requires GtkAvailable().
std::unique_ptr<DialogFrontEnd> NewGtkFrontEnd();

// Widget names a test or a style sheet can find the controls by.
inline constexpr const char* kGetButtonName = "btnGET";
inline constexpr const char* kExecuteButtonName = "btnExecute";
inline constexpr const char* kCloseButtonName = "btnOK";
inline constexpr const char* kButtonPanelName = "Panel1";
inline constexpr const char* kEditorName = "SynEdit1";
inline constexpr const char* kStatusBarName = "StatusBar1";

}  // namespace veltra::plugin::ui::gtk
