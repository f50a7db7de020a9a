#include "testhost/report.h"

#include "testhost/entities.h"
#include "testhost/host_objects.h"
#include "testhost/json.h"

namespace testhost {

namespace {

std::string optionalText(bool present, const std::wstring& text) {
    return present ? json::quote(text) : json::null();
}

std::vector<std::string> quotedAll(const std::vector<std::wstring>& texts) {
    std::vector<std::string> out;
    for (const std::wstring& text : texts) out.push_back(json::quote(text));
    return out;
}

std::string describeCommand(const CommandRecord& c) {
    std::vector<json::Field> fields{{"call", json::quote(c.written)}};
    if (!c.selfcheck.empty()) {
        fields.push_back({"selfcheck", c.selfcheck});
    } else {
        fields.push_back({"server", json::integer(c.server)});
        fields.push_back({"hr", json::hresult(c.hr)});
        fields.push_back({"stage", c.stage.empty() ? json::null() : json::quote(c.stage)});
        if (c.progIdResult) fields.push_back({"progIdHr", json::hresult(*c.progIdResult)});
        fields.push_back({"errorSource", optionalText(c.hasErrorInfo, c.errorSource)});
        fields.push_back({"errorDescription", optionalText(c.hasErrorInfo, c.errorDescription)});
        fields.push_back({"excepinfo", c.hasExcepInfo ? json::object({{"scode", json::hresult(c.excepCode)},
                                                                      {"source", json::quote(c.excepSource)},
                                                                      {"description", json::quote(c.excepDescription)}})
                                                      : json::null()});
    }
    if (!c.uiPending.empty()) fields.push_back({"uiPending", json::array(quotedAll(c.uiPending))});
    return json::object(fields);
}

std::string describeCall(const CallRecord& c) {
    std::vector<json::Field> fields{{"object", json::quote(c.object)}};
    if (!c.id.empty()) fields.push_back({"id", json::quote(c.id)});
    fields.push_back({"member", json::quote(c.member)});
    fields.push_back({"access", json::quote(c.access)});
    fields.push_back({"args", json::array(c.args)});
    if (FAILED(c.hr)) {
        fields.push_back({"hr", json::hresult(c.hr)});
        if (c.hr == DISP_E_EXCEPTION) {
            fields.push_back({"scode", json::hresult(c.scode)});
            fields.push_back({"error", json::quote(c.error)});
        }
    }
    if (c.injected) fields.push_back({"injected", json::boolean(true)});
    return json::object(fields);
}

std::string describeMessage(const MessageRecord& m) {
    return json::object({{"command", json::integer(m.command)},
                         {"caption", json::quote(m.caption)},
                         {"text", json::quote(m.text)},
                         {"buttons", json::array(quotedAll(m.buttons))},
                         {"pressed", json::quote(m.pressed)}});
}

std::string describeWindow(const WindowRecord& w) {
    std::vector<std::string> controls;
    for (const ControlRecord& c : w.controls) {
        std::vector<json::Field> fields{
            {"class", json::quote(c.className)}, {"id", json::integer(c.id)}, {"text", json::quote(c.text)}};
        if (!c.rows.empty()) {
            std::vector<std::string> rows;
            for (const auto& row : c.rows) rows.push_back(json::array(quotedAll(row)));
            fields.push_back({"rows", json::array(rows)});
        }
        if (c.layoutRtl) fields.push_back({"layoutRtl", json::boolean(true)});
        if (c.focused) fields.push_back({"focused", json::boolean(true)});
        if (!c.module.empty()) fields.push_back({"module", json::quote(c.module)});
        fields.push_back({"size", json::array({json::integer(c.size.cx), json::integer(c.size.cy)})});
        if (c.fontHeight) fields.push_back({"fontHeight", json::integer(c.fontHeight)});
        if (c.textWidth) fields.push_back({"textWidth", json::integer(c.textWidth)});
        controls.push_back(json::object(fields));
    }
    return json::object({{"command", json::integer(w.command)},
                         {"event", json::quote(w.event)},
                         {"caption", json::quote(w.caption)},
                         {"class", json::quote(w.className)},
                         {"controls", json::array(controls)},
                         {"dpi", json::integer(w.dpi)},
                         {"size", json::array({json::integer(w.size.cx), json::integer(w.size.cy)})},
                         {"client", json::array({json::integer(w.client.cx), json::integer(w.client.cy)})},
                         {"captionWidth", json::integer(w.captionWidth)},
                         {"captionRoom", json::integer(w.captionRoom)}});
}

std::string describeReferences(const Host& host) {
    std::vector<std::string> items;
    for (const auto& object : host.objects()) {
        std::vector<json::Field> fields{{"object", json::quote(object->className())}};
        if (!object->objectId().empty()) fields.push_back({"id", json::quote(object->objectId())});
        fields.push_back({"outstanding", json::integer(object->outstandingReferences())});
        items.push_back(json::object(fields));
    }
    return json::arrayLines(items);
}

std::string describeDrawing(const Drawing& drawing) {
    std::vector<std::string> styles, entities;
    for (const TextStyle* style : drawing.styles) styles.push_back(style->describe());
    for (const Entity* entity : drawing.entities) entities.push_back(entity->describe());
    return json::object({{"activeStyle", drawing.activeStyle ? json::quote(drawing.activeStyle->name()) : json::null()},
                         {"styles", json::arrayLines(styles)},
                         {"entities", json::arrayLines(entities)}});
}

template <class T, class Describe>
std::string describeAll(const std::vector<T>& items, Describe describe) {
    std::vector<std::string> out;
    for (const T& item : items) out.push_back(describe(item));
    return json::arrayLines(out);
}

}  // namespace

std::string report(const Host& host, const RunRecord& run) {
    const std::vector<json::Field> sections{
        {"commands", describeAll(run.commands, describeCommand)},
        {"drawing", describeDrawing(host.drawing)},
        {"calls", describeAll(host.calls, describeCall)},
        {"prompts", json::arrayLines(quotedAll(host.prompts))},
        {"sendCommands", json::arrayLines(quotedAll(host.sendCommands))},
        {"messages", describeAll(run.watcher->messages(), describeMessage)},
        {"windows", describeAll(run.watcher->windows(), describeWindow)},
        {"rot", run.rot->describe()},
        {"references", describeReferences(host)},
    };
    std::string out = "{\n";
    for (std::size_t i = 0; i < sections.size(); ++i)
        out += std::string(i ? ",\n" : "") + "\"" + sections[i].first + "\":" + sections[i].second;
    return out + "\n}\n";
}

}  // namespace testhost
