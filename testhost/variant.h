// VARIANT and BSTR helpers: a self-clearing VARIANT, conversions of
// arguments, and points as the host passes them (three doubles, x first).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <array>
#include <optional>
#include <string>

namespace testhost {

using Point = std::array<double, 3>;

class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }
    // Hands the value over to the caller, who clears it.
    VARIANT release() {
        VARIANT out = v_;
        VariantInit(&v_);
        return out;
    }

private:
    VARIANT v_;
};

std::wstring fromBstr(BSTR s);
BSTR toBstr(const std::wstring& s);

// The value behind any number of VT_BYREF|VT_VARIANT levels.
const VARIANT& dereferenced(const VARIANT& v);
bool isMissing(const VARIANT& v);

std::optional<std::wstring> asString(const VARIANT& v);
std::optional<double> asDouble(const VARIANT& v);
std::optional<long> asLong(const VARIANT& v);
// VT_ARRAY|VT_R8 or VT_ARRAY|VT_VARIANT of (at least) three numbers.
std::optional<Point> asPoint(const VARIANT& v);

VARIANT stringVariant(const std::wstring& s);
VARIANT doubleVariant(double d);
VARIANT longVariant(long n);
VARIANT boolVariant(bool b);
// Adds a reference for the VARIANT.
VARIANT dispatchVariant(IDispatch* object);
// VT_ARRAY|VT_R8 of three doubles.
VARIANT pointVariant(const Point& p);

}  // namespace testhost
