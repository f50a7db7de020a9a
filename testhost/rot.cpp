#include "testhost/rot.h"

#include <oleauto.h>

#include <iterator>

#include "automation/host_ids.h"
#include "testhost/dispatch.h"
#include "testhost/json.h"

namespace testhost {

namespace {

// The test host's own class identifiers, one for each program identifier
// in automation::kHostProgIds.
// {A8A21BBE-FD16-4328-AE5E-561F84E6ACAA}
constexpr CLSID kApplicationClass = {0xA8A21BBE, 0xFD16, 0x4328, {0xAE, 0x5E, 0x56, 0x1F, 0x84, 0xE6, 0xAC, 0xAA}};
// {1EFDF2D4-8980-4E03-A2E0-008341CB2325}
constexpr CLSID kApplication20Class = {0x1EFDF2D4, 0x8980, 0x4E03, {0xA2, 0xE0, 0x00, 0x83, 0x41, 0xCB, 0x23, 0x25}};
const CLSID* const kHostClasses[] = {&kApplicationClass, &kApplication20Class};
static_assert(std::size(kHostClasses) == std::size(automation::kHostProgIds));

std::wstring guidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

LSTATUS setDefaultValue(const std::wstring& key, const std::wstring& value) {
    HKEY opened = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &opened,
                                     nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExW(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
    return status;
}

HRESULT writeProgIdKey(const std::wstring& progId, const CLSID& clsid) {
    const std::wstring key = L"Software\\Classes\\" + progId;
    LSTATUS status = setDefaultValue(key, L"CAD application (test host)");
    if (status == ERROR_SUCCESS) status = setDefaultValue(key + L"\\CLSID", guidText(clsid));
    return HRESULT_FROM_WIN32(status);
}

bool isChosen(const wchar_t* progId, const std::vector<std::wstring>& chosen) {
    for (const std::wstring& name : chosen)
        if (sameName(name.c_str(), progId)) return true;
    return false;
}

}  // namespace

void RunningObjects::publish(IUnknown* application, const std::vector<std::wstring>& chosen) {
    for (std::size_t i = 0; i < std::size(automation::kHostProgIds); ++i) {
        RotEntry entry{automation::kHostProgIds[i], *kHostClasses[i]};
        entry.keyResult = writeProgIdKey(entry.progId, entry.clsid);
        entry.chosen = isChosen(automation::kHostProgIds[i], chosen);
        if (entry.chosen)
            entry.registerResult = RegisterActiveObject(application, entry.clsid, ACTIVEOBJECT_STRONG, &entry.cookie);
        entries_.push_back(entry);
    }
}

void RunningObjects::revoke() {
    for (RotEntry& entry : entries_) {
        if (entry.cookie) RevokeActiveObject(entry.cookie, nullptr);
        entry.cookie = 0;
    }
}

std::string RunningObjects::describe() const {
    std::vector<std::string> items;
    for (const RotEntry& entry : entries_) {
        std::vector<json::Field> fields{{"progId", json::quote(entry.progId)},
                                        {"clsid", json::quote(guidText(entry.clsid))},
                                        {"keyHr", json::hresult(entry.keyResult)},
                                        {"registered", json::boolean(entry.chosen && SUCCEEDED(entry.registerResult))}};
        if (entry.chosen) fields.push_back({"registerHr", json::hresult(entry.registerResult)});
        items.push_back(json::object(fields));
    }
    return json::arrayLines(items);
}

}  // namespace testhost
