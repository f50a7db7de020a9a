#include "testhost/host.h"

#include <cwchar>

#include "testhost/entities.h"
#include "testhost/host_objects.h"

namespace testhost {

namespace {

std::optional<unsigned long long> hexValue(const std::wstring& handle) {
    if (handle.empty() || handle.size() > 16) return std::nullopt;
    unsigned long long value = 0;
    for (wchar_t c : handle) {
        const int digit = (c >= L'0' && c <= L'9')   ? c - L'0'
                          : (c >= L'A' && c <= L'F') ? c - L'A' + 10
                          : (c >= L'a' && c <= L'f') ? c - L'a' + 10
                                                     : -1;
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

bool matches(const FailureRule& rule, const wchar_t* className, const wchar_t* member, Access access) {
    return sameName(rule.className.c_str(), className) && sameName(rule.member.c_str(), member) &&
           (!rule.access || *rule.access == access);
}

}  // namespace

std::wstring upperCase(std::wstring s) {
    for (wchar_t& c : s)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return s;
}

Entity* Drawing::find(const std::wstring& handle) const {
    auto it = byHandle.find(upperCase(handle));
    return it == byHandle.end() ? nullptr : it->second;
}

TextStyle* Drawing::findStyle(const std::wstring& name) const {
    for (TextStyle* style : styles)
        if (sameName(style->name().c_str(), name.c_str())) return style;
    return nullptr;
}

std::wstring Drawing::nextHandle() const {
    unsigned long long highest = 0;
    for (const auto& [handle, entity] : byHandle)
        if (auto value = hexValue(handle); value && *value > highest) highest = *value;
    wchar_t text[20];
    std::swprintf(text, 20, L"%llX", highest + 1);
    return text;
}

Host::Host() = default;
Host::~Host() = default;

bool Host::refuses(const wchar_t* className, REFIID iid) const {
    for (const Refusal& refusal : refusals)
        if (sameName(refusal.className.c_str(), className) && IsEqualIID(refusal.iid, iid)) return true;
    return false;
}

const FailureRule* Host::injectedFailure(const wchar_t* className, const wchar_t* member, Access access) {
    const FailureRule* fired = nullptr;
    for (FailureRule& rule : failures) {
        if (!matches(rule, className, member, access)) continue;
        ++rule.seen;
        if (!fired && (rule.nth == 0 || rule.nth == rule.seen)) fired = &rule;
    }
    return fired;
}

std::size_t Host::log(CallRecord record) {
    calls.push_back(std::move(record));
    return calls.size() - 1;
}

}  // namespace testhost
