// The server objects and the calls of their commands: late bound by name,
// by dispatch identifier, or early bound through the interface table.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "testhost/script.h"

namespace testhost {

struct CommandRecord {
    std::wstring written;
    int server = 0;
    std::wstring stage;  // where a failure happened: progid, create, query, names or invoke
    HRESULT hr = S_OK;
    std::optional<HRESULT> progIdResult;  // set when the program identifier was not found
    bool hasErrorInfo = false;
    std::wstring errorSource, errorDescription;
    bool hasExcepInfo = false;
    HRESULT excepCode = S_OK;
    std::wstring excepSource, excepDescription;
    std::vector<std::wstring> uiPending;
    std::string selfcheck;  // JSON, for a selfcheck
};

// The early-bound interface: IDispatch's seven entries, then the commands.
struct IKeltrav : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Newtext(BSTR ent) = 0;
    virtual HRESULT STDMETHODCALLTYPE Edit() = 0;
    virtual HRESULT STDMETHODCALLTYPE Mtext() = 0;
};

class ServerObjects {
public:
    ServerObjects(std::wstring progId, std::optional<CLSID> fallback)
        : progId_(std::move(progId)), fallback_(fallback) {}

    void select(int server) { current_ = server; }
    void release(int server) { objects_.erase(server); }
    void releaseAll() { objects_.clear(); }
    void call(const ServerCall& call, CommandRecord& record);

private:
    // The selected object, created on first use; null after recording the failure.
    IUnknown* current(CommandRecord& record);
    void invoke(IUnknown* server, const ServerCall& call, CommandRecord& record);
    void callEarly(IUnknown* server, const ServerCall& call, CommandRecord& record);

    std::wstring progId_;
    std::optional<CLSID> fallback_;
    int current_ = 1;
    std::map<int, Microsoft::WRL::ComPtr<IUnknown>> objects_;
};

}  // namespace testhost
