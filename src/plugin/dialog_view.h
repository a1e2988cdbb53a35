// What the dialog workflow sees of its window, and what a front end sees of the workflow.
//
// The workflow (Tfmsqlall) talks only to DialogView, never to a toolkit; a front end implements
// DialogView over its widgets and calls DialogEvents when the user acts. Texts on both sides are
// windows-1250 bytes; a front end converts at its own boundary.
#pragma once

#include <string>
#include <string_view>

namespace veltra::plugin {

class DialogView {
 public:
  virtual ~DialogView() = default;
  // The status bar's one simple text.
  virtual void SetStatus(std::string_view text) = 0;
  // Replaces the editor's whole text; the editor splits it into lines at CR LF, LF or CR.
  virtual void SetEditorText(std::string_view text) = 0;
  // The editor's whole text, lines joined with CR LF.
  virtual std::string EditorText() const = 0;
  // Appends one line to the editor.
  virtual void AddEditorLine(std::string_view line) = 0;
  // Enables or disables "Wykonaj".
  virtual void SetExecuteEnabled(bool enabled) = 0;
  // Ends the dialog: the modal loop returns once the current handler is done.
  virtual void Close() = 0;
};

// The dialog's handlers, called by the front end on the dialog's thread. A handler catches
// nothing: the front end shows an error that leaves it in an error box and keeps the dialog open.
class DialogEvents {
 public:
  virtual ~DialogEvents() = default;
  virtual void FormShow() = 0;
  virtual void btnGETClick() = 0;
  virtual void btnExecuteClick() = 0;
  virtual void Panel1DblClick() = 0;
  virtual void StatusBar1DblClick() = 0;
  virtual void btnOKClick() = 0;
};

}  // namespace veltra::plugin
