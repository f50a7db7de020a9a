#include "host_error.h"

#include <oleauto.h>
#include <wrl/client.h>

#include "automation/host_ids.h"
#include "hebrew/text_encoding.h"

using Microsoft::WRL::ComPtr;

namespace automation {

namespace {

std::string narrow(const std::wstring& s) {
    return hebrew::utf16ToUtf8(hebrew::fromWide(s));
}

std::wstring hex(HRESULT hr) {
    wchar_t buf[16];
    swprintf(buf, 16, L"0x%08X", static_cast<unsigned>(hr));
    return buf;
}

}  // namespace

HostError::HostError(HRESULT code, std::wstring text)
    : std::runtime_error(narrow(text)), code_(code), text_(std::move(text)) {}

CommandError::CommandError(std::wstring text) : std::runtime_error(narrow(text)), text_(std::move(text)) {}

std::wstring wideFromUtf8(const char* text) {
    const std::optional<std::u16string> wide = hebrew::utf8ToUtf16(text ? text : "");
    if (!wide) return std::wstring(L"Unexpected failure");
    return hebrew::toWide(*wide);
}

void throwIfFailed(HRESULT hr, const std::wstring& what) {
    if (SUCCEEDED(hr)) return;
    ComPtr<IErrorInfo> info;
    BSTR description = nullptr;
    std::wstring text;
    if (GetErrorInfo(0, &info) == S_OK && info && SUCCEEDED(info->GetDescription(&description)) && description) {
        text = description;
        SysFreeString(description);
    }
    if (text.empty()) text = what + L" failed (" + hex(hr) + L")";
    throw HostError(hr, text);
}

void setErrorInformation(const std::wstring& description) {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(&create))) return;
    create->SetGUID(IID_IKeltrav);
    create->SetSource(const_cast<LPOLESTR>(kErrorSource));
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
}

}  // namespace automation
