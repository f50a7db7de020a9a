#include "editors/edit_box.h"

#include <algorithm>

namespace editors {

EditBoxText replaceSelection(const EditBoxText& box, std::u16string_view insert) {
    const std::size_t size = box.text.size();
    const std::size_t start = std::min(std::min(box.selStart, box.selEnd), size);
    const std::size_t end = std::min(std::max(box.selStart, box.selEnd), size);
    EditBoxText out;
    out.text.reserve(size - (end - start) + insert.size());
    out.text.append(box.text, 0, start).append(insert).append(box.text, end, std::u16string::npos);
    out.selStart = out.selEnd = start + insert.size();
    return out;
}

}  // namespace editors
