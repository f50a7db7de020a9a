#include "testhost/dispatch.h"

#include <oleauto.h>

#include "testhost/host.h"
#include "testhost/json.h"

namespace testhost {

namespace {

// {0DCF74EB-4F90-4607-8B96-EE65472C8FEB}: answered only by the host's own
// objects, to tell them from foreign ones.
constexpr GUID IID_HostObject = {0x0DCF74EB, 0x4F90, 0x4607, {0x8B, 0x96, 0xEE, 0x65, 0x47, 0x2C, 0x8F, 0xEB}};

void setErrorInfo(const std::wstring& text) {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(&create))) return;
    create->SetSource(const_cast<LPOLESTR>(L"testhost"));
    create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
    create->SetGUID(GUID_NULL);
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
}

template <class T>
std::optional<T> converted(const VARIANT* v, std::optional<T> (*convert)(const VARIANT&)) {
    return v ? convert(*v) : std::nullopt;
}

std::string describeArray(const VARIANT& v) {
    SAFEARRAY* array = (V_VT(&v) & VT_BYREF) ? *V_ARRAYREF(&v) : V_ARRAY(&v);
    LONG low = 0, high = -1;
    if (!array || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &low)) ||
        FAILED(SafeArrayGetUBound(array, 1, &high)))
        return json::quote(L"<array>");
    VARTYPE type = VT_EMPTY;
    SafeArrayGetVartype(array, &type);
    std::vector<std::string> items;
    for (LONG i = low; i <= high; ++i) {
        Variant element;
        if (type == VT_VARIANT) {
            SafeArrayGetElement(array, &i, element.get());
        } else if (type == VT_R8) {
            V_VT(element.get()) = VT_R8;
            SafeArrayGetElement(array, &i, &V_R8(element.get()));
        }
        items.push_back(describeVariant(*element.get()));
    }
    return json::array(items);
}

std::string describeObject(IUnknown* unknown) {
    if (!unknown) return json::null();
    HostObject* own = HostObject::behind(unknown);
    if (!own) return json::quote(L"<foreign object>");
    std::vector<json::Field> fields{{"object", json::quote(own->className())}};
    if (!own->objectId().empty()) fields.push_back({"id", json::quote(own->objectId())});
    return json::object(fields);
}

}  // namespace

const wchar_t* accessName(Access access) {
    switch (access) {
        case Access::Get: return L"get";
        case Access::Put: return L"put";
        case Access::Call: return L"call";
    }
    return L"";
}

bool accessAccepts(Access access, WORD flags) {
    switch (access) {
        case Access::Get: return flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD);
        case Access::Put: return flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
        case Access::Call: return flags & DISPATCH_METHOD;
    }
    return false;
}

bool sameName(const wchar_t* a, const wchar_t* b) { return lstrcmpiW(a, b) == 0; }

std::string describeVariant(const VARIANT& value) {
    const VARIANT& v = dereferenced(value);
    if (V_VT(&v) & VT_ARRAY) return describeArray(v);
    switch (V_VT(&v)) {
        case VT_EMPTY:
        case VT_NULL: return json::null();
        case VT_ERROR: return V_ERROR(&v) == DISP_E_PARAMNOTFOUND ? json::null() : json::hresult(V_ERROR(&v));
        case VT_BOOL: return json::boolean(V_BOOL(&v) != VARIANT_FALSE);
        case VT_BSTR: return json::quote(fromBstr(V_BSTR(&v)));
        case VT_DISPATCH:
        case VT_UNKNOWN: return describeObject(V_UNKNOWN(&v));
        default: break;
    }
    if (auto d = asDouble(v)) return json::number(*d);
    return json::quote(L"<variant>");
}

// --- Invocation ---

Invocation::Invocation(DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* argError, bool put)
    : params_(params), result_(result), excep_(excep), argError_(argError),
      count_(put ? params->cArgs - 1 : params->cArgs), put_(put) {}

const VARIANT* Invocation::argument(UINT index) const {
    if (index >= count_) return nullptr;
    const VARIANT& v = params_->rgvarg[rawIndex(index)];
    return isMissing(v) ? nullptr : &dereferenced(v);
}

VARIANT* Invocation::outArgument(UINT index) const {
    if (index >= count_) return nullptr;
    VARIANT& v = params_->rgvarg[rawIndex(index)];
    return V_VT(&v) == (VT_BYREF | VT_VARIANT) ? V_VARIANTREF(&v) : nullptr;
}

const VARIANT* Invocation::value() const { return put_ ? &dereferenced(params_->rgvarg[0]) : nullptr; }

std::optional<std::wstring> Invocation::stringArgument(UINT index, HRESULT& failure) const {
    auto s = converted(argument(index), asString);
    if (!s) failure = mismatch(index);
    return s;
}

