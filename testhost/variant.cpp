#include "testhost/variant.h"

namespace testhost {

namespace {

std::optional<double> elementAsDouble(SAFEARRAY* array, VARTYPE type, LONG index) {
    if (type == VT_R8) {
        double d = 0;
        if (FAILED(SafeArrayGetElement(array, &index, &d))) return std::nullopt;
        return d;
    }
    Variant element;
    if (FAILED(SafeArrayGetElement(array, &index, element.get()))) return std::nullopt;
    return asDouble(*element.get());
}

}  // namespace

std::wstring fromBstr(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

BSTR toBstr(const std::wstring& s) { return SysAllocStringLen(s.data(), static_cast<UINT>(s.size())); }

const VARIANT& dereferenced(const VARIANT& v) {
    const VARIANT* p = &v;
    while (V_VT(p) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(p)) p = V_VARIANTREF(p);
    return *p;
}

bool isMissing(const VARIANT& v) {
    const VARIANT& d = dereferenced(v);
    return V_VT(&d) == VT_EMPTY || (V_VT(&d) == VT_ERROR && V_ERROR(&d) == DISP_E_PARAMNOTFOUND);
}

std::optional<std::wstring> asString(const VARIANT& v) {
    Variant converted;
    if (FAILED(VariantChangeType(converted.get(), const_cast<VARIANT*>(&dereferenced(v)), 0, VT_BSTR)))
        return std::nullopt;
    return fromBstr(V_BSTR(converted.get()));
}

std::optional<double> asDouble(const VARIANT& v) {
    Variant converted;
    if (FAILED(VariantChangeType(converted.get(), const_cast<VARIANT*>(&dereferenced(v)), 0, VT_R8)))
        return std::nullopt;
    return V_R8(converted.get());
}

std::optional<long> asLong(const VARIANT& v) {
    Variant converted;
    if (FAILED(VariantChangeType(converted.get(), const_cast<VARIANT*>(&dereferenced(v)), 0, VT_I4)))
        return std::nullopt;
    return V_I4(converted.get());
}

std::optional<Point> asPoint(const VARIANT& v) {
    const VARIANT& d = dereferenced(v);
    const VARTYPE type = V_VT(&d) & VT_TYPEMASK;
    if (!(V_VT(&d) & VT_ARRAY) || (type != VT_R8 && type != VT_VARIANT)) return std::nullopt;
    SAFEARRAY* array = (V_VT(&d) & VT_BYREF) ? *V_ARRAYREF(&d) : V_ARRAY(&d);
    LONG low = 0, high = -1;
    if (!array || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &low)) ||
        FAILED(SafeArrayGetUBound(array, 1, &high)) || high - low < 2)
        return std::nullopt;
    Point p{};
    for (LONG i = 0; i < 3; ++i) {
        auto coordinate = elementAsDouble(array, type, low + i);
        if (!coordinate) return std::nullopt;
        p[static_cast<std::size_t>(i)] = *coordinate;
    }
    return p;
}

VARIANT stringVariant(const std::wstring& s) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = toBstr(s);
    return v;
}

VARIANT doubleVariant(double d) {
    VARIANT v;
    V_VT(&v) = VT_R8;
    V_R8(&v) = d;
    return v;
}

VARIANT longVariant(long n) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = n;
    return v;
}

VARIANT boolVariant(bool b) {
    VARIANT v;
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = b ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT dispatchVariant(IDispatch* object) {
    VARIANT v;
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = object;
    if (object) object->AddRef();
    return v;
}

VARIANT pointVariant(const Point& p) {
    VARIANT v;
    V_VT(&v) = VT_ARRAY | VT_R8;
    V_ARRAY(&v) = SafeArrayCreateVector(VT_R8, 0, 3);
    for (LONG i = 0; i < 3; ++i) {
        double coordinate = p[static_cast<std::size_t>(i)];
        SafeArrayPutElement(V_ARRAY(&v), &i, &coordinate);
    }
    return v;
}

}  // namespace testhost
