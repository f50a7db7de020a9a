#include "editors/dpi.h"

#include <string>

#include "editors/modal_window.h"

namespace editors {

namespace {

// The per-monitor functions of user32, where this Windows has them.
struct PerMonitorApi {
    UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
    int(WINAPI* getSystemMetricsForDpi)(int, UINT) = nullptr;
    BOOL(WINAPI* adjustWindowRectExForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
    BOOL(WINAPI* systemParametersInfoForDpi)(UINT, UINT, void*, UINT, UINT) = nullptr;

    PerMonitorApi() {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        if (!user32) return;
        find(user32, "GetDpiForWindow", getDpiForWindow);
        find(user32, "GetSystemMetricsForDpi", getSystemMetricsForDpi);
        find(user32, "AdjustWindowRectExForDpi", adjustWindowRectExForDpi);
        find(user32, "SystemParametersInfoForDpi", systemParametersInfoForDpi);
    }

    template <typename Function>
    static void find(HMODULE module, const char* name, Function& function) {
        function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
};

const PerMonitorApi& api() {
    static const PerMonitorApi functions;
    return functions;
}

// The DPI that the system's own metrics are given for: the screen's.
DpiScale screenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kDesignDpi;
    if (screen) ReleaseDC(nullptr, screen);
    return DpiScale(dpi);
}

int systemMetric(int index, DpiScale dpi) {
    if (api().getSystemMetricsForDpi) return api().getSystemMetricsForDpi(index, static_cast<UINT>(dpi.dpi()));
    const DpiScale system = screenDpi();
    return dpi.dpi() == system.dpi() ? GetSystemMetrics(index) : dpi(system.toDesign(GetSystemMetrics(index)));
}

// The title bar's font at that DPI; the caller owns it.
HFONT captionFont(DpiScale dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    bool got = false;
    if (api().systemParametersInfoForDpi)
        got = api().systemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                               static_cast<UINT>(dpi.dpi())) != FALSE;
    if (!got) {
        if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
        const DpiScale system = screenDpi();
        metrics.lfCaptionFont.lfHeight = dpi(system.toDesign(metrics.lfCaptionFont.lfHeight));
    }
    return CreateFontIndirectW(&metrics.lfCaptionFont);
}

int textWidth(HFONT font, const std::wstring& text) {
    HDC screen = GetDC(nullptr);
    if (!screen) return 0;
    HGDIOBJ old = SelectObject(screen, font);
    SIZE size{};
    GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return size.cx;
}

}  // namespace

DpiScale windowDpi(HWND window) {
    if (api().getDpiForWindow && window) {
        const UINT dpi = api().getDpiForWindow(window);
        if (dpi) return DpiScale(static_cast<int>(dpi));
    }
    return screenDpi();
}

SIZE outerSize(int width, int height, DWORD style, DWORD exStyle, DpiScale dpi) {
    RECT r{0, 0, width, height};
    if (!api().adjustWindowRectExForDpi ||
        !api().adjustWindowRectExForDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi.dpi())))
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return {r.right - r.left, r.bottom - r.top};
}

int captionWidth(HWND window, DpiScale dpi) {
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    HFONT font = captionFont(dpi);
    if (!font) return 0;
    const int text = textWidth(font, windowText(window));
    DeleteObject(font);
    const bool thick = (style & WS_THICKFRAME) != 0;
    const int frame = systemMetric(thick ? SM_CXSIZEFRAME : SM_CXFIXEDFRAME, dpi) +
                      (thick ? systemMetric(SM_CXPADDEDBORDER, dpi) : 0);
    int buttons = 0, icon = 0;
    if (style & WS_SYSMENU) {
        buttons = (style & (WS_MAXIMIZEBOX | WS_MINIMIZEBOX)) ? 3 : 1;
        icon = systemMetric(SM_CXSMICON, dpi) + dpi(4);
    }
    // The text's own room at either end, and the gap before the buttons.
    const int padding = dpi(20);
    return 2 * frame + icon + buttons * systemMetric(SM_CXSIZE, dpi) + text + padding;
}

void fitCaption(HWND window, DpiScale dpi) {
    RECT r;
    if (!GetWindowRect(window, &r)) return;
    const int needed = captionWidth(window, dpi);
    if (r.right - r.left >= needed) return;
    SetWindowPos(window, nullptr, 0, 0, needed, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HIMAGELIST scaledImageList(HBITMAP strip, int count, int designSize, COLORREF clear, DpiScale dpi) {
    const int size = dpi(designSize);
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, count, 0);
    if (!list) return nullptr;
    HDC screen = GetDC(nullptr);
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    HBITMAP scaled = CreateCompatibleBitmap(screen, size * count, size);
    ReleaseDC(nullptr, screen);
    HGDIOBJ oldFrom = SelectObject(from, strip);
    HGDIOBJ oldTo = SelectObject(to, scaled);
    // Whole pixels, no blending: an edge pixel keeps either its colour or the
    // transparent one, never a mix of the two.
    SetStretchBltMode(to, COLORONCOLOR);
    StretchBlt(to, 0, 0, size * count, size, from, 0, 0, designSize * count, designSize, SRCCOPY);
    SelectObject(to, oldTo);
    SelectObject(from, oldFrom);
    DeleteDC(to);
    DeleteDC(from);
    ImageList_AddMasked(list, scaled, clear);
    DeleteObject(scaled);
    return list;
}

DpiChange dpiChange(WPARAM wParam, LPARAM lParam) {
    return {DpiScale(LOWORD(wParam)), *reinterpret_cast<const RECT*>(lParam)};
}

}  // namespace editors
