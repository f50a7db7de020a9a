#include "registration.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "automation/host_ids.h"
#include "automation/server.h"

namespace automation {

namespace {

using Microsoft::WRL::ComPtr;

const wchar_t* const kProgId = L"vorn2017.Keltrav";
const wchar_t* const kDescription = L"Keltrav Object";
const wchar_t* const kVersion = L"1.0";
constexpr LCID kTypeLibLocale = 0x0409;
#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
const wchar_t* const kPlatformKey = L"win64";
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
const wchar_t* const kPlatformKey = L"win32";
#endif

std::wstring guidText(const GUID& g) {
    wchar_t buf[40];
    StringFromGUID2(g, buf, 40);
    return buf;
}

struct Root {
    HKEY key;
    std::wstring prefix;  // in front of every key
};

Root rootOf(Scope scope) {
    return scope == Scope::User ? Root{HKEY_CURRENT_USER, L"Software\\Classes\\"} : Root{HKEY_CLASSES_ROOT, L""};
}

std::wstring modulePath() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(serverModule(), path, MAX_PATH);
    return std::wstring(path, n);
}

// The library's path, in its short form when it holds a blank.
std::wstring registeredPath(const std::wstring& path) {
    if (path.find(L' ') == std::wstring::npos) return path;
    wchar_t shortPath[MAX_PATH];
    DWORD n = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::wstring(shortPath, n) : path;
}

struct Entry {
    std::wstring key;
    const wchar_t* valueName;  // nullptr: the default value
    std::wstring data;
};

std::wstring classKey() { return L"CLSID\\" + guidText(CLSID_Keltrav); }

std::vector<Entry> entries(const std::wstring& path) {
    const std::wstring cls = classKey();
    return {
        {cls, nullptr, kDescription},
        {cls + L"\\InprocServer32", nullptr, registeredPath(path)},
        {cls + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {kProgId, nullptr, kDescription},
        {std::wstring(kProgId) + L"\\Clsid", nullptr, guidText(CLSID_Keltrav)},
        {cls + L"\\ProgID", nullptr, kProgId},
        {cls + L"\\Version", nullptr, kVersion},
        {cls + L"\\TypeLib", nullptr, guidText(LIBID_vorn2017)},
    };
}

std::wstring folderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring typeLibKey() { return L"TypeLib\\" + guidText(LIBID_vorn2017); }
std::wstring interfaceKey() { return L"Interface\\" + guidText(IID_IKeltrav); }

// The type library's keys for the current user, as the machine-wide
// registration writes them under the classes root. Written by hand: the
// per-user registration of some platforms registers for the whole machine.
std::vector<Entry> typeLibraryEntries(const std::wstring& path) {
    const std::wstring lib = typeLibKey() + L"\\1.0";
    const std::wstring itf = interfaceKey();
    const std::wstring automationProxy = L"{00020424-0000-0000-C000-000000000046}";
    return {
        {lib, nullptr, L"vorn2017"},
        {lib + L"\\FLAGS", nullptr, L"8"},  // has a disk image
        {lib + L"\\HELPDIR", nullptr, folderOf(path)},
        {lib + L"\\409\\" + kPlatformKey, nullptr, path},
        {itf, nullptr, L"IKeltrav"},
        {itf + L"\\ProxyStubClsid", nullptr, automationProxy},
        {itf + L"\\ProxyStubClsid32", nullptr, automationProxy},
        {itf + L"\\TypeLib", nullptr, guidText(LIBID_vorn2017)},
        {itf + L"\\TypeLib", L"Version", kVersion},
    };
}

bool writeEntry(const Root& root, const Entry& e) {
    HKEY key;
    if (RegCreateKeyExW(root.key, (root.prefix + e.key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const auto bytes = static_cast<DWORD>((e.data.size() + 1) * sizeof(wchar_t));
    LONG rc = RegSetValueExW(key, e.valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(e.data.c_str()), bytes);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

void deleteKey(const Root& root, const std::wstring& key) { RegDeleteTreeW(root.key, (root.prefix + key).c_str()); }

HRESULT registerTypeLibrary(Scope scope, const std::wstring& path) {
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    if (scope == Scope::User) {
        const Root root = rootOf(scope);
        for (const Entry& e : typeLibraryEntries(path))
            if (!writeEntry(root, e)) return E_FAIL;
        return S_OK;
    }
    std::wstring folder = folderOf(path);
    return RegisterTypeLib(library.Get(), const_cast<OLECHAR*>(path.c_str()), const_cast<OLECHAR*>(folder.c_str()));
}

// Whether the server of the other bitness is still registered in this scope:
// then the keys both share stay for it.
bool otherServerRegistered(Scope scope) {
    const HKEY base = scope == Scope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    const std::wstring key = L"Software\\Classes\\" + classKey() + L"\\InprocServer32";
    HKEY opened;
    if (RegOpenKeyExW(base, key.c_str(), 0, KEY_READ | kOtherView, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

void unregisterTypeLibrary(Scope scope, bool shared) {
    const Root root = rootOf(scope);
    if (shared) {
        // Only this bitness's entry of the type library goes.
        deleteKey(root, typeLibKey() + L"\\1.0\\409\\" + kPlatformKey);
    } else if (scope == Scope::User) {
        deleteKey(root, typeLibKey());
        deleteKey(root, interfaceKey());
    } else {
        UnRegisterTypeLib(LIBID_vorn2017, 1, 0, kTypeLibLocale, kSysKind);
    }
}

}  // namespace

HRESULT registerServer(Scope scope) {
    const std::wstring path = modulePath();
    if (FAILED(registerTypeLibrary(scope, path))) return E_FAIL;
    const Root root = rootOf(scope);
    for (const Entry& e : entries(path))
        if (!writeEntry(root, e)) return E_FAIL;
    return S_OK;
}

HRESULT unregisterServer(Scope scope) {
    const Root root = rootOf(scope);
    const std::wstring cls = classKey();
    for (const wchar_t* sub : {L"\\ProgID", L"\\Version", L"\\TypeLib", L"\\InprocServer32"}) deleteKey(root, cls + sub);
    deleteKey(root, cls);
    const bool shared = otherServerRegistered(scope);
    if (!shared) deleteKey(root, kProgId);
    unregisterTypeLibrary(scope, shared);
    return S_OK;
}

}  // namespace automation
