// The in-process server under Wine: its type library, registration,
// creation by program identifier and dispatch, without a host running.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "automation/host_ids.h"
#include "test_util.h"

using namespace automation;

namespace {

// The server's path as Windows sees it (Wine maps the Unix root to Z:).
std::wstring serverPath() {
    std::string unix = VORN_SERVER_DLL;
    std::wstring path = L"Z:";
    for (char c : unix) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

std::wstring guidText(const GUID& g) {
    wchar_t buf[40];
    StringFromGUID2(g, buf, 40);
    return buf;
}

// The default or named value of a key, or nullopt when the key is missing.
std::optional<std::wstring> value(HKEY root, const std::wstring& key, const wchar_t* name = nullptr,
                                  REGSAM view = 0) {
    HKEY opened;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return std::nullopt;
    wchar_t data[1024];
    DWORD size = sizeof data, type = 0;
    LONG rc = RegQueryValueExW(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(opened);
    if (rc != ERROR_SUCCESS) return std::wstring(L"<no value>");
    return std::wstring(data);
}

bool keyExists(HKEY root, const std::wstring& key, REGSAM view = 0) {
    HKEY opened;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

DWORD run(const std::wstring& commandLine) {
    std::wstring cmd = commandLine;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return ~0u;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = ~0u;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

const std::wstring kClass = L"CLSID\\" + guidText(CLSID_Keltrav);
const std::wstring kTypeLib = L"TypeLib\\" + guidText(LIBID_vorn2017) + L"\\1.0";
const std::wstring kPlatform = sizeof(void*) == 8 ? L"win64" : L"win32";
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
constexpr REGSAM kOwnView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
const std::wstring kOtherPlatform = sizeof(void*) == 8 ? L"win32" : L"win64";

struct ExpectedKey {
    std::wstring key;
    const wchar_t* name;
    std::wstring data;
};

std::vector<ExpectedKey> expectedKeys(const std::wstring& path) {
    return {
        {kClass, nullptr, L"Keltrav Object"},
        {kClass + L"\\InprocServer32", nullptr, path},
        {kClass + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {L"vorn2017.Keltrav", nullptr, L"Keltrav Object"},
        {L"vorn2017.Keltrav\\Clsid", nullptr, guidText(CLSID_Keltrav)},
        {kClass + L"\\ProgID", nullptr, L"vorn2017.Keltrav"},
        {kClass + L"\\Version", nullptr, L"1.0"},
        {kClass + L"\\TypeLib", nullptr, guidText(LIBID_vorn2017)},
    };
}

void expectRegistered(HKEY root, const std::wstring& prefix, const std::wstring& path) {
    for (const auto& k : expectedKeys(path))
        EXPECT_EQ(value(root, prefix + k.key, k.name).value_or(L"<missing>"), k.data) << testutil::utf8(std::u16string(k.key.begin(), k.key.end()));
    EXPECT_EQ(value(root, prefix + kTypeLib + L"\\409\\" + kPlatform).value_or(L"<missing>"), path) << "type library";
    EXPECT_EQ(value(root, prefix + L"Interface\\" + guidText(IID_IKeltrav) + L"\\TypeLib").value_or(L"<missing>"),
              guidText(LIBID_vorn2017));
}

void expectUnregistered(HKEY root, const std::wstring& prefix) {
    EXPECT_FALSE(keyExists(root, prefix + kClass));
    EXPECT_FALSE(keyExists(root, prefix + L"vorn2017.Keltrav"));
    EXPECT_FALSE(keyExists(root, prefix + kTypeLib + L"\\409\\" + kPlatform));
}

class Registration : public ::testing::Test {
protected:
    void TearDown() override {
        run(L"regsvr32 /s /u \"" + serverPath() + L"\"");
        run(L"regsvr32 /s /u /n /i:user \"" + serverPath() + L"\"");
    }
};

TEST_F(Registration, ForTheMachine) {
    ASSERT_EQ(run(L"regsvr32 /s \"" + serverPath() + L"\""), 0u);
    expectRegistered(HKEY_CLASSES_ROOT, L"", serverPath());
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, L"Software\\Classes\\" + kClass)) << "nothing for the user";
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, L"Software\\Classes\\" + kTypeLib));
    ASSERT_EQ(run(L"regsvr32 /s /u \"" + serverPath() + L"\""), 0u);
    expectUnregistered(HKEY_CLASSES_ROOT, L"");
}

TEST_F(Registration, ForTheCurrentUserAnyCase) {
    for (const wchar_t* word : {L"user", L"USER"}) {
        ASSERT_EQ(run(std::wstring(L"regsvr32 /s /n /i:") + word + L" \"" + serverPath() + L"\""), 0u);
        expectRegistered(HKEY_CURRENT_USER, L"Software\\Classes\\", serverPath());
        EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + kClass)) << "nothing for the machine";
        EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + kTypeLib));
        EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\vorn2017.Keltrav"));
        ASSERT_EQ(run(std::wstring(L"regsvr32 /s /u /n /i:") + word + L" \"" + serverPath() + L"\""), 0u);
        expectUnregistered(HKEY_CURRENT_USER, L"Software\\Classes\\");
    }
}

