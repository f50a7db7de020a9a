// A stand-in automation server for the test host's own tests: the same
// interface layout as the real one (Newtext, Edit, Mtext after IDispatch),
// with commands small enough to predict, that drive the host's object model
// through IDispatch by name, show message boxes, report errors, and (Mtext)
// keep one reference on purpose so that the host's count can be checked.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

// {C3888F45-92ED-4EA6-94A9-F4CB6BCB30C3}
constexpr CLSID CLSID_FakeServer = {0xC3888F45, 0x92ED, 0x4EA6, {0x94, 0xA9, 0xF4, 0xCB, 0x6B, 0xCB, 0x30, 0xC3}};
// The real server's interface identifier: the test host asks for it when early bound.
// {410A2C99-2B03-43BA-AC87-5EE6A9F3A47D}
constexpr IID IID_IKeltrav = {0x410A2C99, 0x2B03, 0x43BA, {0xAC, 0x87, 0x5E, 0xE6, 0xA9, 0xF3, 0xA4, 0x7D}};
constexpr const wchar_t* kHostProgId = L"Gstarcad.Application";
constexpr const wchar_t* kProgId = L"testhost.FakeServer";
constexpr HRESULT kNoEntity = static_cast<HRESULT>(0x80040201);

HMODULE g_module = nullptr;
LONG g_objects = 0;
// Kept from the first command until the library is unloaded, as the real server does.
ComPtr<IDispatch> g_application;
// The references Mtext keeps on purpose.
std::vector<ComPtr<IDispatch>> g_kept;

struct IKeltrav : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Newtext(BSTR ent) = 0;
    virtual HRESULT STDMETHODCALLTYPE Edit() = 0;
    virtual HRESULT STDMETHODCALLTYPE Mtext() = 0;
};

class Value {
public:
    Value() { VariantInit(&v_); }
    explicit Value(const std::wstring& s) {
        V_VT(&v_) = VT_BSTR;
        V_BSTR(&v_) = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    }
    ~Value() { VariantClear(&v_); }
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;
    VARIANT* get() { return &v_; }
    std::wstring text() const {
        return V_VT(&v_) == VT_BSTR && V_BSTR(&v_) ? std::wstring(V_BSTR(&v_), SysStringLen(V_BSTR(&v_))) : L"";
    }
    IDispatch* object() const { return V_VT(&v_) == VT_DISPATCH ? V_DISPATCH(&v_) : nullptr; }

private:
    VARIANT v_;
};

// A call by name, arguments in their listed order.
HRESULT invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
    if (!object) return E_POINTER;
    DISPID id;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    EXCEPINFO info{};
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &info, nullptr);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return hr;
}

HRESULT get(IDispatch* object, const wchar_t* name, Value& out) {
    return invoke(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, out.get());
}

ComPtr<IDispatch> getObject(IDispatch* object, const wchar_t* name) {
    Value v;
    if (FAILED(get(object, name, v))) return nullptr;
    return ComPtr<IDispatch>(v.object());
}

HRESULT fail(HRESULT code, const std::wstring& text) {
    ComPtr<ICreateErrorInfo> create;
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetSource(const_cast<LPOLESTR>(kProgId));
        create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
        if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
    }
    return code;
}

ComPtr<IDispatch> document() {
    if (!g_application) {
        CLSID clsid;
        ComPtr<IUnknown> running;
        if (FAILED(CLSIDFromProgID(kHostProgId, &clsid)) || FAILED(GetActiveObject(clsid, nullptr, &running)) ||
            FAILED(running.As(&g_application)))
            return nullptr;
    }
    return getObject(g_application.Get(), L"ActiveDocument");
}

// Edit: pick, bracket the picked text, update it and say so.
HRESULT edit() {
    ComPtr<IDispatch> doc = document();
    if (!doc) return fail(E_FAIL, L"No host");
    ComPtr<IDispatch> utility = getObject(doc.Get(), L"Utility");
    Value picked, point, prompt(L"Pick: "), ignored;
    VARIANT objectRef{}, pointRef{};
    V_VT(&objectRef) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&objectRef) = picked.get();
    V_VT(&pointRef) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&pointRef) = point.get();
    // Spelled in lower case: the host looks names up without regard to case.
    if (FAILED(invoke(utility.Get(), L"getentity", DISPATCH_METHOD, {objectRef, pointRef, *prompt.get()},
                      ignored.get())))
        return S_OK;
    IDispatch* entity = picked.object();
    if (!entity) {
        Value message(L"Nothing selected");
        return invoke(utility.Get(), L"Prompt", DISPATCH_METHOD, {*message.get()}, ignored.get());
    }
    Value text, handle;
    if (HRESULT hr = get(entity, L"TextString", text); FAILED(hr)) return hr;
    Value bracketed(L"<" + text.text() + L">");
    if (HRESULT hr = invoke(entity, L"TextString", DISPATCH_PROPERTYPUT, {*bracketed.get()}, nullptr); FAILED(hr))
        return fail(hr, L"Cannot write the text");
    invoke(entity, L"Update", DISPATCH_METHOD, {}, ignored.get());
    get(entity, L"Handle", handle);
    MessageBoxW(nullptr, (L"Edited " + handle.text()).c_str(), L"Fake editor", MB_OKCANCEL);
    return S_OK;
}