std::optional<double> Invocation::doubleArgument(UINT index, HRESULT& failure) const {
    auto d = converted(argument(index), asDouble);
    if (!d) failure = mismatch(index);
    return d;
}

std::optional<Point> Invocation::pointArgument(UINT index, HRESULT& failure) const {
    auto p = converted(argument(index), asPoint);
    if (!p) failure = mismatch(index);
    return p;
}

std::optional<std::wstring> Invocation::stringValue(HRESULT& failure) const {
    auto s = converted(value(), asString);
    if (!s) failure = valueMismatch();
    return s;
}

std::optional<double> Invocation::doubleValue(HRESULT& failure) const {
    auto d = converted(value(), asDouble);
    if (!d) failure = valueMismatch();
    return d;
}

std::optional<long> Invocation::longValue(HRESULT& failure) const {
    auto n = converted(value(), asLong);
    if (!n) failure = valueMismatch();
    return n;
}

HRESULT Invocation::returns(VARIANT value) const {
    if (result_) {
        VariantClear(result_);
        *result_ = value;
    } else {
        VariantClear(&value);
    }
    return S_OK;
}

HRESULT Invocation::raise(HRESULT code, const std::wstring& text) {
    raisedText_ = text;
    raisedCode_ = code;
    if (excep_) {
        *excep_ = EXCEPINFO{};
        excep_->scode = code;
        excep_->bstrSource = SysAllocString(L"testhost");
        excep_->bstrDescription = toBstr(text);
    }
    setErrorInfo(text);
    return DISP_E_EXCEPTION;
}

HRESULT Invocation::mismatch(UINT index) const {
    if (index >= count_) return DISP_E_BADPARAMCOUNT;
    if (argError_) *argError_ = rawIndex(index);
    return isMissing(params_->rgvarg[rawIndex(index)]) ? DISP_E_PARAMNOTOPTIONAL : DISP_E_TYPEMISMATCH;
}

HRESULT Invocation::valueMismatch() const {
    if (argError_) *argError_ = 0;
    return DISP_E_TYPEMISMATCH;
}

// --- HostObject ---

HostObject* HostObject::behind(IUnknown* unknown) {
    ComPtr<IUnknown> own;
    if (!unknown || FAILED(unknown->QueryInterface(IID_HostObject, reinterpret_cast<void**>(own.GetAddressOf()))))
        return nullptr;
    return static_cast<HostObject*>(static_cast<IDispatch*>(own.Get()));
}

HRESULT HostObject::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
                       IsEqualIID(riid, IID_HostObject) || answers(riid);
    if (!known || host_.refuses(className(), riid)) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

ULONG HostObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG HostObject::Release() {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT HostObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT HostObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT HostObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    // No member takes named arguments.
    auto id = dispidOf(names[0]);
    if (!id) {
        logUnknownName(names[0]);
        return DISP_E_UNKNOWNNAME;
    }
    ids[0] = *id;
    return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

CallRecord HostObject::callRecord(const std::wstring& member, const wchar_t* access, HRESULT hr) const {
    CallRecord record;
    record.object = className();
    record.id = objectId();
    record.member = member;
    record.access = access;
    record.hr = hr;
    return record;
}

void HostObject::logUnknownName(const wchar_t* name) {
    host_.log(callRecord(name ? name : L"", L"name", DISP_E_UNKNOWNNAME));
}

HRESULT HostObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* excep, UINT* argError) {
    if (!params) return E_INVALIDARG;
    const int row = rowFor(id, flags);
    if (row < 0) {
        host_.log(callRecord(L"dispid " + std::to_wstring(id), L"invoke", DISP_E_MEMBERNOTFOUND));
        return DISP_E_MEMBERNOTFOUND;
    }
    const bool put = rowAccess(row) == Access::Put;
    if (put && (params->cArgs < 1 || params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
        return DISP_E_PARAMNOTOPTIONAL;
    if (!put && params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    Invocation call(params, put ? nullptr : result, excep, argError, put);
    return invokeRow(row, call, params);
}

HRESULT HostObject::invokeRow(int row, Invocation& call, DISPPARAMS* params) {
    CallRecord record = callRecord(rowName(row), accessName(rowAccess(row)), S_OK);
    for (UINT i = params->cArgs; i-- > 0;) record.args.push_back(describeVariant(params->rgvarg[i]));
    const std::size_t index = host_.log(std::move(record));
    HRESULT hr;
    if (const FailureRule* failure = host_.injectedFailure(className(), rowName(row), rowAccess(row))) {
        hr = call.raise(failure->code, failure->text);
        host_.logged(index).injected = true;
    } else {
        hr = callRow(row, call);
    }
    if (FAILED(hr)) {
        host_.logged(index).hr = hr;
        host_.logged(index).error = call.raisedText();
        host_.logged(index).scode = call.raisedCode();
    }
    return hr;
}

}  // namespace testhost
