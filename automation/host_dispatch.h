// A host object behind one of its interfaces, called by name through the
// dispatch part of that interface. Names are looked up once per object (a
// HostObject and its copies share one table): two host objects never share
// an identifier, whatever interface they are reached through, and a new
// connection, which gets new objects, starts afresh. A failing call throws a
// HostError with the host's code and text.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "automation/host_error.h"
#include "hebrew/text_encoding.h"

namespace automation {

using Microsoft::WRL::ComPtr;

// The host's strings and the editors' text are both UTF-16: the same code
// units under another character type (the commands' short names).
inline std::u16string u16(std::wstring_view s) { return hebrew::fromWide(s); }
inline std::wstring wide(std::u16string_view s) { return hebrew::toWide(s); }

// A VARIANT that clears itself.
class Variant {
public:
    Variant() { VariantInit(&v_); }
    explicit Variant(const std::wstring& s);
    explicit Variant(double d);
    explicit Variant(long n);
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }

    VARIANT* get() { return &v_; }
    const VARIANT& operator*() const { return v_; }
    VARIANT release() {
        VARIANT out = v_;
        VariantInit(&v_);
        return out;
    }

private:
    VARIANT v_;
};

class HostObject {
public:
    HostObject() = default;
    // Asks obj for the interface iid; an object that lacks it is a failure.
    static HostObject query(IUnknown* obj, const GUID& iid, const wchar_t* interfaceName);

    explicit operator bool() const { return dispatch_ != nullptr; }
    IDispatch* get() const { return dispatch_.Get(); }
    void reset() {
        dispatch_.Reset();
        names_.reset();
    }
    // Forgets the reference without releasing it (the host may be gone).
    void abandon() {
        dispatch_.Detach();
        names_.reset();
    }

    // Arguments in the order the host's documentation lists them.
    Variant invoke(const wchar_t* name, WORD flags, std::initializer_list<VARIANT*> args = {}) const;
    Variant get(const wchar_t* name) const { return invoke(name, DISPATCH_PROPERTYGET | DISPATCH_METHOD); }
    void put(const wchar_t* name, Variant value) const;
    Variant call(const wchar_t* name, std::initializer_list<VARIANT*> args = {}) const {
        return invoke(name, DISPATCH_METHOD, args);
    }

    std::wstring getString(const wchar_t* name) const;
    long getLong(const wchar_t* name) const;
    double getDouble(const wchar_t* name) const;
    bool getBool(const wchar_t* name) const;
    // The object a property gives, asked for the interface iid.
    HostObject getObject(const wchar_t* name, const GUID& iid, const wchar_t* interfaceName) const;

private:
    // Dispatch identifiers by lower-case name.
    using NameTable = std::map<std::wstring, DISPID>;

    HostObject(ComPtr<IDispatch> dispatch, const wchar_t* interfaceName)
        : dispatch_(std::move(dispatch)), interfaceName_(interfaceName), names_(std::make_shared<NameTable>()) {}
    DISPID dispidOf(const wchar_t* name) const;

    ComPtr<IDispatch> dispatch_;
    const wchar_t* interfaceName_ = L"";
    std::shared_ptr<NameTable> names_;
};

// The value of a variant as a string, number or object; a wrong type is a failure.
std::wstring toString(const VARIANT& v, const wchar_t* what);
ComPtr<IUnknown> toObject(const VARIANT& v);

}  // namespace automation
