// The test script: the drawing, the user's answers, the injected failures
// and the sequence of commands. The language is described in README.md.
#pragma once

#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "automation/host_ids.h"
#include "testhost/entities.h"
#include "testhost/host_objects.h"

namespace testhost {

struct ScriptValue {
    enum class Kind { String, Integer, Real, Missing } kind = Kind::String;
    std::wstring text;
    long integer = 0;
    double real = 0;
};

struct ServerCall {
    enum class Binding { Late, Dispid, Early } binding = Binding::Late;
    std::wstring name;
    DISPID dispid = DISPID_UNKNOWN;
    std::vector<ScriptValue> args;
};

// A step of the window automation that runs while a command does.
struct UiStep {
    enum class Kind {
        Window, Read, Close, SetText, Type, Key, KeyDown, KeyUp, Click, Toolbar, Spin, Focus, Select, Wait, Shot, Dpi
    } kind = Kind::Window;
    std::wstring caption;  // Window: a pattern, '*' for any run of characters
    std::wstring text;     // SetText, Type, Click: the text; Key*: the key names; Spin: up|down; Shot: the file
    int id = 0;            // SetText, Toolbar, Spin, Focus, Select: the control's id
    int number = 0;        // Toolbar: the button's index; Wait: milliseconds; Select: the start; Dpi: the DPI
    int number2 = 0;       // Select: the end
    std::wstring written;
};

struct Selfcheck {
    enum class Kind { Rot, MessageBox, Resources } kind = Kind::Rot;
    std::wstring caption, text;
    UINT type = MB_OK;
};

struct Action {
    enum class Kind { Call, Selfcheck, SelectServer, ReleaseServer } kind = Kind::Call;
    std::wstring written;  // the line without its keyword
    ServerCall call;
    Selfcheck check;
    int server = 1;
    std::vector<UiStep> steps;  // the ui lines before it
};

struct AttributeLine {
    std::wstring handle, style, tag, text;
};

struct EntityLine {
    EntityKind kind = EntityKind::Other;
    std::wstring handle, style, text, entityName, blockName;
    Point point{};
    double width = 0;
    std::vector<AttributeLine> attributes;
    AttributeArray attributeArray;
};

struct Script {
    std::vector<std::wstring> rotProgIds{std::begin(automation::kHostProgIds), std::end(automation::kHostProgIds)};
    std::vector<TextStyleData> styles;
    std::wstring activeStyle;
    std::vector<EntityLine> entities;
    std::vector<PickAnswer> picks;
    std::vector<InputAnswer> inputs;
    std::vector<FailureRule> failures;
    std::vector<Refusal> refusals;
    std::wstring serverProgId = L"vorn2017.Keltrav";
    // Created when the program identifier is not registered; none: the failure stands.
    std::optional<CLSID> serverClsid = automation::CLSID_Keltrav;
    std::vector<Action> actions;
};

// The script from its UTF-8 text; false with a message naming the line.
bool parseScript(const std::string& utf8, const std::vector<ClassNames>& classes, Script& script,
                 std::wstring& error);

}  // namespace testhost
