#include "automation/host_objects.h"

#include "automation/host_ids.h"

namespace automation {

HostObject activeDocumentOf(const HostObject& app) {
    return app.getObject(L"ActiveDocument", IID_IGcadDocument, L"IGcadDocument");
}

HostObject utilityOf(const HostObject& doc) { return doc.getObject(L"Utility", IID_IGcadUtility, L"IGcadUtility"); }

HostObject textStylesOf(const HostObject& doc) { return doc.getObject(L"TextStyles", IID_IDispatch, L"TextStyles"); }

HostObject textStyleIn(const HostObject& styles, const std::wstring& name) {
    Variant key(name);
    Variant found = styles.call(L"Item", {key.get()});
    return HostObject::query(toObject(*found).Get(), IID_IGcadTextStyle, L"IGcadTextStyle");
}

}  // namespace automation
