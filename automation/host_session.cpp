#include "host_session.h"

#include <string>

#include "automation/host_ids.h"
#include "automation/platform_win32.h"

namespace automation {

namespace {

std::unique_ptr<FontServiceHost>& fontService() {
    static std::unique_ptr<FontServiceHost> service;
    return service;
}

// The running application registered under progId, or an empty object.
HostObject runningApplication(const wchar_t* progId) {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(progId, &clsid))) return {};
    ComPtr<IUnknown> unknown;
    if (FAILED(GetActiveObject(clsid, nullptr, &unknown)) || !unknown) return {};
    ComPtr<IDispatch> dispatch;
    if (FAILED(unknown.As(&dispatch))) return {};
    try {
        return HostObject::query(dispatch.Get(), IID_IGcadApplication, L"IGcadApplication");
    } catch (const CommandError&) {
        return {};
    }
}

}  // namespace

HostSession& hostSession() {
    static HostSession session;
    return session;
}

hebrew::TfrmFonts* frmFonts() { return fontService() ? &fontService()->fonts() : nullptr; }

void initializeHostSession() { hostSession().hostVersion = 20; }

bool ConnectHost() {
    HostSession& s = hostSession();
    HostObject app = runningApplication(kHostProgIds[0]);
    if (!app) {
        app = runningApplication(kHostProgIds[1]);
        if (!app) {
            // Deliberate: the message reads as users have always seen it.
            const std::wstring message = L"Can't get Gstar oleobj, ver =" + std::to_wstring(s.hostVersion);
            MessageBoxW(nullptr, message.c_str(), L"vorn2020", MB_OK);
            return false;
        }
        s.hostVersion = 20;
    }
    s.app = std::move(app);
    s.doc = s.app.getObject(L"ActiveDocument", IID_IGcadDocument, L"IGcadDocument");
    if (!fontService()) fontService() = std::make_unique<FontServiceHost>();
    return true;
}

void releaseHostSession() {
    if (std::unique_ptr<FontServiceHost>& service = fontService()) {
        try {
            service->fonts().writeSettings();
            service.reset();  // its own write at the end gives the same file
        } catch (...) {
            // Unwritable: kept, and tried again at unload.
        }
    }
    HostSession& s = hostSession();
    for (HostObject* object : {&s.doc, &s.app, &s.entity}) object->reset();
}

void finalizeHostSession(bool processExit) {
    fontService().reset();
    HostSession& s = hostSession();
    for (HostObject* object : {&s.doc, &s.app, &s.entity}) {
        if (processExit) object->abandon();
        else object->reset();
    }
}

}  // namespace automation
