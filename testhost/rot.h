// The host's program identifiers in the machine registry, and the
// application's registration in the running object table under them.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <string>
#include <vector>

namespace testhost {

struct RotEntry {
    std::wstring progId;
    CLSID clsid;
    HRESULT keyResult = S_OK;
    bool chosen = false;
    HRESULT registerResult = S_OK;
    DWORD cookie = 0;
};

class RunningObjects {
public:
    // Writes every identifier's key; registers the application under the chosen ones.
    void publish(IUnknown* application, const std::vector<std::wstring>& chosen);
    void revoke();
    std::string describe() const;

private:
    std::vector<RotEntry> entries_;
};

}  // namespace testhost
