#include "editors/edit_box.h"

#include <gtest/gtest.h>

namespace {

using editors::EditBoxText;
using editors::replaceSelection;

struct ReplaceCase {
    const char* name;
    EditBoxText before;
    std::u16string insert;
    std::u16string text;
    std::size_t caret;
};

TEST(ReplaceSelection, ReplacesTheSelectionOrInsertsAtTheCaret) {
    const ReplaceCase cases[] = {
        {"empty box", {u"", 0, 0}, u"\u00B0", u"\u00B0", 1},
        {"caret at start", {u"\u05D0\u05D1", 0, 0}, u"\u00B1", u"\u00B1\u05D0\u05D1", 1},
        {"caret in the middle", {u"\u05D0\u05D1", 1, 1}, u"\u00AD", u"\u05D0\u00AD\u05D1", 2},
        {"caret at end", {u"ab", 2, 2}, u"\u00AF", u"ab\u00AF", 3},
        {"selection replaced", {u"abcd", 1, 3}, u"\u00B0", u"a\u00B0d", 2},
        {"whole text selected", {u"abcd", 0, 4}, u"x", u"x", 1},
        {"selection given backwards", {u"abcd", 3, 1}, u"x", u"axd", 2},
        {"positions beyond the end", {u"ab", 7, 9}, u"x", u"abx", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const EditBoxText after = replaceSelection(c.before, c.insert);
        EXPECT_EQ(after.text, c.text);
        EXPECT_EQ(after.selStart, c.caret);
        EXPECT_EQ(after.selEnd, c.caret);
    }
}

}  // namespace
