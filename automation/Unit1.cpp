#include "Unit1.h"

#include <oleauto.h>

#include "automation/block_command.h"
#include "automation/host_error.h"
#include "automation/host_ids.h"
#include "automation/host_session.h"
#include "automation/mtext_command.h"
#include "automation/server.h"
#include "editors/modal_window.h"
#include "editors/uedit.h"

namespace automation {

namespace {

const wchar_t* const kPickPrompt = L"Select text / Block with attributes:";
const wchar_t* const kNothingSelected = L"Nothing selected, repeat the command ";
const wchar_t* const kNotAnnotation = L"Entity is not Annotation";


std::wstring fileNamePart(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

// What a single-line command knows about its text's style.
struct SingleLineStyle {
    std::wstring styleName, cfont, caption;
    hebrew::fntType startType = hebrew::DosHebrew;
    bool backwards = false;
};

// The style state of a text: the style found by name in the document's
// styles, its font classified, its backwards flag.
SingleLineStyle setStyleState(const HostObject& text, const HostObject& styles) {
    SingleLineStyle st;
    st.styleName = text.getString(L"StyleName");
    Variant name(st.styleName);
    Variant found = styles.call(L"Item", {name.get()});
    HostObject style = HostObject::query(toObject(*found).Get(), IID_IGcadTextStyle, L"IGcadTextStyle");
    st.cfont = style.getString(L"FontFile");
    hebrew::TfrmFonts& fonts = *frmFonts();
    fonts.SetFntType(u16(st.cfont));
    st.startType = fonts.cStType;
    st.backwards = style.getLong(L"TextGenerationFlag") == 2;
    fonts.cStBack = st.backwards;
    st.caption = L"Dravik Line editor, Style: " + st.styleName + L"; Font:" + fileNamePart(st.cfont);
    return st;
}

HostObject textStyles() { return hostSession().doc.getObject(L"TextStyles", IID_IDispatch, L"TextStyles"); }

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

// The line text editor of one command: created with frmLtedit set, and
// destroyed, with frmLtedit cleared, on every way out of the command.
class LineEditorWindow {
public:
    LineEditorWindow() : window_(std::make_unique<editors::TfrmLtedit>(*frmFonts())) {
        editors::frmLtedit = window_.get();
    }
    ~LineEditorWindow() {
        editors::frmLtedit = nullptr;
        window_.reset();
    }
    editors::TfrmLtedit* operator->() const { return window_.get(); }
    editors::LineEditor& behaviour() const { return window_->behaviour(); }

private:
    std::unique_ptr<editors::TfrmLtedit> window_;
};

// The fields the single-line commands keep beside the window.
struct SingleLineFields {
    HostObject iii, doc, iiap, ttx, styles;
    std::wstring eehandle, oldstr;
    SingleLineStyle style;
};

SingleLineFields fillFields(const HostObject& entity) {
    HostSession& s = hostSession();
    SingleLineFields f;
    f.iii = s.app;
    f.doc = s.doc;
    f.iiap = s.app;
    f.ttx = HostObject::query(entity.get(), IID_IGcadText, L"IGcadText");
    f.eehandle = f.ttx.getString(L"Handle");
    return f;
}

void applyStyle(const LineEditorWindow& window, const SingleLineStyle& st) {
    window.behaviour().cStType = st.startType;
    window->setCaption(st.caption);
}

// A font type stepped in the window is recorded for the style's font, even
// after Cancel; a full cycle back to the start records nothing.
void recordChangedFontType(hebrew::fntType startType) {
    hebrew::TfrmFonts& fonts = *frmFonts();
    if (fonts.cStType != startType) fonts.changefnt(fonts.cStFont, fonts.cStType);
}

void editSingleLineText(const HostObject& entity) {
    LineEditorWindow window;
    SingleLineFields f = fillFields(entity);
    HostTextEntity text(f.ttx);
    window.behaviour().setEntity(&text);
    f.style = setStyleState(f.ttx, textStyles());
    applyStyle(window, f.style);
    window.behaviour().setChangeHandlerAttached(false);  // filling the box writes nothing
    f.oldstr = f.ttx.getString(L"TextString");
    window->setEditText(frmFonts()->AcadToEditWin(u16(f.oldstr)));
    window.behaviour().ChangeEd();
    // ChangeEd attaches the change handler only when the box is not empty;
    // for a text stored empty it is attached here, or nothing typed would
    // reach the drawing and OK would lose it.
    window.behaviour().setChangeHandlerAttached(true);
    if (window->ShowModal() == editors::kModalCancel) f.ttx.put(L"TextString", Variant(f.oldstr));
    recordChangedFontType(f.style.startType);
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
    LineEditorWindow window;
    s.entity = HostObject::query(entity.Get(), IID_IGcadEntity, L"IGcadEntity");
    SingleLineFields f = fillFields(s.entity);
    HostTextEntity text(f.ttx);
    window.behaviour().setEntity(&text);
    f.styles = textStyles();
    f.style = setStyleState(f.ttx, f.styles);
    applyStyle(window, f.style);
    f.oldstr.clear();
    window->setEditText(u"");  // the change handler stays attached: typing writes at once
    window.behaviour().ChangeEd();
    if (window->ShowModal() == editors::kModalCancel) {
        f.ttx.put(L"TextString", Variant(std::wstring()));
    } else {
        HostObject active = s.app.getObject(L"ActiveDocument", IID_IGcadDocument, L"IGcadDocument");
        active.call(L"NewTextConfirmed");
    }
    recordChangedFontType(f.style.startType);
}

void commandEdit() {
    if (!ConnectHost()) return;
    HostSession& s = hostSession();
    HostObject utility = s.doc.getObject(L"Utility", IID_IGcadUtility, L"IGcadUtility");
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
    return commandBoundary([&] { commandNewtext(handle); });
}

HRESULT TKeltrav::Edit() { return commandBoundary(commandEdit); }

HRESULT TKeltrav::Mtext() { return commandBoundary(commandMtext); }

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
