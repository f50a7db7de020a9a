// What an edit box does to its text when a character is put in: the selection
// is replaced, or the character goes in at the caret. The windows ask the
// real control; their logic and the tests use this.
#pragma once

#include <cstddef>
#include <string>

namespace editors {

struct EditBoxText {
    std::u16string text;
    std::size_t selStart = 0, selEnd = 0;  // the selection, selStart <= selEnd; equal: the caret
};

// Replaces the selection with `insert`; the caret ends after it. Positions
// beyond the text are taken as its end.
EditBoxText replaceSelection(const EditBoxText& box, std::u16string_view insert);

}  // namespace editors
