#include "automation/mtext_command.h"

#include <oleauto.h>

#include <memory>

#include "automation/host_ids.h"
#include "automation/host_objects.h"
#include "automation/host_session.h"
#include "editors/edi.h"
#include "editors/modal_window.h"

namespace automation {

namespace {


// A point as the host takes it: an array of three doubles, x first.
Variant pointVariant(const editors::Point3& p) {
    Variant v;
    SAFEARRAY* array = SafeArrayCreateVector(VT_R8, 0, 3);
    if (!array) throw CommandError(L"Out of memory for a point");
    double* data = nullptr;
    SafeArrayAccessData(array, reinterpret_cast<void**>(&data));
    data[0] = p.x, data[1] = p.y, data[2] = p.z;
    SafeArrayUnaccessData(array);
    V_VT(v.get()) = VT_ARRAY | VT_R8;
    V_ARRAY(v.get()) = array;
    return v;
}

// A point as the host gives it: an array of three numbers (doubles or
// variants holding them).
editors::Point3 toPoint(const VARIANT& v, const wchar_t* what) {
    const VARIANT* p = &v;
    if (V_VT(p) == (VT_BYREF | VT_VARIANT)) p = V_VARIANTREF(p);
    const VARTYPE element = V_VT(p) & ~VT_ARRAY;
    SAFEARRAY* array = (V_VT(p) & VT_ARRAY) ? V_ARRAY(p) : nullptr;
    LONG lower = 0, upper = -1;
    if (!array || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(array, 1, &upper)) || upper - lower < 2 ||
        (element != VT_R8 && element != VT_VARIANT))
        throw CommandError(std::wstring(what) + L": not a point");
    double xyz[3];
    for (LONG i = 0; i < 3; ++i) {
        LONG index = lower + i;
        if (element == VT_R8) {
            SafeArrayGetElement(array, &index, &xyz[i]);
            continue;
        }
        Variant item, number;
        SafeArrayGetElement(array, &index, item.get());
        if (FAILED(VariantChangeType(number.get(), item.get(), 0, VT_R8)))
            throw CommandError(std::wstring(what) + L": not a point");
        xyz[i] = V_R8(number.get());
    }
    return {xyz[0], xyz[1], xyz[2]};
}

double toDouble(const VARIANT& v, const wchar_t* what) {
    Variant number;
    if (FAILED(VariantChangeType(number.get(), const_cast<VARIANT*>(&v), 0, VT_R8)))
        throw CommandError(std::wstring(what) + L": not a number");
    return V_R8(number.get());
}

Variant missingArgument() {
    Variant v;
    V_VT(v.get()) = VT_ERROR;
    V_ERROR(v.get()) = DISP_E_PARAMNOTFOUND;
    return v;
}

class HostTextStyle : public editors::MtextTextStyle {
public:
    explicit HostTextStyle(HostObject style) : style_(std::move(style)) {}
    std::u16string name() override { return u16(style_.getString(L"Name")); }
    std::u16string fontFile() override { return u16(style_.getString(L"FontFile")); }
    long textGenerationFlag() override { return style_.getLong(L"TextGenerationFlag"); }
    double height() override { return style_.getDouble(L"Height"); }

private:
    HostObject style_;
};

// The window's fields towards the drawing, over the host's objects.
class HostMtext : public editors::MtextHost {
public:
    HostObject app, doc, mttx;

    std::u16string entityStyleName() override { return u16(mttx.getString(L"StyleName")); }
    std::u16string entityText() override { return u16(mttx.getString(L"TextString")); }
    void setEntityText(const std::u16string& text) override { mttx.put(L"TextString", Variant(wide(text))); }
    void setEntityStyleName(const std::u16string& name) override { mttx.put(L"StyleName", Variant(wide(name))); }
    void setEntityHeight(double height) override { mttx.put(L"Height", Variant(height)); }
    void setEntityAttachmentPoint(int point) override {
        mttx.put(L"AttachmentPoint", Variant(static_cast<long>(point)));
    }

    std::unique_ptr<editors::MtextTextStyle> textStyle(const std::u16string& name) override {
        return std::make_unique<HostTextStyle>(textStyleIn(textStylesOf(doc), wide(name)));
    }
    std::unique_ptr<editors::MtextTextStyle> activeTextStyle() override {
        return std::make_unique<HostTextStyle>(
            doc.getObject(L"ActiveTextStyle", IID_IGcadTextStyle, L"IGcadTextStyle"));
    }

    editors::Point3 getPoint(std::u16string_view prompt) override {
        Variant base = missingArgument(), text(wide(prompt));
        return toPoint(*utility().call(L"GetPoint", {base.get(), text.get()}), L"GetPoint");
    }
    editors::Point3 getCorner(const editors::Point3& base, std::u16string_view prompt) override {
        Variant from = pointVariant(base), text(wide(prompt));
        return toPoint(*utility().call(L"GetCorner", {from.get(), text.get()}), L"GetCorner");
    }
    double getDistance(const editors::Point3& base, std::u16string_view prompt) override {
        Variant from = pointVariant(base), text(wide(prompt));
        return toDouble(*utility().call(L"GetDistance", {from.get(), text.get()}), L"GetDistance");
    }

    void sendCommand(std::u16string_view text) override {
        HostObject active = activeDocumentOf(app);
        Variant command(wide(text));
        active.call(L"SendCommand", {command.get()});
    }

    void addMText(const editors::Point3& insertion, double width, const std::u16string& text) override {
        HostObject layout = doc.getObject(L"ActiveLayout", IID_IDispatch, L"ActiveLayout");
        HostObject block = layout.getObject(L"Block", IID_IDispatch, L"Block");
        Variant point = pointVariant(insertion), w(width), contents(wide(text));
        Variant created = block.call(L"AddMText", {point.get(), w.get(), contents.get()});
        mttx = HostObject::query(toObject(*created).Get(), IID_IGcadMText, L"IGcadMText");
    }

private:
    // Fetched anew for every prompt.
    HostObject utility() const { return utilityOf(doc); }
};

// The multiline editor of one command, over the session's host objects.
class MultilineEditorWindow {
public:
    MultilineEditorWindow() : window_(editors::frmmtext, *frmFonts()) {
        HostSession& s = hostSession();
        host_.app = s.app;
        host_.doc = s.doc;
        window_->behaviour().setHost(&host_);
    }
    HostMtext& host() { return host_; }
    editors::MtextEditor& behaviour() { return window_->behaviour(); }
    bool showModalOk() { return window_->ShowModal() == editors::kModalOk; }

private:
    HostMtext host_;  // outlives the window, which refers to it
    CommandWindow<editors::Tfrmmtext> window_;
};

}  // namespace

void editMultilineText(const HostObject& entity) {
    MultilineEditorWindow window;
    window.host().mttx = HostObject::query(entity.get(), IID_IGcadMText, L"IGcadMText");
    window.behaviour().FillMemo();
    if (window.showModalOk()) window.behaviour().EditMtext();
}

void createMultilineText() {
    MultilineEditorWindow window;
    window.behaviour().NewMtext();
    if (window.showModalOk()) window.behaviour().CreateMtext();
}

}  // namespace automation
