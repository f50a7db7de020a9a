#include "testhost/host_objects.h"

#include "automation/host_ids.h"
#include "testhost/entities.h"
#include "testhost/json.h"

namespace testhost {

namespace {

using namespace automation;

template <class Self, std::size_t I, std::size_t M>
constexpr ClassInfo<Self> classInfo(const wchar_t* name, const GUID* const (&interfaces)[I],
                                    const Member<Self> (&members)[M]) {
    return {name, interfaces, I, members, M};
}

template <class Self, std::size_t M>
constexpr ClassInfo<Self> classInfo(const wchar_t* name, const Member<Self> (&members)[M]) {
    return {name, nullptr, 0, members, M};
}

// --- Application ---

const GUID* const kApplicationInterfaces[] = {&IID_IGcadApplication};
const Member<Application> kApplicationMembers[] = {
    {L"ActiveDocument", 1, Access::Get, &Application::activeDocument},
};
const ClassInfo<Application> kApplicationInfo =
    classInfo(L"Application", kApplicationInterfaces, kApplicationMembers);

// --- Document ---

const GUID* const kDocumentInterfaces[] = {&IID_IGcadDocument, &IID_IGcadDatabase};
const Member<Document> kDocumentMembers[] = {
    {L"HandleToObject", 1, Access::Call, &Document::handleToObject},
    {L"TextStyles", 2, Access::Get, &Document::textStyles},
    {L"ActiveTextStyle", 3, Access::Get, &Document::activeTextStyle},
    {L"Utility", 4, Access::Get, &Document::utility},
    {L"ActiveLayout", 5, Access::Get, &Document::activeLayout},
    {L"SendCommand", 6, Access::Call, &Document::sendCommand},
    {L"NewTextConfirmed", 7, Access::Call, &Document::newTextConfirmed},
};
const ClassInfo<Document> kDocumentInfo = classInfo(L"Document", kDocumentInterfaces, kDocumentMembers);

// --- Text styles ---

const GUID* const kTextStyleInterfaces[] = {&IID_IGcadTextStyle};
const Member<TextStyle> kTextStyleMembers[] = {
    {L"Name", 1, Access::Get, &TextStyle::getName},
    {L"FontFile", 2, Access::Get, &TextStyle::getFontFile},
    {L"TextGenerationFlag", 3, Access::Get, &TextStyle::getTextGenerationFlag},
    {L"Height", 4, Access::Get, &TextStyle::getHeight},
};
const ClassInfo<TextStyle> kTextStyleInfo = classInfo(L"TextStyle", kTextStyleInterfaces, kTextStyleMembers);

const Member<TextStyleCollection> kTextStylesMembers[] = {
    {L"Item", DISPID_VALUE, Access::Call, &TextStyleCollection::item},
    {L"Count", 1, Access::Get, &TextStyleCollection::count},
};
const ClassInfo<TextStyleCollection> kTextStylesInfo = classInfo(L"TextStyles", kTextStylesMembers);

// --- Utility ---

const GUID* const kUtilityInterfaces[] = {&IID_IGcadUtility};
const Member<Utility> kUtilityMembers[] = {
    {L"GetEntity", 1, Access::Call, &Utility::getEntity},
    {L"Prompt", 2, Access::Call, &Utility::prompt},
    {L"GetPoint", 3, Access::Call, &Utility::getPoint},
    {L"GetCorner", 4, Access::Call, &Utility::getCorner},
    {L"GetDistance", 5, Access::Call, &Utility::getDistance},
};
const ClassInfo<Utility> kUtilityInfo = classInfo(L"Utility", kUtilityInterfaces, kUtilityMembers);

// --- Layout and its block ---

const Member<Layout> kLayoutMembers[] = {
    {L"Block", 1, Access::Get, &Layout::block},
};
const ClassInfo<Layout> kLayoutInfo = classInfo(L"Layout", kLayoutMembers);

const Member<BlockDefinition> kBlockMembers[] = {
    {L"AddMText", 1, Access::Call, &BlockDefinition::addMText},
};
const ClassInfo<BlockDefinition> kBlockInfo = classInfo(L"Block", kBlockMembers);

HRESULT returnsObject(Invocation& call, IDispatch* object) { return call.returns(dispatchVariant(object)); }

// Records a prompt argument, when given.
void notePrompt(Host& host, const Invocation& call, UINT index) {
    if (const VARIANT* prompt = call.argument(index))
        if (auto text = asString(*prompt)) host.prompts.push_back(*text);
}

const wchar_t* inputKindName(InputAnswer::Kind kind) {
    switch (kind) {
        case InputAnswer::Kind::Point: return L"point";
        case InputAnswer::Kind::Distance: return L"distance";
        case InputAnswer::Kind::Cancel: break;
    }
    return L"cancel";
}

}  // namespace

std::vector<ClassNames> hostClassNames() {
    std::vector<ClassNames> names{namesOf(kApplicationInfo), namesOf(kDocumentInfo), namesOf(kTextStyleInfo),
                                  namesOf(kTextStylesInfo),  namesOf(kUtilityInfo),  namesOf(kLayoutInfo),
                                  namesOf(kBlockInfo)};
    for (ClassNames& entity : entityClassNames()) names.push_back(std::move(entity));
    return names;
}

// --- Application ---

Application::Application(Host& host) : Dispatchable(host, kApplicationInfo) {}

HRESULT Application::activeDocument(Invocation& call) { return returnsObject(call, host_.drawing.document); }

// --- Document ---

Document::Document(Host& host) : Dispatchable(host, kDocumentInfo) {}

HRESULT Document::handleToObject(Invocation& call) {
    HRESULT failure = S_OK;
    auto handle = call.stringArgument(0, failure);
    if (!handle) return failure;
    Entity* entity = host_.drawing.find(*handle);
    if (!entity) return call.raise(E_INVALIDARG, L"Invalid handle");
    return returnsObject(call, entity);
}

HRESULT Document::textStyles(Invocation& call) { return returnsObject(call, host_.drawing.textStyles); }

HRESULT Document::activeTextStyle(Invocation& call) { return returnsObject(call, host_.drawing.activeStyle); }

HRESULT Document::utility(Invocation& call) { return returnsObject(call, host_.drawing.utility); }

HRESULT Document::activeLayout(Invocation& call) { return returnsObject(call, host_.drawing.layout); }

HRESULT Document::sendCommand(Invocation& call) {
    HRESULT failure = S_OK;
    auto command = call.stringArgument(0, failure);
    if (!command) return failure;
    host_.sendCommands.push_back(*command);
    return call.returns(VARIANT{});
}

HRESULT Document::newTextConfirmed(Invocation& call) { return call.returns(VARIANT{}); }

// --- Text styles ---

TextStyle::TextStyle(Host& host, TextStyleData data) : Dispatchable(host, kTextStyleInfo), data_(std::move(data)) {}

std::string TextStyle::describe() const {
    return json::object({{"name", json::quote(data_.name)},
                         {"fontFile", json::quote(data_.fontFile)},
                         {"textGenerationFlag", json::integer(data_.generationFlag)},
                         {"height", json::number(data_.height)}});
}

HRESULT TextStyle::getName(Invocation& call) { return call.returns(stringVariant(data_.name)); }

HRESULT TextStyle::getFontFile(Invocation& call) { return call.returns(stringVariant(data_.fontFile)); }

HRESULT TextStyle::getTextGenerationFlag(Invocation& call) { return call.returns(longVariant(data_.generationFlag)); }

HRESULT TextStyle::getHeight(Invocation& call) { return call.returns(doubleVariant(data_.height)); }

TextStyleCollection::TextStyleCollection(Host& host) : Dispatchable(host, kTextStylesInfo) {}

// By name (without regard to case) or by index from 0.
HRESULT TextStyleCollection::item(Invocation& call) {
    const VARIANT* key = call.argument(0);
    if (!key) return call.mismatch(0);
    const auto& styles = host_.drawing.styles;
    TextStyle* found = nullptr;
    if (V_VT(key) == VT_BSTR) {
        found = host_.drawing.findStyle(fromBstr(V_BSTR(key)));
    } else if (auto index = asLong(*key)) {
        if (*index >= 0 && static_cast<std::size_t>(*index) < styles.size()) found = styles[*index];
    } else {
        return call.mismatch(0);
    }
    if (!found) return call.raise(E_INVALIDARG, L"Key not found");
    return returnsObject(call, found);
}

HRESULT TextStyleCollection::count(Invocation& call) {
    return call.returns(longVariant(static_cast<long>(host_.drawing.styles.size())));
}

// --- Utility ---

Utility::Utility(Host& host) : Dispatchable(host, kUtilityInfo) {}

// GetEntity(object, point [, prompt]): both results by reference.
HRESULT Utility::getEntity(Invocation& call) {
    if (call.count() < 2) return DISP_E_BADPARAMCOUNT;
    VARIANT* object = call.outArgument(0);
    VARIANT* point = call.outArgument(1);
    if (!object) return call.mismatch(0);
    if (!point) return call.mismatch(1);
    notePrompt(host_, call, 2);
    if (host_.picks.empty()) return call.raise(kUserCancelled, L"No scripted answer");
    return pickAnswered(call, object, point);
}

HRESULT Utility::pickAnswered(Invocation& call, VARIANT* object, VARIANT* point) {
    const PickAnswer answer = host_.picks.front();
    host_.picks.pop_front();
    VariantClear(object);
    VariantClear(point);
    switch (answer.kind) {
        case PickAnswer::Kind::Cancel: return call.raise(kUserCancelled, L"User cancelled");
        case PickAnswer::Kind::Nothing: return S_OK;
        case PickAnswer::Kind::NullObject: *object = dispatchVariant(nullptr); return S_OK;
        case PickAnswer::Kind::Entity: break;
    }
    Entity* entity = host_.drawing.find(answer.handle);
    *object = dispatchVariant(entity);
    *point = pointVariant(answer.point);
    return S_OK;
}

HRESULT Utility::prompt(Invocation& call) {
    HRESULT failure = S_OK;
    auto text = call.stringArgument(0, failure);
    if (!text) return failure;
    host_.prompts.push_back(*text);
    return call.returns(VARIANT{});
}

const InputAnswer* Utility::nextInput(Invocation& call, InputAnswer::Kind wanted, HRESULT& failure) {
    if (host_.inputs.empty()) {
        failure = call.raise(kUserCancelled, L"No scripted answer");
        return nullptr;
    }
    current_ = host_.inputs.front();
    host_.inputs.pop_front();
    if (current_.kind == InputAnswer::Kind::Cancel) {
        failure = call.raise(kUserCancelled, L"User cancelled");
        return nullptr;
    }
    if (current_.kind != wanted) {
        failure = call.raise(E_FAIL, std::wstring(L"Scripted answer is a ") + inputKindName(current_.kind) +
                                         L", not a " + inputKindName(wanted));
        return nullptr;
    }
    return &current_;
}

// GetPoint([base] [, prompt])
HRESULT Utility::getPoint(Invocation& call) {
    notePrompt(host_, call, 1);
    HRESULT failure = S_OK;
    const InputAnswer* answer = nextInput(call, InputAnswer::Kind::Point, failure);
    return answer ? call.returns(pointVariant(answer->point)) : failure;
}

// GetCorner(base [, prompt])
HRESULT Utility::getCorner(Invocation& call) {
    HRESULT failure = S_OK;
    if (!call.pointArgument(0, failure)) return failure;
    notePrompt(host_, call, 1);
    const InputAnswer* answer = nextInput(call, InputAnswer::Kind::Point, failure);
    return answer ? call.returns(pointVariant(answer->point)) : failure;
}

// GetDistance([base] [, prompt])
HRESULT Utility::getDistance(Invocation& call) {
    notePrompt(host_, call, 1);
    HRESULT failure = S_OK;
    const InputAnswer* answer = nextInput(call, InputAnswer::Kind::Distance, failure);
    return answer ? call.returns(doubleVariant(answer->distance)) : failure;
}

// --- Layout and its block ---

Layout::Layout(Host& host) : Dispatchable(host, kLayoutInfo) {}

HRESULT Layout::block(Invocation& call) { return returnsObject(call, host_.drawing.modelSpace); }

BlockDefinition::BlockDefinition(Host& host) : Dispatchable(host, kBlockInfo) {}

// AddMText(insertion point, width, text): a new entity in the active style.
HRESULT BlockDefinition::addMText(Invocation& call) {
    HRESULT failure = S_OK;
    auto point = call.pointArgument(0, failure);
    if (!point) return failure;
    auto width = call.doubleArgument(1, failure);
    if (!width) return failure;
    auto text = call.stringArgument(2, failure);
    if (!text) return failure;
    Drawing& drawing = host_.drawing;
    EntityData data;
    data.kind = EntityKind::MText;
    data.handle = drawing.nextHandle();
    data.entityName = defaultEntityName(EntityKind::MText);
    data.textString = *text;
    data.insertionPoint = *point;
    data.width = *width;
    data.styleName = drawing.activeStyle ? drawing.activeStyle->name() : L"Standard";
    data.height = drawing.activeStyle ? drawing.activeStyle->data().height : 2.5;
    data.created = true;
    Entity* entity = host_.make<Entity>(std::move(data));
    drawing.entities.push_back(entity);
    drawing.byHandle[upperCase(entity->data().handle)] = entity;
    return returnsObject(call, entity);
}

}  // namespace testhost