// Newtext: the entity by handle, then a command sent to the host.
HRESULT newtext(const std::wstring& ent) {
    ComPtr<IDispatch> doc = document();
    if (!doc) return fail(E_FAIL, L"No host");
    Value handle(ent), entity, ignored;
    if (FAILED(invoke(doc.Get(), L"HandleToObject", DISPATCH_METHOD, {*handle.get()}, entity.get())))
        return fail(kNoEntity, L"No entity " + ent);
    Value command(L"_FAKE " + ent + L"\n");
    return invoke(doc.Get(), L"SendCommand", DISPATCH_METHOD, {*command.get()}, ignored.get());
}

// Mtext: a point and a width from the user, a new entity, and one
// reference to it kept past the unload on purpose.
HRESULT mtext() {
    ComPtr<IDispatch> doc = document();
    if (!doc) return fail(E_FAIL, L"No host");
    ComPtr<IDispatch> utility = getObject(doc.Get(), L"Utility");
    Value point, width, missing, prompt(L"Insertion point: "), widthPrompt(L"Width: "), created;
    V_VT(missing.get()) = VT_ERROR;
    V_ERROR(missing.get()) = DISP_E_PARAMNOTFOUND;
    if (FAILED(invoke(utility.Get(), L"GetPoint", DISPATCH_METHOD, {*missing.get(), *prompt.get()}, point.get())))
        return S_OK;
    if (FAILED(invoke(utility.Get(), L"GetDistance", DISPATCH_METHOD, {*point.get(), *widthPrompt.get()}, width.get())))
        return S_OK;
    ComPtr<IDispatch> block = getObject(getObject(doc.Get(), L"ActiveLayout").Get(), L"Block");
    Value text(L"new");
    HRESULT hr = invoke(block.Get(), L"AddMText", DISPATCH_METHOD, {*point.get(), *width.get(), *text.get()},
                        created.get());
    if (FAILED(hr)) return hr;
    g_kept.emplace_back(created.object());
    return S_OK;
}

class FakeServer : public IKeltrav {
public:
    FakeServer() { InterlockedIncrement(&g_objects); }
    virtual ~FakeServer() { InterlockedDecrement(&g_objects); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch) && !IsEqualIID(riid, IID_IKeltrav))
            return E_NOINTERFACE;
        *out = static_cast<IKeltrav*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        static const struct {
            const wchar_t* name;
            DISPID id;
        } members[] = {{L"Newtext", 201}, {L"Edit", 202}, {L"Mtext", 203}};
        for (const auto& member : members)
            if (lstrcmpiW(member.name, names[0]) == 0) return *ids = member.id, S_OK;
        *ids = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    // A failing command's error information travels in EXCEPINFO.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO* excep,
                                     UINT*) override {
        HRESULT hr;
        if (id == 201) {
            if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
            Value ent;
            if (FAILED(VariantChangeType(ent.get(), &params->rgvarg[0], 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
            hr = Newtext(V_BSTR(ent.get()));
        } else if (id == 202) {
            hr = Edit();
        } else if (id == 203) {
            hr = Mtext();
        } else {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (SUCCEEDED(hr)) return hr;
        if (excep) {
            *excep = EXCEPINFO{};
            excep->scode = hr;
            ComPtr<IErrorInfo> info;
            if (GetErrorInfo(0, &info) == S_OK && info) {
                info->GetSource(&excep->bstrSource);
                info->GetDescription(&excep->bstrDescription);
            }
        }
        return DISP_E_EXCEPTION;
    }
    HRESULT STDMETHODCALLTYPE Newtext(BSTR ent) override { return newtext(ent ? ent : L""); }
    HRESULT STDMETHODCALLTYPE Edit() override { return edit(); }
    HRESULT STDMETHODCALLTYPE Mtext() override { return mtext(); }

private:
    LONG refs_ = 0;  // the creator's ComPtr takes the first
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        ComPtr<FakeServer> server(new FakeServer());
        return server->QueryInterface(riid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

std::wstring clsidText() {
    wchar_t text[40];
    StringFromGUID2(CLSID_FakeServer, text, 40);
    return text;
}

LSTATUS setValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY opened;
    LSTATUS status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
    return status;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        g_application.Reset();
        for (ComPtr<IDispatch>& kept : g_kept) kept.Detach();  // kept past the unload on purpose
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    *out = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_FakeServer)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(g_module, path, MAX_PATH);
    const std::wstring classKey = L"Software\\Classes\\CLSID\\" + clsidText();
    LSTATUS status = setValue(classKey + L"\\InprocServer32", nullptr, path);
    if (status == ERROR_SUCCESS) status = setValue(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    if (status == ERROR_SUCCESS) status = setValue(L"Software\\Classes\\" + std::wstring(kProgId) + L"\\CLSID", nullptr, clsidText());
    return HRESULT_FROM_WIN32(status);
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\CLSID\\" + clsidText()).c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + std::wstring(kProgId)).c_str());
    return S_OK;
}
