#include "Unit1.h"

#include <oleauto.h>

#include "automation/activation_context.h"
#include "automation/block_command.h"
#include "automation/host_error.h"
#include "automation/host_ids.h"
#include "automation/host_objects.h"
#include "automation/host_session.h"
#include "automation/mtext_command.h"
#include "automation/server.h"
#include "editors/modal_window.h"
#include "editors/uedit.h"

namespace automation {

namespace {

const wchar_t* const kPickPrompt = L"Select text / Block with attributes:";
// Deliberate: the closing blank is part of what the command line shows.
const wchar_t* const kNothingSelected = L"Nothing selected, repeat the command ";
const wchar_t* const kNotAnnotation = L"Entity is not Annotation";


std::wstring fileNamePart(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

// What a single-line command knows about its text's style.
struct SingleLineStyle {
    hebrew::StyleState style;
    std::wstring caption;
};

// The style of a text: the style found by name in the document's styles,
// its font classified, its backwards flag.
SingleLineStyle singleLineStyle(const HostObject& text, const HostObject& styles) {
    const std::wstring styleName = text.getString(L"StyleName");
    HostObject style = textStyleIn(styles, styleName);
    const std::wstring fontFile = style.getString(L"FontFile");
    const long generationFlag = style.getLong(L"TextGenerationFlag");
    // Deliberate: no blank after "Font:".
    return {frmFonts()->styleOf(u16(fontFile), generationFlag),
            L"Dravik Line editor, Style: " + styleName + L"; Font:" + fileNamePart(fontFile)};
}

// The line editor's text entity: the host's text object, called by name.
class HostTextEntity : public editors::LineTextEntity {
public:
    explicit HostTextEntity(HostObject ttx) : ttx_(std::move(ttx)) {}
    std::u16string textString() override { return u16(ttx_.getString(L"TextString")); }
    void setTextString(const std::u16string& text) override {
        ttx_.put(L"TextString", Variant(wide(text)));
    }
    void update() override { ttx_.call(L"Update"); }

private:
    HostObject ttx_;
};

using LineEditorWindow = CommandWindow<editors::TfrmLtedit>;

// The entity as a text.
HostObject textOf(const HostObject& entity) {
    HostObject ttx = HostObject::query(entity.get(), IID_IGcadText, L"IGcadText");
    ttx.getString(L"Handle");  // Deliberate: read as the host has always seen it, though nothing uses it.
    return ttx;
}

// Shows the style and opens the box on the text.
std::u16string openLineEditor(const LineEditorWindow& window, HostTextEntity& text, const HostObject& ttx,
                              editors::Opening how) {
    const HostObject styles = textStylesOf(hostSession().doc);  // asked for before the text's style name
    const SingleLineStyle st = singleLineStyle(ttx, styles);
    window->setCaption(st.caption);
    return window->behaviour().open(&text, st.style, how);
}

// A font type stepped in the window is recorded for the style's font, even
// after Cancel; a full cycle back to the start records nothing.
void recordChangedFontType(const LineEditorWindow& window, hebrew::fntType startType) {
    const hebrew::StyleState& now = window->behaviour().style();
    // Deliberate: changefnt drops one more extension from a name that has lost its own, so
    // "a.b.shx" is recorded under "A" while the map is asked for "A.B".
    if (now.type != startType) frmFonts()->changefnt(now.font, now.type);
}

void editSingleLineText(const HostObject& entity) {
    LineEditorWindow window(editors::frmLtedit, *frmFonts());
    HostObject ttx = textOf(entity);
    HostTextEntity text(ttx);
    const std::u16string oldstr = openLineEditor(window, text, ttx, editors::Opening::StoredText);
    const hebrew::fntType startType = window->behaviour().style().type;
    if (window->ShowModal() == editors::kModalCancel) ttx.put(L"TextString", Variant(wide(oldstr)));
    recordChangedFontType(window, startType);
}

// Edit's pick: the object, or nothing when the user cancelled or the host
// reported an error, with silent success.
enum class Pick { Failed, Nothing, Object };

Pick pickEntity(const HostObject& utility, ComPtr<IUnknown>& picked) {
    Variant object, point, prompt{std::wstring(kPickPrompt)};
    VARIANT objectRef, pointRef;
    V_VT(&objectRef) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&objectRef) = object.get();
    V_VT(&pointRef) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&pointRef) = point.get();
    try {
        utility.call(L"GetEntity", {&objectRef, &pointRef, prompt.get()});
    } catch (const HostError&) {
        return Pick::Failed;
    }
    picked = toObject(*object);
    return picked ? Pick::Object : Pick::Nothing;
}

void showOnCommandLine(const HostObject& utility, const wchar_t* text) {
    Variant message{std::wstring(text)};
    utility.call(L"Prompt", {message.get()});
}

}  // namespace

