#include "testhost/server_calls.h"

#include <oleauto.h>

#include "automation/host_ids.h"

namespace testhost {

namespace {

using Microsoft::WRL::ComPtr;

// The arguments of one Invoke, last first as dispatch wants them.
class ArgumentList {
public:
    explicit ArgumentList(const std::vector<ScriptValue>& values) {
        for (auto it = values.rbegin(); it != values.rend(); ++it) variants_.push_back(toVariant(*it));
    }
    ~ArgumentList() {
        for (VARIANT& v : variants_) VariantClear(&v);
    }
    ArgumentList(const ArgumentList&) = delete;
    ArgumentList& operator=(const ArgumentList&) = delete;

    DISPPARAMS params() { return DISPPARAMS{variants_.data(), nullptr, static_cast<UINT>(variants_.size()), 0}; }

private:
    static VARIANT toVariant(const ScriptValue& value) {
        switch (value.kind) {
            case ScriptValue::Kind::Integer: return longVariant(value.integer);
            case ScriptValue::Kind::Real: return doubleVariant(value.real);
            case ScriptValue::Kind::Missing: {
                VARIANT missing;
                V_VT(&missing) = VT_ERROR;
                V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
                return missing;
            }
            case ScriptValue::Kind::String: break;
        }
        return stringVariant(value.text);
    }

    std::vector<VARIANT> variants_;
};

void takeExcepInfo(EXCEPINFO& info, CommandRecord& record) {
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    record.hasExcepInfo = true;
    record.excepCode = info.scode ? info.scode : static_cast<HRESULT>(info.wCode);
    record.excepSource = fromBstr(info.bstrSource);
    record.excepDescription = fromBstr(info.bstrDescription);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
}

void takeErrorInfo(CommandRecord& record) {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info) return;
    BSTR source = nullptr, description = nullptr;
    info->GetSource(&source);
    info->GetDescription(&description);
    record.hasErrorInfo = true;
    record.errorSource = fromBstr(source);
    record.errorDescription = fromBstr(description);
    SysFreeString(source);
    SysFreeString(description);
}

void failed(CommandRecord& record, const wchar_t* stage, HRESULT hr) {
    record.stage = stage;
    record.hr = hr;
}

}  // namespace

IUnknown* ServerObjects::current(CommandRecord& record) {
    record.server = current_;
    if (auto it = objects_.find(current_); it != objects_.end()) return it->second.Get();
    CLSID clsid;
    if (HRESULT hr = CLSIDFromProgID(progId_.c_str(), &clsid); FAILED(hr)) {
        record.progIdResult = hr;
        if (!fallback_) {
            failed(record, L"progid", hr);
            return nullptr;
        }
        clsid = *fallback_;
    }
    ComPtr<IUnknown> created;
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &created);
    if (FAILED(hr) || !created) {
        failed(record, L"create", FAILED(hr) ? hr : E_POINTER);
        return nullptr;
    }
    return (objects_[current_] = created).Get();
}

void ServerObjects::call(const ServerCall& call, CommandRecord& record) {
    SetErrorInfo(0, nullptr);
    IUnknown* server = current(record);
    if (!server) return;
    if (call.binding == ServerCall::Binding::Early) callEarly(server, call, record);
    else invoke(server, call, record);
    if (FAILED(record.hr)) takeErrorInfo(record);
}

void ServerObjects::invoke(IUnknown* server, const ServerCall& call, CommandRecord& record) {
    ComPtr<IDispatch> dispatch;
    if (HRESULT hr = server->QueryInterface(IID_PPV_ARGS(&dispatch)); FAILED(hr)) return failed(record, L"query", hr);
    DISPID id = call.dispid;
    if (call.binding == ServerCall::Binding::Late) {
        LPOLESTR name = const_cast<LPOLESTR>(call.name.c_str());
        if (HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr))
            return failed(record, L"names", hr);
    }
    ArgumentList args(call.args);
    DISPPARAMS params = args.params();
    Variant result;
    EXCEPINFO info{};
    UINT argError = 0;
    const HRESULT hr =
        dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.get(), &info, &argError);
    if (hr == DISP_E_EXCEPTION) takeExcepInfo(info, record);
    if (FAILED(hr)) failed(record, L"invoke", hr);
}

void ServerObjects::callEarly(IUnknown* server, const ServerCall& call, CommandRecord& record) {
    ComPtr<IKeltrav> keltrav;
    if (HRESULT hr = server->QueryInterface(automation::IID_IKeltrav, &keltrav); FAILED(hr))
        return failed(record, L"query", hr);
    HRESULT hr;
    if (sameName(call.name.c_str(), L"Newtext")) {
        Variant handle;
        if (!call.args.empty()) *handle.get() = stringVariant(call.args.front().text);
        hr = keltrav->Newtext(V_VT(handle.get()) == VT_BSTR ? V_BSTR(handle.get()) : nullptr);
    } else if (sameName(call.name.c_str(), L"Edit")) {
        hr = keltrav->Edit();
    } else {
        hr = keltrav->Mtext();
    }
    if (FAILED(hr)) failed(record, L"invoke", hr);
}

}  // namespace testhost
