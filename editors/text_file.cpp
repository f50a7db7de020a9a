#include "editors/text_file.h"

#include <algorithm>

#include "hebrew/text_encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#endif

namespace editors {

namespace {

bool failed(std::u16string& error, std::u16string message) {
    error = std::move(message);
    return false;
}

}  // namespace

std::u16string normalizeLineBreaks(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            out += u"\r\n";
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

DecodedText decodeTextFile(std::string_view bytes) {
    DecodedText d;
    d.encoding = hebrew::encodingOfMark(bytes);
    const std::string_view body = bytes.substr(hebrew::byteOrderMark(d.encoding).size());
    d.text = normalizeLineBreaks(hebrew::decodeText(body, d.encoding, hebrew::InvalidInput::AsTextFile));
    return d;
}

std::string encodeTextFile(std::u16string_view text, TextEncoding encoding) {
    return std::string(hebrew::byteOrderMark(encoding)) +
           hebrew::encodeText(normalizeLineBreaks(text), encoding, hebrew::InvalidInput::AsTextFile);
}

#ifdef _WIN32

namespace {

std::u16string lastErrorMessage() {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string message = n ? hebrew::fromWide(std::wstring_view(text, n)) : u"Error " + [&] {
        std::string s = std::to_string(code);
        return std::u16string(s.begin(), s.end());
    }();
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n' || message.back() == u' '))
        message.pop_back();
    return message;
}

struct Handle {
    HANDLE h;
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

}  // namespace

bool readFileBytes(const std::u16string& path, std::string& bytes, std::u16string& error) {
    Handle file{CreateFileW(hebrew::toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE) return failed(error, lastErrorMessage());
    std::string read;
    char buffer[65536];
    DWORD got = 0;
    for (;;) {
        if (!ReadFile(file.h, buffer, sizeof buffer, &got, nullptr)) return failed(error, lastErrorMessage());
        if (got == 0) break;
        read.append(buffer, got);
    }
    bytes = std::move(read);
    return true;
}

bool writeFileBytes(const std::u16string& path, std::string_view bytes, std::u16string& error) {
    Handle file{CreateFileW(hebrew::toWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE) return failed(error, lastErrorMessage());
    while (!bytes.empty()) {
        DWORD put = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!WriteFile(file.h, bytes.data(), chunk, &put, nullptr)) return failed(error, lastErrorMessage());
        bytes.remove_prefix(put);
    }
    return true;
}

#else

namespace {

std::u16string errnoMessage() {
    const std::string text = std::strerror(errno);
    return std::u16string(text.begin(), text.end());
}

struct File {
    std::FILE* f;
    ~File() {
        if (f) std::fclose(f);
    }
};

}  // namespace

bool readFileBytes(const std::u16string& path, std::string& bytes, std::u16string& error) {
    File file{std::fopen(hebrew::utf16ToUtf8(path).c_str(), "rb")};
    if (!file.f) return failed(error, errnoMessage());
    std::string read;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.f)) > 0) read.append(buffer, got);
    if (std::ferror(file.f)) return failed(error, errnoMessage());
    bytes = std::move(read);
    return true;
}

bool writeFileBytes(const std::u16string& path, std::string_view bytes, std::u16string& error) {
    File file{std::fopen(hebrew::utf16ToUtf8(path).c_str(), "wb")};
    if (!file.f) return failed(error, errnoMessage());
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.f) != bytes.size()) return failed(error, errnoMessage());
    const int closed = std::fclose(file.f);
    file.f = nullptr;
    if (closed != 0) return failed(error, errnoMessage());
    return true;
}

#endif

}  // namespace editors
