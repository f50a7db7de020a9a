// The automation base of every host object: reference counting, interface
// answers from a per-class table, and IDispatch over a per-class member
// table (names matched without regard to case). Every call is logged and
// may be made to fail from the script.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "testhost/variant.h"

namespace testhost {

using Microsoft::WRL::ComPtr;

class Host;
struct CallRecord;

enum class Access { Get, Put, Call };
const wchar_t* accessName(Access access);

// One Invoke: its arguments in the order the member lists them (dispatch
// passes them last first), its result and its failure.
class Invocation {
public:
    Invocation(DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* argError, bool put);

    UINT count() const { return count_; }
    // Null when the argument is absent or passed as missing.
    const VARIANT* argument(UINT index) const;
    // The caller's VARIANT behind a VT_BYREF|VT_VARIANT argument.
    VARIANT* outArgument(UINT index) const;
    const VARIANT* value() const;

    // Converted arguments; a failed conversion has already been answered
    // (the caller returns the HRESULT in `failure`).
    std::optional<std::wstring> stringArgument(UINT index, HRESULT& failure) const;
    std::optional<double> doubleArgument(UINT index, HRESULT& failure) const;
    std::optional<Point> pointArgument(UINT index, HRESULT& failure) const;
    std::optional<std::wstring> stringValue(HRESULT& failure) const;
    std::optional<double> doubleValue(HRESULT& failure) const;
    std::optional<long> longValue(HRESULT& failure) const;

    HRESULT returns(VARIANT value) const;
    HRESULT raise(HRESULT code, const std::wstring& text);
    HRESULT mismatch(UINT index) const;
    HRESULT valueMismatch() const;
    const std::wstring& raisedText() const { return raisedText_; }
    HRESULT raisedCode() const { return raisedCode_; }

private:
    UINT rawIndex(UINT index) const { return params_->cArgs - 1 - index; }

    DISPPARAMS* params_;
    VARIANT* result_;
    EXCEPINFO* excep_;
    UINT* argError_;
    UINT count_;
    bool put_;
    std::wstring raisedText_;
    HRESULT raisedCode_ = S_OK;
};

class HostObject : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* argError) override;

    virtual const wchar_t* className() const = 0;
    // The handle or name that tells this object from others of its class.
    virtual std::wstring objectId() const { return {}; }
    // References beyond the host's own.
    LONG outstandingReferences() const { return refs_ - 1; }

    // The host object behind an interface pointer, or null for a foreign
    // one. No reference is kept: the host holds its objects to the end.
    static HostObject* behind(IUnknown* unknown);

protected:
    explicit HostObject(Host& host) : host_(host) {}
    virtual ~HostObject() = default;

    Host& host_;

private:
    virtual bool answers(REFIID riid) const = 0;
    virtual std::optional<DISPID> dispidOf(const wchar_t* name) const = 0;
    // The member row for an identifier and the caller's flags, or -1.
    virtual int rowFor(DISPID id, WORD flags) const = 0;
    virtual const wchar_t* rowName(int row) const = 0;
    virtual Access rowAccess(int row) const = 0;
    virtual HRESULT callRow(int row, Invocation& call) = 0;

    HRESULT invokeRow(int row, Invocation& call, DISPPARAMS* params);
    void logUnknownName(const wchar_t* name);
    CallRecord callRecord(const std::wstring& member, const wchar_t* access, HRESULT hr) const;

    LONG refs_ = 0;  // the host's own comes with Host::make
};

template <class Self>
struct Member {
    const wchar_t* name;
    DISPID id;
    Access access;
    HRESULT (Self::*handler)(Invocation&);
};

template <class Self>
struct ClassInfo {
    const wchar_t* name;
    const GUID* const* interfaces;
    std::size_t interfaceCount;
    const Member<Self>* members;
    std::size_t memberCount;
};

bool accessAccepts(Access access, WORD flags);
// The JSON form of an argument, for the call log.
std::string describeVariant(const VARIANT& v);
bool sameName(const wchar_t* a, const wchar_t* b);

// A host object whose class is described by a ClassInfo table.
template <class Self>
class Dispatchable : public HostObject {
protected:
    Dispatchable(Host& host, const ClassInfo<Self>& info) : HostObject(host), info_(&info) {}

public:
    const wchar_t* className() const override { return info_->name; }

private:
    bool answers(REFIID riid) const override {
        for (std::size_t i = 0; i < info_->interfaceCount; ++i)
            if (IsEqualIID(riid, *info_->interfaces[i])) return true;
        return false;
    }
    std::optional<DISPID> dispidOf(const wchar_t* name) const override {
        for (std::size_t i = 0; i < info_->memberCount; ++i)
            if (sameName(info_->members[i].name, name)) return info_->members[i].id;
        return std::nullopt;
    }
    int rowFor(DISPID id, WORD flags) const override {
        for (std::size_t i = 0; i < info_->memberCount; ++i)
            if (info_->members[i].id == id && accessAccepts(info_->members[i].access, flags))
                return static_cast<int>(i);
        return -1;
    }
    const wchar_t* rowName(int row) const override { return info_->members[row].name; }
    Access rowAccess(int row) const override { return info_->members[row].access; }
    HRESULT callRow(int row, Invocation& call) override {
        return (static_cast<Self*>(this)->*info_->members[row].handler)(call);
    }

    const ClassInfo<Self>* info_;
};

// The member names of a class, for checking the script's references to them.
struct ClassNames {
    const wchar_t* className;
    std::vector<const wchar_t*> members;
};

template <class Self>
ClassNames namesOf(const ClassInfo<Self>& info) {
    ClassNames names{info.name, {}};
    for (std::size_t i = 0; i < info.memberCount; ++i) names.members.push_back(info.members[i].name);
    return names;
}

}  // namespace testhost
