// JSON text for the report: UTF-8 string literals from UTF-16, numbers,
// HRESULTs, and objects and arrays from already written values.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace testhost::json {

using Field = std::pair<const char*, std::string>;

std::string quote(const std::wstring& text);
std::string number(double value);
std::string integer(long long value);
std::string boolean(bool value);
std::string hresult(HRESULT hr);
inline const char* null() { return "null"; }

std::string object(const std::vector<Field>& fields);
std::string array(const std::vector<std::string>& items);
// One item a line, for the report's long lists.
std::string arrayLines(const std::vector<std::string>& items);

// Plain conversion, for messages outside the report.
std::string toUtf8(const std::wstring& text);

}  // namespace testhost::json
