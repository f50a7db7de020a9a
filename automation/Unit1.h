// TKeltrav: the automation object and its three commands.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "vorn2017.h"

namespace automation {

// The commands themselves; each throws on failure (host_error.h).
void commandNewtext(const std::wstring& ent);
void commandEdit();
void commandMtext();

class TKeltrav : public IKeltrav, public ISupportErrorInfo {
public:
    TKeltrav();
    virtual ~TKeltrav();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch, served from the embedded type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* argError) override;

    // IKeltrav
    HRESULT STDMETHODCALLTYPE Newtext(BSTR ent) override;
    HRESULT STDMETHODCALLTYPE Edit() override;
    HRESULT STDMETHODCALLTYPE Mtext() override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    LONG refs_ = 1;
};

// The type information of IKeltrav from the library's own type library.
ITypeInfo* keltravTypeInfo();

}  // namespace automation