TEST_F(Registration, APathWithABlankIsRegisteredInShortForm) {
    const std::wstring folder = L"C:\\vorn test folder";
    const std::wstring copy = folder + L"\\vorn2020.dll";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(serverPath().c_str(), copy.c_str(), FALSE));
    ASSERT_EQ(run(L"regsvr32 /s \"" + copy + L"\""), 0u);
    wchar_t shortPath[MAX_PATH];
    ASSERT_GT(GetShortPathNameW(copy.c_str(), shortPath, MAX_PATH), 0u);
    auto registered = value(HKEY_CLASSES_ROOT, kClass + L"\\InprocServer32");
    ASSERT_TRUE(registered);
    EXPECT_EQ(*registered, shortPath);
    EXPECT_EQ(registered->find(L' '), std::wstring::npos);
    run(L"regsvr32 /s /u \"" + copy + L"\"");
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
}

// A 64-bit Windows keeps a registry view for each bitness; a 32-bit Windows
// has one view only, and KEY_WOW64_* name that same view.
bool hasOtherRegistryView() {
    if (sizeof(void*) == 8) return true;
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

TEST_F(Registration, UnregisteringLeavesWhatTheOtherBitnessNeeds) {
    ASSERT_EQ(run(L"regsvr32 /s \"" + serverPath() + L"\""), 0u);
    if (!hasOtherRegistryView()) {
        // No other server can be registered beside this one: all of it goes.
        ASSERT_EQ(run(L"regsvr32 /s /u \"" + serverPath() + L"\""), 0u);
        expectUnregistered(HKEY_CLASSES_ROOT, L"");
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kTypeLib));
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"Interface\\" + guidText(IID_IKeltrav)));
        return;
    }
    // The 32-bit server registered beside this one.
    const std::wstring other = L"Software\\Classes\\" + kClass + L"\\InprocServer32";
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, other.c_str(), 0, nullptr, 0, KEY_WRITE | kOtherView, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    HKEY lib;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (kTypeLib + L"\\409\\" + kOtherPlatform).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &lib, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(lib);

    ASSERT_EQ(run(L"regsvr32 /s /u \"" + serverPath() + L"\""), 0u);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + kClass, kOwnView));
    EXPECT_EQ(value(HKEY_CLASSES_ROOT, L"vorn2017.Keltrav\\Clsid").value_or(L""), guidText(CLSID_Keltrav));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kTypeLib + L"\\409\\" + kOtherPlatform));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kTypeLib + L"\\409\\" + kPlatform));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, L"Interface\\" + guidText(IID_IKeltrav)));

    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, other.c_str(), kOtherView, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + kClass).c_str(), kOtherView, 0);
    ASSERT_FALSE(keyExists(HKEY_LOCAL_MACHINE, other, kOtherView)) << "clean for the other tests";
    // What the other server would still need goes too, in both views.
    for (REGSAM view : {kOwnView, kOtherView}) {
        HKEY classes;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, KEY_ALL_ACCESS | view, &classes) != ERROR_SUCCESS)
            continue;
        RegDeleteTreeW(classes, (L"TypeLib\\" + guidText(LIBID_vorn2017)).c_str());
        RegDeleteTreeW(classes, (L"Interface\\" + guidText(IID_IKeltrav)).c_str());
        RegDeleteTreeW(classes, L"vorn2017.Keltrav");
        RegCloseKey(classes);
    }
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"Interface\\" + guidText(IID_IKeltrav))) << "clean for the other tests";
}

