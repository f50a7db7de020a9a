#include "testhost/selfcheck.h"

#include <oleauto.h>
#include <psapi.h>

#include "automation/host_ids.h"
#include "testhost/dispatch.h"
#include "testhost/json.h"

namespace testhost {

namespace {

using namespace automation;

constexpr const wchar_t* kSelfcheckPrompt = L"Select an object: ";

// Calls a member by name with the arguments in their listed order.
HRESULT callByName(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result,
                   std::wstring& errorText) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names = const_cast<LPOLESTR>(name);
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    EXCEPINFO info{};
    UINT argError = 0;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &info, &argError);
    if (hr == DISP_E_EXCEPTION) {
        errorText = fromBstr(info.bstrDescription);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
    }
    return hr;
}

// The dispatch object a property gives, asked for the interface iid.
HRESULT objectProperty(IDispatch* object, const wchar_t* name, const GUID& iid, ComPtr<IDispatch>& out) {
    Variant value;
    std::wstring ignored;
    HRESULT hr = callByName(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, value.get(), ignored);
    if (FAILED(hr)) return hr;
    if (V_VT(value.get()) != VT_DISPATCH || !V_DISPATCH(value.get())) return E_POINTER;
    return V_DISPATCH(value.get())->QueryInterface(iid, reinterpret_cast<void**>(out.ReleaseAndGetAddressOf()));
}

class Findings {
public:
    // Records one step's result; true when it succeeded.
    bool step(const char* name, HRESULT hr) {
        fields_.push_back({name, json::hresult(hr)});
        return SUCCEEDED(hr);
    }
    void add(const char* name, std::string value) { fields_.push_back({name, std::move(value)}); }
    std::string json() const { return json::object(fields_); }

private:
    std::vector<json::Field> fields_;
};

void pickThroughUtility(IDispatch* utility, Findings& findings) {
    Variant object, point, result;
    VARIANT objectRef, pointRef;
    V_VT(&objectRef) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&objectRef) = object.get();
    V_VT(&pointRef) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&pointRef) = point.get();
    Variant prompt;
    *prompt.get() = stringVariant(kSelfcheckPrompt);
    std::wstring errorText;
    const HRESULT hr =
        callByName(utility, L"GetEntity", DISPATCH_METHOD, {objectRef, pointRef, *prompt.get()}, result.get(), errorText);
    findings.step("getEntity", hr);
    if (FAILED(hr)) return findings.add("getEntityError", json::quote(errorText));
    findings.add("point", describeVariant(*point.get()));
    if (V_VT(object.get()) != VT_DISPATCH || !V_DISPATCH(object.get())) return findings.add("picked", json::null());
    Variant handle;
    if (SUCCEEDED(callByName(V_DISPATCH(object.get()), L"Handle", DISPATCH_PROPERTYGET, {}, handle.get(), errorText)))
        findings.add("picked", json::quote(asString(*handle.get()).value_or(L"")));
}

std::string checkProgId(const wchar_t* progId) {
    Findings findings;
    findings.add("progId", json::quote(progId));
    CLSID clsid;
    ComPtr<IUnknown> running;
    ComPtr<IDispatch> application, document, utility;
    if (findings.step("clsidFromProgId", CLSIDFromProgID(progId, &clsid)) &&
        findings.step("getActiveObject", GetActiveObject(clsid, nullptr, &running)) &&
        findings.step("queryApplication",
                      running.CopyTo(IID_IGcadApplication, reinterpret_cast<void**>(application.GetAddressOf()))) &&
        findings.step("activeDocument", objectProperty(application.Get(), L"ActiveDocument", IID_IGcadDocument, document)) &&
        findings.step("utility", objectProperty(document.Get(), L"Utility", IID_IGcadUtility, utility)))
        pickThroughUtility(utility.Get(), findings);
    return findings.json();
}

}  // namespace

std::string selfcheckRunningObjects() {
    std::vector<std::string> results;
    for (const wchar_t* progId : kHostProgIds) results.push_back(checkProgId(progId));
    return json::array(results);
}

std::string selfcheckMessageBox(const Selfcheck& check) {
    const int answer = MessageBoxW(nullptr, check.text.c_str(), check.caption.c_str(), check.type);
    return json::object({{"messageBoxResult", json::integer(answer)}});
}

// Open handles, counted by asking for each handle value's flags: not every
// platform answers the process's handle count.
long long openHandles() {
    long long count = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

BOOL CALLBACK countWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<long long*>(count);
    return TRUE;
}

std::string selfcheckResources() {
    CoFreeUnusedLibrariesEx(0, 0);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    long long windows = 0;
    EnumThreadWindows(GetCurrentThreadId(), countWindow, reinterpret_cast<LPARAM>(&windows));
    const HANDLE self = GetCurrentProcess();
    return json::object({{"handles", json::integer(openHandles())},
                         {"threadWindows", json::integer(windows)},
                         {"gdiObjects", json::integer(GetGuiResources(self, GR_GDIOBJECTS))},
                         {"userObjects", json::integer(GetGuiResources(self, GR_USEROBJECTS))},
                         {"privateBytes", json::integer(static_cast<long long>(memory.PagefileUsage))},
                         {"serverLoaded", json::boolean(GetModuleHandleW(L"vorn2020.dll") != nullptr)}});
}

}  // namespace testhost
