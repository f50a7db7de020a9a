#include "testhost/drawing.h"

#include "testhost/entities.h"
#include "testhost/host_objects.h"

namespace testhost {

namespace {

Entity* addEntity(Host& host, EntityData data) {
    Entity* entity = host.make<Entity>(std::move(data));
    host.drawing.byHandle[upperCase(entity->data().handle)] = entity;
    return entity;
}

double styleHeight(const Drawing& drawing, const std::wstring& style) {
    const TextStyle* found = drawing.findStyle(style);
    return found ? found->data().height : 0;
}

EntityData entityData(const EntityLine& line, const Drawing& drawing) {
    EntityData data;
    data.kind = line.kind;
    data.handle = line.handle;
    data.entityName = line.kind == EntityKind::Other ? line.entityName : defaultEntityName(line.kind);
    data.textString = line.text;
    data.styleName = line.style;
    data.blockName = line.blockName;
    data.insertionPoint = line.point;
    data.width = line.width;
    data.height = styleHeight(drawing, line.style);
    data.attributeArray = line.attributeArray;
    return data;
}

Entity* attributeEntity(Host& host, const AttributeLine& line) {
    EntityData data;
    data.kind = EntityKind::AttributeReference;
    data.handle = line.handle;
    data.entityName = defaultEntityName(EntityKind::AttributeReference);
    data.styleName = line.style;
    data.tag = line.tag;
    data.textString = line.text;
    return addEntity(host, std::move(data));
}

}  // namespace

void buildDrawing(const Script& script, Host& host) {
    Drawing& d = host.drawing;
    d.application = host.make<Application>();
    d.document = host.make<Document>();
    d.textStyles = host.make<TextStyleCollection>();
    d.utility = host.make<Utility>();
    d.layout = host.make<Layout>();
    d.modelSpace = host.make<BlockDefinition>();
    for (const TextStyleData& style : script.styles) d.styles.push_back(host.make<TextStyle>(style));
    d.activeStyle = d.findStyle(script.activeStyle);
    for (const EntityLine& line : script.entities) {
        EntityData data = entityData(line, d);
        for (const AttributeLine& attribute : line.attributes) data.attributes.push_back(attributeEntity(host, attribute));
        d.entities.push_back(addEntity(host, std::move(data)));
    }
    host.picks.assign(script.picks.begin(), script.picks.end());
    host.inputs.assign(script.inputs.begin(), script.inputs.end());
    host.failures = script.failures;
    host.refusals = script.refusals;
}

}  // namespace testhost
