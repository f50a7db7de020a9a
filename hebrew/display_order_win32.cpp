#include "display_order_win32.h"

#include <vector>

#include "codepage.h"

namespace hebrew {

namespace {

constexpr DWORD kReorderFlags = GCP_REORDER | GCP_CLASSIN | GCP_DISPLAYZWG;  // 0x480002

// Under another ANSI code page the bytes would not read as Windows-1255:
// lay out their Unicode form instead.
std::string placementOrderWide(HDC dc, std::string_view bytes) {
    std::u16string text = fromBytes(bytes);
    const auto n = static_cast<UINT>(text.size());
    std::vector<wchar_t> out(n + 1);
    std::vector<UINT> order(n), caret(n);
    std::vector<int> dx(n);
    std::vector<WCHAR> glyphs(n);
    std::vector<char> classes(n, 0);
    GCP_RESULTSW result{};
    result.lStructSize = sizeof result;
    result.lpOutString = out.data();
    result.lpOrder = order.data();
    result.lpDx = dx.data();
    result.lpCaretPos = reinterpret_cast<int*>(caret.data());
    result.lpClass = classes.data();
    result.lpGlyphs = glyphs.data();
    result.nGlyphs = n;
    if (!GetCharacterPlacementW(dc, reinterpret_cast<LPCWSTR>(text.c_str()), static_cast<int>(n),
                                static_cast<int>(n), &result, kReorderFlags))
        return std::string(bytes);
    return toBytes(std::u16string_view(reinterpret_cast<const char16_t*>(out.data()), n));
}

// A device context of the font service's own, never shown, reading left to
// right. A memory context rather than a window's: the library may free it
// while it unloads, where no window may be touched.
class MemorySurface : public DisplayOrderer {
public:
    MemorySurface() : dc_(CreateCompatibleDC(nullptr)) {}
    ~MemorySurface() override {
        if (dc_) DeleteDC(dc_);
    }
    MemorySurface(const MemorySurface&) = delete;
    MemorySurface& operator=(const MemorySurface&) = delete;

    std::string displayOrder(std::string_view bytes) const override { return placementOrder(dc_, bytes); }

private:
    HDC dc_;
};

}  // namespace

std::string placementOrder(HDC dc, std::string_view bytes) {
    if (bytes.empty()) return {};
    if (GetACP() != 1255) return placementOrderWide(dc, bytes);
    const auto n = static_cast<UINT>(bytes.size());
    std::vector<char> out(n + 1);
    std::vector<UINT> order(n), caret(n);
    std::vector<int> dx(n);
    std::vector<WCHAR> glyphs(n);
    std::vector<char> classes(n, 0);  // every class unknown: the platform finds them
    GCP_RESULTSA result{};
    result.lStructSize = sizeof result;
    result.lpOutString = out.data();
    result.lpOrder = order.data();
    result.lpDx = dx.data();
    result.lpCaretPos = reinterpret_cast<int*>(caret.data());
    result.lpClass = classes.data();
    result.lpGlyphs = glyphs.data();
    result.nGlyphs = n;
    if (!GetCharacterPlacementA(dc, bytes.data(), static_cast<int>(n), static_cast<int>(n), &result,
                                kReorderFlags))
        return std::string(bytes);
    return std::string(out.data(), n);
}

std::unique_ptr<DisplayOrderer> makeLeftToRightSurface() { return std::make_unique<MemorySurface>(); }

}  // namespace hebrew
