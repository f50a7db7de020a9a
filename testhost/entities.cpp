#include "testhost/entities.h"

#include "automation/host_ids.h"
#include "testhost/host_objects.h"
#include "testhost/json.h"

namespace testhost {

namespace {

using namespace automation;

enum : DISPID {
    idHandle = 1,
    idEntityName,
    idUpdate,
    idTextString,
    idStyleName,
    idHeight,
    idAttachmentPoint,
    idInsertionPoint,
    idWidth,
    idName,
    idHasAttributes,
    idGetAttributes,
    idTagString,
};

const GUID* const kTextInterfaces[] = {&IID_IGcadObject, &IID_IGcadEntity, &IID_IGcadText};
const GUID* const kMTextInterfaces[] = {&IID_IGcadObject, &IID_IGcadEntity, &IID_IGcadMText};
const GUID* const kBlockInterfaces[] = {&IID_IGcadObject, &IID_IGcadEntity, &IID_IGcadBlockReference};
const GUID* const kAttributeInterfaces[] = {&IID_IGcadObject, &IID_IGcadEntity, &IID_IGcadAttributeReference};
const GUID* const kOtherInterfaces[] = {&IID_IGcadObject, &IID_IGcadEntity};

const Member<Entity> kTextMembers[] = {
    {L"Handle", idHandle, Access::Get, &Entity::getHandle},
    {L"EntityName", idEntityName, Access::Get, &Entity::getEntityName},
    {L"TextString", idTextString, Access::Get, &Entity::getTextString},
    {L"TextString", idTextString, Access::Put, &Entity::putTextString},
    {L"StyleName", idStyleName, Access::Get, &Entity::getStyleName},
    {L"Update", idUpdate, Access::Call, &Entity::update},
};

const Member<Entity> kMTextMembers[] = {
    {L"Handle", idHandle, Access::Get, &Entity::getHandle},
    {L"EntityName", idEntityName, Access::Get, &Entity::getEntityName},
    {L"TextString", idTextString, Access::Get, &Entity::getTextString},
    {L"TextString", idTextString, Access::Put, &Entity::putTextString},
    {L"StyleName", idStyleName, Access::Get, &Entity::getStyleName},
    {L"StyleName", idStyleName, Access::Put, &Entity::putStyleName},
    {L"Height", idHeight, Access::Get, &Entity::getHeight},
    {L"Height", idHeight, Access::Put, &Entity::putHeight},
    {L"AttachmentPoint", idAttachmentPoint, Access::Get, &Entity::getAttachmentPoint},
    {L"AttachmentPoint", idAttachmentPoint, Access::Put, &Entity::putAttachmentPoint},
    {L"InsertionPoint", idInsertionPoint, Access::Get, &Entity::getInsertionPoint},
    {L"Width", idWidth, Access::Get, &Entity::getWidth},
    {L"Update", idUpdate, Access::Call, &Entity::update},
};

const Member<Entity> kBlockMembers[] = {
    {L"Handle", idHandle, Access::Get, &Entity::getHandle},
    {L"EntityName", idEntityName, Access::Get, &Entity::getEntityName},
    {L"Name", idName, Access::Get, &Entity::getName},
    {L"HasAttributes", idHasAttributes, Access::Get, &Entity::getHasAttributes},
    {L"GetAttributes", idGetAttributes, Access::Call, &Entity::getAttributes},
    {L"Update", idUpdate, Access::Call, &Entity::update},
};

const Member<Entity> kAttributeMembers[] = {
    {L"Handle", idHandle, Access::Get, &Entity::getHandle},
    {L"EntityName", idEntityName, Access::Get, &Entity::getEntityName},
    {L"TagString", idTagString, Access::Get, &Entity::getTagString},
    {L"TextString", idTextString, Access::Get, &Entity::getTextString},
    {L"TextString", idTextString, Access::Put, &Entity::putTextString},
    {L"StyleName", idStyleName, Access::Get, &Entity::getStyleName},
    {L"Update", idUpdate, Access::Call, &Entity::update},
};

const Member<Entity> kOtherMembers[] = {
    {L"Handle", idHandle, Access::Get, &Entity::getHandle},
    {L"EntityName", idEntityName, Access::Get, &Entity::getEntityName},
    {L"Update", idUpdate, Access::Call, &Entity::update},
};

template <std::size_t I, std::size_t M>
constexpr ClassInfo<Entity> entityInfo(const wchar_t* name, const GUID* const (&interfaces)[I],
                                       const Member<Entity> (&members)[M]) {
    return {name, interfaces, I, members, M};
}

const ClassInfo<Entity> kTextInfo = entityInfo(L"Text", kTextInterfaces, kTextMembers);
const ClassInfo<Entity> kMTextInfo = entityInfo(L"MText", kMTextInterfaces, kMTextMembers);
const ClassInfo<Entity> kBlockInfo = entityInfo(L"BlockReference", kBlockInterfaces, kBlockMembers);
const ClassInfo<Entity> kAttributeInfo = entityInfo(L"AttributeReference", kAttributeInterfaces, kAttributeMembers);
const ClassInfo<Entity> kOtherInfo = entityInfo(L"Entity", kOtherInterfaces, kOtherMembers);

const ClassInfo<Entity>& infoFor(EntityKind kind) {
    switch (kind) {
        case EntityKind::Text: return kTextInfo;
        case EntityKind::MText: return kMTextInfo;
        case EntityKind::BlockReference: return kBlockInfo;
        case EntityKind::AttributeReference: return kAttributeInfo;
        case EntityKind::Other: break;
    }
    return kOtherInfo;
}

std::string pointJson(const Point& p) {
    return json::array({json::number(p[0]), json::number(p[1]), json::number(p[2])});
}

}  // namespace

const wchar_t* defaultEntityName(EntityKind kind) {
    switch (kind) {
        case EntityKind::Text: return L"AcDbText";
        case EntityKind::MText: return L"AcDbMText";
        case EntityKind::BlockReference: return L"AcDbBlockReference";
        case EntityKind::AttributeReference: return L"AcDbAttribute";
        case EntityKind::Other: break;
    }
    return L"AcDbLine";
}

std::vector<ClassNames> entityClassNames() {
    return {namesOf(kTextInfo), namesOf(kMTextInfo), namesOf(kBlockInfo), namesOf(kAttributeInfo),
            namesOf(kOtherInfo)};
}

Entity::Entity(Host& host, EntityData data) : Dispatchable(host, infoFor(data.kind)), data_(std::move(data)) {}

std::string Entity::describe() const {
    std::vector<json::Field> fields{{"handle", json::quote(data_.handle)}, {"kind", json::quote(data_.entityName)}};
    switch (data_.kind) {
        case EntityKind::AttributeReference:
            fields.push_back({"tag", json::quote(data_.tag)});
            [[fallthrough]];
        case EntityKind::Text:
        case EntityKind::MText:
            fields.push_back({"textString", json::quote(data_.textString)});
            fields.push_back({"styleName", json::quote(data_.styleName)});
            break;
        case EntityKind::BlockReference: {
            fields.push_back({"name", json::quote(data_.blockName)});
            std::vector<std::string> attributes;
            for (const Entity* attribute : data_.attributes) attributes.push_back(attribute->describe());
            fields.push_back({"attributes", json::array(attributes)});
            break;
        }
        case EntityKind::Other: break;
    }
    if (data_.kind == EntityKind::MText) {
        fields.push_back({"insertionPoint", pointJson(data_.insertionPoint)});
        fields.push_back({"width", json::number(data_.width)});
        fields.push_back({"height", json::number(data_.height)});
        fields.push_back({"attachmentPoint", json::integer(data_.attachmentPoint)});
    }
    fields.push_back({"updates", json::integer(data_.updates)});
    if (data_.created) fields.push_back({"created", json::boolean(true)});
    return json::object(fields);
}

HRESULT Entity::getHandle(Invocation& call) { return call.returns(stringVariant(data_.handle)); }

HRESULT Entity::getEntityName(Invocation& call) { return call.returns(stringVariant(data_.entityName)); }

HRESULT Entity::update(Invocation& call) {
    ++data_.updates;
    return call.returns(VARIANT{});
}

HRESULT Entity::getTextString(Invocation& call) { return call.returns(stringVariant(data_.textString)); }

HRESULT Entity::putTextString(Invocation& call) {
    HRESULT failure = S_OK;
    auto text = call.stringValue(failure);
    if (!text) return failure;
    data_.textString = *text;
    return S_OK;
}

HRESULT Entity::getStyleName(Invocation& call) { return call.returns(stringVariant(data_.styleName)); }

HRESULT Entity::putStyleName(Invocation& call) {
    HRESULT failure = S_OK;
    auto name = call.stringValue(failure);
    if (!name) return failure;
    const TextStyle* style = host_.drawing.findStyle(*name);
    if (!style) return call.raise(E_INVALIDARG, L"Key not found");
    data_.styleName = style->name();
    return S_OK;
}

HRESULT Entity::getHeight(Invocation& call) { return call.returns(doubleVariant(data_.height)); }

HRESULT Entity::putHeight(Invocation& call) {
    HRESULT failure = S_OK;
    auto height = call.doubleValue(failure);
    if (!height) return failure;
    if (*height <= 0) return call.raise(E_INVALIDARG, L"Invalid argument Height");
    data_.height = *height;
    return S_OK;
}

HRESULT Entity::getAttachmentPoint(Invocation& call) { return call.returns(longVariant(data_.attachmentPoint)); }

HRESULT Entity::putAttachmentPoint(Invocation& call) {
    HRESULT failure = S_OK;
    auto attachment = call.longValue(failure);
    if (!attachment) return failure;
    if (*attachment < 1 || *attachment > 9) return call.raise(E_INVALIDARG, L"Invalid argument AttachmentPoint");
    data_.attachmentPoint = *attachment;
    return S_OK;
}

HRESULT Entity::getInsertionPoint(Invocation& call) { return call.returns(pointVariant(data_.insertionPoint)); }

HRESULT Entity::getWidth(Invocation& call) { return call.returns(doubleVariant(data_.width)); }

HRESULT Entity::getName(Invocation& call) { return call.returns(stringVariant(data_.blockName)); }

HRESULT Entity::getHasAttributes(Invocation& call) { return call.returns(boolVariant(!data_.attributes.empty())); }

HRESULT Entity::getAttributes(Invocation& call) {
    const AttributeArray& form = data_.attributeArray;
    SAFEARRAY* array = SafeArrayCreateVector(form.type, form.lowerBound, static_cast<ULONG>(data_.attributes.size()));
    if (!array) return E_OUTOFMEMORY;
    for (std::size_t i = 0; i < data_.attributes.size(); ++i) {
        LONG index = form.lowerBound + static_cast<LONG>(i);
        IDispatch* attribute = data_.attributes[i];
        HRESULT hr;
        if (form.type == VT_VARIANT) {
            Variant element;
            *element.get() = dispatchVariant(attribute);
            hr = SafeArrayPutElement(array, &index, element.get());
        } else {
            // The array takes its own reference to each object it is given.
            hr = SafeArrayPutElement(array, &index, attribute);
        }
        if (FAILED(hr)) {
            SafeArrayDestroy(array);
            return hr;
        }
    }
    VARIANT result;
    V_VT(&result) = VT_ARRAY | form.type;
    V_ARRAY(&result) = array;
    return call.returns(result);
}

HRESULT Entity::getTagString(Invocation& call) { return call.returns(stringVariant(data_.tag)); }

}  // namespace testhost