void commandNewtext(const std::wstring& ent) {
    if (!ConnectHost()) return;
    HostSession& s = hostSession();
    Variant handle(ent);
    Variant object = s.doc.call(L"HandleToObject", {handle.get()});
    ComPtr<IUnknown> entity = toObject(*object);
    LineEditorWindow window(editors::frmLtedit, *frmFonts());
    s.entity = HostObject::query(entity.Get(), IID_IGcadEntity, L"IGcadEntity");
    HostObject ttx = textOf(s.entity);
    HostTextEntity text(ttx);
    openLineEditor(window, text, ttx, editors::Opening::NewText);
    const hebrew::fntType startType = window->behaviour().style().type;
    if (window->ShowModal() == editors::kModalCancel) {
        ttx.put(L"TextString", Variant(std::wstring()));
    } else {
        activeDocumentOf(s.app).call(L"NewTextConfirmed");
    }
    recordChangedFontType(window, startType);
}

void commandEdit() {
    if (!ConnectHost()) return;
    HostSession& s = hostSession();
    HostObject utility = utilityOf(s.doc);
    ComPtr<IUnknown> picked;
    switch (pickEntity(utility, picked)) {
        case Pick::Failed: return;
        case Pick::Nothing: return showOnCommandLine(utility, kNothingSelected);
        case Pick::Object: break;
    }
    s.entity = HostObject::query(picked.Get(), IID_IGcadEntity, L"IGcadEntity");
    std::wstring className;
    try {
        className = s.entity.getString(L"EntityName");
    } catch (const std::exception&) {
        return;  // an entity whose class cannot be read is left alone
    }
    if (className == L"AcDbText") return editSingleLineText(s.entity);
    if (className == L"AcDbBlockReference") return editBlockAttributes(s.entity);
    if (className == L"AcDbMText") return editMultilineText(s.entity);
    showOnCommandLine(utility, kNotAnnotation);
}

void commandMtext() {
    if (!ConnectHost()) return;
    createMultilineText();
}

TKeltrav::TKeltrav() { objectCreated(); }
TKeltrav::~TKeltrav() { objectDestroyed(); }

HRESULT TKeltrav::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IKeltrav)) {
        *out = static_cast<IKeltrav*>(this);
    } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
        *out = static_cast<ISupportErrorInfo*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG TKeltrav::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG TKeltrav::Release() {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT TKeltrav::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = keltravTypeInfo() ? 1 : 0;
    return S_OK;
}

HRESULT TKeltrav::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    ITypeInfo* ti = keltravTypeInfo();
    if (!ti) return E_UNEXPECTED;
    ti->AddRef();
    *info = ti;
    return S_OK;
}

HRESULT TKeltrav::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    ITypeInfo* ti = keltravTypeInfo();
    return ti ? DispGetIDsOfNames(ti, names, count, ids) : E_UNEXPECTED;
}

HRESULT TKeltrav::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* excep, UINT* argError) {
    ITypeInfo* ti = keltravTypeInfo();
    if (!ti) return E_UNEXPECTED;
    return ti->Invoke(static_cast<IKeltrav*>(this), id, flags, params, result, excep, argError);
}

HRESULT TKeltrav::Newtext(BSTR ent) {
    const std::wstring handle = ent ? std::wstring(ent, SysStringLen(ent)) : std::wstring();
    const ActivationScope visualStyles;
    return commandBoundary([&] { commandNewtext(handle); });
}

HRESULT TKeltrav::Edit() {
    const ActivationScope visualStyles;
    return commandBoundary(commandEdit);
}

HRESULT TKeltrav::Mtext() {
    const ActivationScope visualStyles;
    return commandBoundary(commandMtext);
}

HRESULT TKeltrav::InterfaceSupportsErrorInfo(REFIID riid) {
    return IsEqualIID(riid, IID_IKeltrav) ? S_OK : S_FALSE;
}

ITypeInfo* keltravTypeInfo() {
    // The interface's own type information (not its dispatch twin), so that
    // Invoke calls the methods of the interface table.
    static ITypeInfo* info = [] {
        wchar_t path[MAX_PATH];
        if (!GetModuleFileNameW(serverModule(), path, MAX_PATH)) return static_cast<ITypeInfo*>(nullptr);
        ComPtr<ITypeLib> library;
        ComPtr<ITypeInfo> dispatchInfo;
        if (FAILED(LoadTypeLibEx(path, REGKIND_NONE, &library)) ||
            FAILED(library->GetTypeInfoOfGuid(IID_IKeltrav, &dispatchInfo)))
            return static_cast<ITypeInfo*>(nullptr);
        HREFTYPE ref;
        ITypeInfo* interfaceInfo = nullptr;
        if (FAILED(dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) ||
            FAILED(dispatchInfo->GetRefTypeInfo(ref, &interfaceInfo)))
            return static_cast<ITypeInfo*>(nullptr);
        return interfaceInfo;  // kept until the process ends
    }();
    return info;
}

}  // namespace automation
