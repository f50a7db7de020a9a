// The drawing's entities: single-line and multiline text, block references
// with their attributes, and entities of other kinds that only name
// themselves. One class; the member table follows the kind.
#pragma once

#include <string>
#include <vector>

#include "testhost/host.h"

namespace testhost {

enum class EntityKind { Text, MText, BlockReference, AttributeReference, Other };

// How GetAttributes hands a block's attributes over: a vector of variants
// (each VT_DISPATCH), of IDispatch or of IUnknown pointers, from lowerBound.
struct AttributeArray {
    VARTYPE type = VT_VARIANT;
    LONG lowerBound = 0;
};

struct EntityData {
    EntityKind kind = EntityKind::Other;
    std::wstring handle, entityName;
    std::wstring textString, styleName;
    std::wstring tag;        // attribute reference
    std::wstring blockName;  // block reference
    std::vector<Entity*> attributes;
    AttributeArray attributeArray;  // block reference
    Point insertionPoint{};  // multiline text
    double width = 0, height = 0;
    long attachmentPoint = 1;
    bool created = false;  // added by a command
    int updates = 0;
};

class Entity : public Dispatchable<Entity> {
public:
    Entity(Host& host, EntityData data);
    std::wstring objectId() const override { return data_.handle; }
    const EntityData& data() const { return data_; }
    std::string describe() const;

    HRESULT getHandle(Invocation& call);
    HRESULT getEntityName(Invocation& call);
    HRESULT update(Invocation& call);
    HRESULT getTextString(Invocation& call);
    HRESULT putTextString(Invocation& call);
    HRESULT getStyleName(Invocation& call);
    HRESULT putStyleName(Invocation& call);
    HRESULT getHeight(Invocation& call);
    HRESULT putHeight(Invocation& call);
    HRESULT getAttachmentPoint(Invocation& call);
    HRESULT putAttachmentPoint(Invocation& call);
    HRESULT getInsertionPoint(Invocation& call);
    HRESULT getWidth(Invocation& call);
    HRESULT getName(Invocation& call);
    HRESULT getHasAttributes(Invocation& call);
    HRESULT getAttributes(Invocation& call);
    HRESULT getTagString(Invocation& call);

private:
    EntityData data_;
};

// The entity kind's usual class name, as EntityName gives it.
const wchar_t* defaultEntityName(EntityKind kind);
std::vector<ClassNames> entityClassNames();

}  // namespace testhost
