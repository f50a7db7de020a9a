#include "automation/block_command.h"

#include <oleauto.h>

#include "automation/host_ids.h"
#include "automation/host_objects.h"
#include "automation/host_session.h"
#include "editors/modal_window.h"
#include "editors/uGrid.h"

namespace automation {

namespace {

const wchar_t* const kNoAttributes = L"Block without Attributes.";
const wchar_t* const kWarningCaption = L"Warning";

// An attribute reference, called by name. An element of the attribute list
// that is no object fails at its first read, so the editor leaves it out.
class HostAttribute : public editors::GridAttribute {
public:
    explicit HostAttribute(ComPtr<IUnknown> object) : object_(std::move(object)) {}

    std::u16string textstring() override { return u16(atr().getString(L"textstring")); }
    std::u16string stylename() override { return u16(atr().getString(L"stylename")); }
    void setTextString(const std::u16string& text) override { atr().put(L"TextString", Variant(wide(text))); }

private:
    const HostObject& atr() {
        if (!atr_) atr_ = HostObject::query(object_.Get(), IID_IGcadAttributeReference, L"IGcadAttributeReference");
        return atr_;
    }

    ComPtr<IUnknown> object_;
    HostObject atr_;
};

std::vector<std::shared_ptr<editors::GridAttribute>> attributesOf(const VARIANT& list) {
    if (!(V_VT(&list) & VT_ARRAY) || !V_ARRAY(&list)) throw CommandError(L"GetAttributes: not an array");
    SAFEARRAY* array = V_ARRAY(&list);
    LONG lower = 0, upper = -1;
    throwIfFailed(SafeArrayGetLBound(array, 1, &lower), L"GetAttributes");
    throwIfFailed(SafeArrayGetUBound(array, 1, &upper), L"GetAttributes");
    VARTYPE type = VT_EMPTY;
    throwIfFailed(SafeArrayGetVartype(array, &type), L"GetAttributes");
    std::vector<std::shared_ptr<editors::GridAttribute>> attributes;
    for (LONG i = lower; i <= upper; ++i) {
        ComPtr<IUnknown> object;
        if (type == VT_VARIANT) {
            Variant element;
            if (SUCCEEDED(SafeArrayGetElement(array, &i, element.get()))) object = toObject(*element);
        } else if (type == VT_DISPATCH || type == VT_UNKNOWN) {
            IUnknown* element = nullptr;
            if (SUCCEEDED(SafeArrayGetElement(array, &i, &element))) object.Attach(element);
        }
        attributes.push_back(std::make_shared<HostAttribute>(std::move(object)));
    }
    return attributes;
}

// The block reference and the document behind the editor's seam.
class BlockHost : public editors::GridHost {
public:
    HostObject app, doc, binsert;

    std::vector<std::shared_ptr<editors::GridAttribute>> attributes() override {
        Variant list = binsert.call(L"GetAttributes");
        return attributesOf(*list);
    }
    std::u16string blockName() override { return u16(binsert.getString(L"Name")); }
    void refreshDocument() override { doc = activeDocumentOf(app); }
    editors::GridTextStyle textStyle(const std::u16string& name) override {
        HostObject style = textStyleIn(textStylesOf(doc), wide(name));
        return {u16(style.getString(L"FontFile")), style.getLong(L"TextGenerationFlag")};
    }
    void sendCommand(const std::u16string& text) override {
        Variant command(wide(text));
        activeDocumentOf(app).call(L"SendCommand", {command.get()});
    }
};

}  // namespace

void editBlockAttributes(const HostObject& entity) {
    HostSession& s = hostSession();
    BlockHost host;
    CommandWindow<editors::TfrmGrid> window(editors::frmGrid, *frmFonts(), host);
    host.app = s.app;
    host.doc = s.doc;
    host.binsert = HostObject::query(entity.get(), IID_IGcadBlockReference, L"IGcadBlockReference");
    if (!host.binsert.getBool(L"HasAttributes")) {
        // No owner: the box stands in the middle of the screen.
        MessageBoxW(nullptr, kNoAttributes, kWarningCaption, MB_OK | MB_ICONWARNING | MB_TASKMODAL);
        return;
    }
    window->EditBlock();
    // Deliberate: OK has written every row once as the window closed; this writes them all again.
    if (window->ShowModal() == editors::kModalOk) window->update();
}

}  // namespace automation
