// Host calls by name: each host object answers for its own names, whatever
// interface it is reached through.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <map>
#include <string>

#include "automation/host_dispatch.h"

using automation::HostObject;

namespace {

// An object whose members are a name table; each answers with its object's
// label and its own identifier.
class NamedMembers : public IDispatch {
public:
    NamedMembers(std::wstring label, std::map<std::wstring, DISPID> members)
        : label_(std::move(label)), members_(std::move(members)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        const auto it = members_.find(names[0]);
        if (it == members_.end()) return DISP_E_UNKNOWNNAME;
        ids[0] = it->second;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        for (const auto& [name, member] : members_) {
            if (member != id) continue;
            const std::wstring answer = label_ + L"." + name;
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = SysAllocString(answer.c_str());
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }
    ULONG references() const { return refs_; }

private:
    std::wstring label_;
    std::map<std::wstring, DISPID> members_;
    ULONG refs_ = 1;
};

TEST(HostDispatch, ObjectsBehindOneInterfaceKeepTheirOwnNames) {
    NamedMembers style(L"style", {{L"Name", 1}, {L"FontFile", 2}});
    NamedMembers layout(L"layout", {{L"Name", 7}, {L"Block", 1}});
    {
        const HostObject a = HostObject::query(&style, IID_IDispatch, L"IGcadTextStyle");
        const HostObject b = HostObject::query(&layout, IID_IDispatch, L"IGcadLayout");
        EXPECT_EQ(a.getString(L"Name"), L"style.Name");
        EXPECT_EQ(b.getString(L"Name"), L"layout.Name");
        EXPECT_EQ(b.getString(L"Block"), L"layout.Block");
        const HostObject again = HostObject::query(&layout, IID_IDispatch, L"IGcadLayout");
        EXPECT_EQ(again.getString(L"Name"), L"layout.Name");
    }
    EXPECT_EQ(style.references(), 1u);
    EXPECT_EQ(layout.references(), 1u);
}

}  // namespace
