// The contents string of a multiline text and the memo lines of the editor.
// A contents string is a run of paragraphs, each followed by "\P"; each
// paragraph converts on its own, and "\P" itself never passes through a
// conversion. All functions are linear in the length of their input.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace editors {

// The paragraph mark of a contents string: backslash, capital P.
inline constexpr std::u16string_view kParagraphMark = u"\\P";

// One paragraph in, one paragraph out (AcadToEditWin or EditToacadWin).
using ParagraphConversion = std::function<std::u16string(std::u16string_view)>;

// Removes one leading formatting group: when the string starts with "{\",
// everything up to and including the first ";" goes, then a closing "}" at
// the end, then the last two characters when the one before the last is "}".
// Without a ";" the string stays whole.
std::u16string stripLeadingGroup(std::u16string_view contents);

// The paragraphs of a contents string, split at every "\P". A final piece
// after the last "\P" (or a whole string without any) is a paragraph too,
// so that writing the lines back does not lose it; contents that end in "\P"
// give no extra empty paragraph.
std::vector<std::u16string> splitParagraphs(std::u16string_view contents);

// The memo lines of an entity's contents: the leading group removed, split,
// each paragraph converted.
std::vector<std::u16string> loadContents(std::u16string_view contents, const ParagraphConversion& toEditor);

// The lines of a memo's text, as an edit box counts them: split at CR LF, LF
// or CR, and a line break at the very end starts no further line.
std::vector<std::u16string> memoLines(std::u16string_view text);

// The memo's text for a list of lines, joined with CR LF: memoLines gives
// the same lines back.
std::u16string memoText(const std::vector<std::u16string>& lines);

// The contents string for memo lines: each converted and followed by "\P".
// Empty when there are no lines, which means nothing is to be stored.
std::u16string storeContents(const std::vector<std::u16string>& lines, const ParagraphConversion& toDrawing);

// A number in general format with at most five significant digits, as the
// editor's status bar shows a text height: "2.5", "0.125", "12346", "1.2346E5".
std::u16string formatGeneral5(double value);

}  // namespace editors
