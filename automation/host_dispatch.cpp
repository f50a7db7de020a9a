#include "host_dispatch.h"

#include <oleauto.h>

#include <utility>
#include <vector>

namespace automation {

namespace {

std::wstring lowerCase(const wchar_t* s) {
    std::wstring out(s);
    for (wchar_t& c : out)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return out;
}

std::wstring describeCall(const wchar_t* interfaceName, const wchar_t* name) {
    return std::wstring(interfaceName) + L"." + name;
}

// The host's code and text from a failed Invoke.
[[noreturn]] void throwInvokeFailure(HRESULT hr, EXCEPINFO& info, const std::wstring& what) {
    if (hr == DISP_E_EXCEPTION) {
        if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
        HRESULT code = info.scode ? info.scode : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x200 + info.wCode);
        std::wstring text = info.bstrDescription ? info.bstrDescription : L"";
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        if (text.empty()) text = what + L" failed";
        throw HostError(code, text);
    }
    throwIfFailed(hr, what);
    throw HostError(hr, what);  // not reached
}

}  // namespace

Variant::Variant(const std::wstring& s) {
    VariantInit(&v_);
    V_VT(&v_) = VT_BSTR;
    V_BSTR(&v_) = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
}

Variant::Variant(double d) {
    VariantInit(&v_);
    V_VT(&v_) = VT_R8;
    V_R8(&v_) = d;
}

Variant::Variant(long n) {
    VariantInit(&v_);
    V_VT(&v_) = VT_I4;
    V_I4(&v_) = n;
}

HostObject HostObject::query(IUnknown* obj, const GUID& iid, const wchar_t* interfaceName) {
    if (!obj) throw CommandError(std::wstring(L"No object for ") + interfaceName);
    ComPtr<IUnknown> unknown;
    // A dual interface begins with the dispatch part.
    if (FAILED(obj->QueryInterface(iid, reinterpret_cast<void**>(unknown.GetAddressOf()))) || !unknown)
        throw CommandError(std::wstring(L"The object is not an ") + interfaceName);
    ComPtr<IDispatch> dispatch(static_cast<IDispatch*>(unknown.Get()));
    return HostObject(std::move(dispatch), interfaceName);
}

DISPID HostObject::dispidOf(const wchar_t* name) const {
    NameTable& names = *names_;
    const std::wstring key = lowerCase(name);
    if (auto it = names.find(key); it != names.end()) return it->second;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    throwIfFailed(dispatch_->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id),
                  describeCall(interfaceName_, name));
    names.emplace(key, id);
    return id;
}

Variant HostObject::invoke(const wchar_t* name, WORD flags, std::initializer_list<VARIANT*> args) const {
    if (!dispatch_) throw CommandError(describeCall(interfaceName_, name) + L": no object");
    const DISPID id = dispidOf(name);
    // Dispatch takes the arguments last first.
    std::vector<VARIANT> reversed;
    for (auto it = args.end(); it != args.begin();) reversed.push_back(**--it);
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    DISPID named = DISPID_PROPERTYPUT;
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    Variant result;
    EXCEPINFO info{};
    UINT argError = 0;
    HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                   (flags & DISPATCH_PROPERTYPUT) ? nullptr : result.get(), &info, &argError);
    if (FAILED(hr)) throwInvokeFailure(hr, info, describeCall(interfaceName_, name));
    return result;
}

void HostObject::put(const wchar_t* name, Variant value) const { invoke(name, DISPATCH_PROPERTYPUT, {value.get()}); }

std::wstring toString(const VARIANT& v, const wchar_t* what) {
    Variant copy;
    if (FAILED(VariantChangeType(copy.get(), const_cast<VARIANT*>(&v), 0, VT_BSTR)))
        throw CommandError(std::wstring(what) + L": not a string");
    BSTR s = V_BSTR(copy.get());
    return s ? std::wstring(s, SysStringLen(s)) : std::wstring();
}

ComPtr<IUnknown> toObject(const VARIANT& v) {
    const VARIANT* p = &v;
    if (V_VT(p) == (VT_BYREF | VT_VARIANT)) p = V_VARIANTREF(p);
    if (V_VT(p) == VT_DISPATCH || V_VT(p) == VT_UNKNOWN) return ComPtr<IUnknown>(V_UNKNOWN(p));
    return nullptr;
}

std::wstring HostObject::getString(const wchar_t* name) const {
    return toString(*get(name), describeCall(interfaceName_, name).c_str());
}

long HostObject::getLong(const wchar_t* name) const {
    Variant v = get(name), n;
    if (FAILED(VariantChangeType(n.get(), v.get(), 0, VT_I4)))
        throw CommandError(describeCall(interfaceName_, name) + L": not a number");
    return V_I4(n.get());
}

double HostObject::getDouble(const wchar_t* name) const {
    Variant v = get(name), d;
    if (FAILED(VariantChangeType(d.get(), v.get(), 0, VT_R8)))
        throw CommandError(describeCall(interfaceName_, name) + L": not a number");
    return V_R8(d.get());
}

bool HostObject::getBool(const wchar_t* name) const {
    Variant v = get(name), b;
    if (FAILED(VariantChangeType(b.get(), v.get(), 0, VT_BOOL)))
        throw CommandError(describeCall(interfaceName_, name) + L": not a Boolean");
    return V_BOOL(b.get()) != VARIANT_FALSE;
}

HostObject HostObject::getObject(const wchar_t* name, const GUID& iid, const wchar_t* interfaceName) const {
    Variant v = get(name);
    return query(toObject(*v).Get(), iid, interfaceName);
}

}  // namespace automation
