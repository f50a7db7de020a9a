// Failures inside a command. A failing host call becomes a HostError that
// carries the host's result code and its text; every other failure is a
// CommandError. The COM method boundary turns them into the result code and
// the error information of the call.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace automation {

class HostError : public std::runtime_error {
public:
    HostError(HRESULT code, std::wstring text);
    HRESULT code() const { return code_; }
    const std::wstring& text() const { return text_; }

private:
    HRESULT code_;
    std::wstring text_;
};

// A failure of the server's own (an interface the host object lacks, a
// settings file that cannot be written): E_UNEXPECTED for the caller.
class CommandError : public std::runtime_error {
public:
    explicit CommandError(std::wstring text);
    const std::wstring& text() const { return text_; }

private:
    std::wstring text_;
};

// Throws a HostError for a failed hr, with the error information the callee
// left, or `what` when it left none.
void throwIfFailed(HRESULT hr, const std::wstring& what);

// The source of the error information of every failed command.
constexpr const wchar_t* kErrorSource = L"vorn2017.Keltrav";

// Runs a command; returns S_OK, or the failure's code with its text set as
// the call's error information.
template <typename Command>
HRESULT commandBoundary(Command&& command);

void setErrorInformation(const std::wstring& description);

// An exception's text (UTF-8) for the user.
std::wstring wideFromUtf8(const char* text);

}  // namespace automation

#include "host_error.inl"
