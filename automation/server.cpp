// The in-process server: its entry points, its class factory and the
// library's load and unload work.
#include <windows.h>
#include <objbase.h>

#include "automation/Unit1.h"
#include "automation/host_ids.h"
#include "automation/host_session.h"
#include "automation/registration.h"
#include "automation/server.h"

namespace automation {

namespace {

HMODULE g_module = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;

// Multiple instancing: every creation request gives a new TKeltrav.
class KeltravFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The factory lives as long as the library; its locks are counted apart.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* object = new (std::nothrow) TKeltrav();
        if (!object) return E_OUTOFMEMORY;
        HRESULT hr = object->QueryInterface(riid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lockServer(lock != FALSE);
        return S_OK;
    }
};

KeltravFactory g_factory;

}  // namespace

HMODULE serverModule() { return g_module; }
void objectCreated() { InterlockedIncrement(&g_objects); }
void objectDestroyed() { InterlockedDecrement(&g_objects); }
void lockServer(bool lock) { lock ? InterlockedIncrement(&g_locks) : InterlockedDecrement(&g_locks); }
bool serverInUse() { return g_objects > 0 || g_locks > 0; }

}  // namespace automation

using namespace automation;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            g_module = instance;
            DisableThreadLibraryCalls(instance);
            // The factory is ready and the host version set in one step.
            initializeHostSession();
            break;
        case DLL_PROCESS_DETACH:
            // reserved is set when the whole process is ending.
            finalizeHostSession(reserved != nullptr);
            break;
        default:
            break;
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, automation::CLSID_Keltrav)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, out);
}

// Before the library may go, what its unload would do under the loader lock
// (a file written, host objects released) is done here.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    if (serverInUse()) return S_FALSE;
    releaseHostSession();
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return registerServer(Scope::Machine); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return unregisterServer(Scope::Machine); }

extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine) {
    const Scope scope = (commandLine && lstrcmpiW(commandLine, L"user") == 0) ? Scope::User : Scope::Machine;
    return install ? registerServer(scope) : unregisterServer(scope);
}
