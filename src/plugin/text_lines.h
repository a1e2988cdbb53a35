// Plain text helpers of the dialog: trimming, and the editor's list of lines.
//
// Texts are 8-bit bytes. A line break is CR LF, LF or a lone CR when text is split into lines,
// and CR LF when lines are joined.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veltra::plugin {

// `text` without every character of code 32 or below at either end.
std::string_view Trim(std::string_view text);

// The lines of `text`. A line break at the very end starts no further line; an empty text has no
// lines.
std::vector<std::string> SplitLines(std::string_view text);

// `lines` joined with CR LF, with no line break after the last.
std::string JoinLines(const std::vector<std::string>& lines);

// An editor's content as a list of lines; the fake and console views keep their text in one.
class EditorLines {
 public:
  void SetText(std::string_view text) { lines_ = SplitLines(text); }
  std::string Text() const { return JoinLines(lines_); }
  // Adds one line at the end; a text with line breaks becomes several lines.
  void Add(std::string_view line);
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

}  // namespace veltra::plugin