TEST(TypeLibrary, AsEmbedded) {
    ITypeLib* lib = nullptr;
    ASSERT_EQ(LoadTypeLibEx(serverPath().c_str(), REGKIND_NONE, &lib), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_vorn2017));
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->lcid, 0x0409u);
    EXPECT_EQ(attr->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    lib->ReleaseTLibAttr(attr);
    BSTR name = nullptr;
    ASSERT_EQ(lib->GetDocumentation(-1, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"vorn2017");
    SysFreeString(name);

    ITypeInfo* dispatch = nullptr;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_IKeltrav, &dispatch), S_OK);
    TYPEATTR* ta = nullptr;
    ASSERT_EQ(dispatch->GetTypeAttr(&ta), S_OK);
    EXPECT_EQ(ta->typekind, TKIND_DISPATCH);
    // Dual and dispatchable; the platform reports OLE-automation compatibility
    // on the interface-table part (below).
    EXPECT_EQ(ta->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE), TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE);
    dispatch->ReleaseTypeAttr(ta);
    BSTR help = nullptr;
    dispatch->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr);
    EXPECT_STREQ(help, L"Dispatch interface for Keltrav Object");
    SysFreeString(help);

    // The interface table: the seven entries of IDispatch, then the three methods.
    HREFTYPE ref;
    ITypeInfo* table = nullptr;
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
    ASSERT_EQ(dispatch->GetRefTypeInfo(ref, &table), S_OK);
    const struct { const wchar_t* name; MEMBERID id; int slot; SHORT params; } methods[] = {
        {L"Newtext", 201, 7, 1}, {L"Edit", 202, 8, 0}, {L"Mtext", 203, 9, 0}};
    TYPEATTR* tableAttr = nullptr;
    ASSERT_EQ(table->GetTypeAttr(&tableAttr), S_OK);
    ASSERT_EQ(tableAttr->cFuncs, 3);
    EXPECT_EQ(tableAttr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(tableAttr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION),
              TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION);
    table->ReleaseTypeAttr(tableAttr);
    for (UINT i = 0; i < 3; ++i) {
        FUNCDESC* f = nullptr;
        ASSERT_EQ(table->GetFuncDesc(i, &f), S_OK);
        BSTR fname = nullptr;
        table->GetDocumentation(f->memid, &fname, nullptr, nullptr, nullptr);
        EXPECT_STREQ(fname, methods[i].name);
        EXPECT_EQ(f->memid, methods[i].id);
        EXPECT_EQ(f->oVft, methods[i].slot * static_cast<int>(sizeof(void*)));
        EXPECT_EQ(f->cParams, methods[i].params);
        EXPECT_EQ(f->callconv, CC_STDCALL);
        if (f->cParams == 1) {
            EXPECT_EQ(f->lprgelemdescParam[0].tdesc.vt, VT_BSTR);
        }
        SysFreeString(fname);
        table->ReleaseFuncDesc(f);
    }
    table->Release();
    dispatch->Release();

    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_Keltrav, &coclass), S_OK);
    ASSERT_EQ(coclass->GetTypeAttr(&ta), S_OK);
    EXPECT_EQ(ta->typekind, TKIND_COCLASS);
    EXPECT_TRUE(ta->wTypeFlags & TYPEFLAG_FCANCREATE);
    coclass->ReleaseTypeAttr(ta);
    coclass->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr);
    EXPECT_STREQ(help, L"Keltrav Object");
    SysFreeString(help);
    coclass->Release();
    lib->Release();
}

TEST(Exports, FactoryAndUnloading) {
    HMODULE dll = LoadLibraryW(serverPath().c_str());
    ASSERT_TRUE(dll);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto getClassObject = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    auto canUnload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    for (const char* name : {"DllRegisterServer", "DllUnregisterServer", "DllInstall"})
        EXPECT_TRUE(GetProcAddress(dll, name)) << name;
    ASSERT_TRUE(getClassObject && canUnload);

    IClassFactory* factory = nullptr;
    EXPECT_EQ(getClassObject(IID_IKeltrav, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(getClassObject(CLSID_Keltrav, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(canUnload(), S_OK);
    IDispatch* a = nullptr;
    IDispatch* b = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&a)), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&b)), S_OK);
    EXPECT_NE(a, b) << "a new object for every request";
    EXPECT_EQ(canUnload(), S_FALSE);
    a->Release();
    EXPECT_EQ(canUnload(), S_FALSE);
    b->Release();
    EXPECT_EQ(canUnload(), S_OK);
    factory->LockServer(TRUE);
    EXPECT_EQ(canUnload(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(canUnload(), S_OK);

    IUnknown* outer = reinterpret_cast<IUnknown*>(factory);
    EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(&a)), CLASS_E_NOAGGREGATION);

    ISupportErrorInfo* support = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IKeltrav), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    support->Release();
    FreeLibrary(dll);
}

TEST(Dispatch, NamesWithoutRegardToCase) {
    HMODULE dll = LoadLibraryW(serverPath().c_str());
    ASSERT_TRUE(dll);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClassObject(CLSID_Keltrav, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IDispatch* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)), S_OK);
    const struct { const wchar_t* name; DISPID id; } names[] = {
        {L"Edit", 202}, {L"edit", 202}, {L"EDIT", 202}, {L"newtext", 201}, {L"NewText", 201}, {L"MTEXT", 203}};
    for (auto n : names) {
        DISPID id = 0;
        LPOLESTR name = const_cast<LPOLESTR>(n.name);
        ASSERT_EQ(object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        EXPECT_EQ(id, n.id);
    }
    LPOLESTR unknown = const_cast<LPOLESTR>(L"Delete");
    DISPID id = 0;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
    object->Release();
    FreeLibrary(dll);
}

}  // namespace
