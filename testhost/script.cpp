#include "testhost/script.h"
#include "testhost/window_watch.h"

#include <cwchar>
#include <set>

namespace testhost {

namespace {

using namespace automation;

struct ScriptError {
    std::wstring message;
};

[[noreturn]] void fail(const std::wstring& message) { throw ScriptError{message}; }

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r'; }

int hexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// Raw tokens: runs of characters outside quotes separated by blanks, quoted
// parts kept with their quotes and escapes; '#' starting a token begins a comment.
std::vector<std::wstring> tokenize(const std::wstring& line) {
    std::vector<std::wstring> tokens;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n) {
        while (i < n && isBlank(line[i])) ++i;
        if (i == n || line[i] == L'#') break;
        std::wstring token;
        bool quoted = false;
        for (; i < n && (quoted || !isBlank(line[i])); ++i) {
            if (line[i] == L'"') quoted = !quoted;
            if (quoted && line[i] == L'\\' && i + 1 < n) token += line[i++];
            token += line[i];
        }
        if (quoted) fail(L"unterminated string");
        tokens.push_back(token);
    }
    return tokens;
}

// Inside quotes: \" \\ and \uXXXX; any other backslash stands for itself,
// so that MText codes such as \P and paths keep their backslashes.
std::wstring decode(const std::wstring& raw) {
    std::wstring out;
    bool quoted = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const wchar_t c = raw[i];
        if (c == L'"') {
            quoted = !quoted;
            continue;
        }
        if (quoted && c == L'\\' && i + 1 < raw.size()) {
            const wchar_t next = raw[i + 1];
            if (next == L'"' || next == L'\\') {
                out += next;
                ++i;
                continue;
            }
            if (next == L'u' && i + 5 < raw.size()) {
                int code = 0;
                bool hex = true;
                for (std::size_t k = i + 2; hex && k < i + 6; ++k) {
                    const int digit = hexDigit(raw[k]);
                    hex = digit >= 0;
                    code = code * 16 + digit;
                }
                if (hex) {
                    out += static_cast<wchar_t>(code);
                    i += 5;
                    continue;
                }
            }
        }
        out += c;
    }
    return out;
}

// The raw token cut at the first `parts - 1` separators outside quotes.
std::vector<std::wstring> splitOutsideQuotes(const std::wstring& raw, wchar_t separator, std::size_t parts) {
    std::vector<std::wstring> out(1);
    bool quoted = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const wchar_t c = raw[i];
        if (c == L'"') quoted = !quoted;
        if (quoted && c == L'\\' && i + 1 < raw.size()) {
            out.back() += c;
            out.back() += raw[++i];
            continue;
        }
        if (!quoted && c == separator && out.size() < parts) {
            out.emplace_back();
            continue;
        }
        out.back() += c;
    }
    return out;
}

std::optional<double> parseDouble(const std::wstring& text) {
    if (text.empty()) return std::nullopt;
    wchar_t* end = nullptr;
    const double value = std::wcstod(text.c_str(), &end);
    if (*end) return std::nullopt;
    return value;
}

std::optional<long long> parseInteger(const std::wstring& text) {
    if (text.empty()) return std::nullopt;
    wchar_t* end = nullptr;
    const long long value = std::wcstoll(text.c_str(), &end, 0);
    if (*end) return std::nullopt;
    return value;
}

class Cursor {
public:
    explicit Cursor(const std::vector<std::wstring>& tokens) : tokens_(tokens) {}

    bool atEnd() const { return next_ >= tokens_.size(); }
    const std::wstring& raw(const wchar_t* what) {
        if (atEnd()) fail(std::wstring(L"missing ") + what);
        return tokens_[next_++];
    }
    std::optional<std::wstring> peekWord() const {
        return atEnd() ? std::nullopt : std::optional<std::wstring>(tokens_[next_]);
    }
    void skip() { ++next_; }
    std::wstring text(const wchar_t* what) { return decode(raw(what)); }
    double number(const wchar_t* what) {
        auto value = parseDouble(raw(what));
        if (!value) fail(std::wstring(L"not a number: ") + what);
        return *value;
    }
    long long integer(const wchar_t* what) {
        auto value = parseInteger(raw(what));
        if (!value) fail(std::wstring(L"not an integer: ") + what);
        return *value;
    }
    Point point(const wchar_t* what) {
        const std::vector<std::wstring> parts = splitOutsideQuotes(raw(what), L',', 4);
        if (parts.size() < 2 || parts.size() > 3) fail(std::wstring(L"a point is x,y[,z]: ") + what);
        Point p{};
        for (std::size_t i = 0; i < parts.size(); ++i) {
            auto value = parseDouble(parts[i]);
            if (!value) fail(std::wstring(L"not a point: ") + what);
            p[i] = *value;
        }
        return p;
    }
    std::wstring rest() const {
        std::wstring out;
        for (std::size_t i = next_; i < tokens_.size(); ++i) out += (i > next_ ? L" " : L"") + tokens_[i];
        return out;
    }
    void end() const {
        if (!atEnd()) fail(L"unexpected " + tokens_[next_]);
    }

private:
    const std::vector<std::wstring>& tokens_;
    std::size_t next_ = 1;  // after the keyword
};

struct NamedIid {
    const wchar_t* name;
    const GUID* iid;
};

const NamedIid kHostInterfaces[] = {
    {L"IGcadApplication", &IID_IGcadApplication},
    {L"IGcadDatabase", &IID_IGcadDatabase},
    {L"IGcadDocument", &IID_IGcadDocument},
    {L"IGcadObject", &IID_IGcadObject},
    {L"IGcadEntity", &IID_IGcadEntity},
    {L"IGcadText", &IID_IGcadText},
    {L"IGcadMText", &IID_IGcadMText},
    {L"IGcadBlockReference", &IID_IGcadBlockReference},
    {L"IGcadAttributeReference", &IID_IGcadAttributeReference},
    {L"IGcadTextStyle", &IID_IGcadTextStyle},
    {L"IGcadUtility", &IID_IGcadUtility},
};

// What follows a step's name.
enum class StepArgs { None, Caption, Text, IdText, Id, IdIndex, IdDirection, IdRange, Millis, Dpi };

struct NamedStep {
    const wchar_t* name;
    UiStep::Kind kind;
    StepArgs args;
};

// The window steps the watcher knows; a new step kind is added here and in
// the watcher's handler table.
const NamedStep kUiSteps[] = {
    {L"window", UiStep::Kind::Window, StepArgs::Caption},
    {L"read", UiStep::Kind::Read, StepArgs::None},
    {L"close", UiStep::Kind::Close, StepArgs::None},
    {L"settext", UiStep::Kind::SetText, StepArgs::IdText},
    {L"type", UiStep::Kind::Type, StepArgs::Text},
    {L"key", UiStep::Kind::Key, StepArgs::Text},
    {L"keydown", UiStep::Kind::KeyDown, StepArgs::Text},
    {L"keyup", UiStep::Kind::KeyUp, StepArgs::Text},
    {L"click", UiStep::Kind::Click, StepArgs::Text},
    {L"toolbar", UiStep::Kind::Toolbar, StepArgs::IdIndex},
    {L"spin", UiStep::Kind::Spin, StepArgs::IdDirection},
    {L"focus", UiStep::Kind::Focus, StepArgs::Id},
    {L"select", UiStep::Kind::Select, StepArgs::IdRange},
    {L"wait", UiStep::Kind::Wait, StepArgs::Millis},
    {L"shot", UiStep::Kind::Shot, StepArgs::Text},
    {L"dpi", UiStep::Kind::Dpi, StepArgs::Dpi},
};

struct NamedType {
    const wchar_t* name;
    UINT type;
};

const NamedType kMessageBoxTypes[] = {
    {L"ok", MB_OK},
    {L"okcancel", MB_OKCANCEL},
    {L"yesno", MB_YESNO},
    {L"yesnocancel", MB_YESNOCANCEL},
    {L"retrycancel", MB_RETRYCANCEL},
    {L"abortretryignore", MB_ABORTRETRYIGNORE},
};

struct NamedAccess {
    const wchar_t* name;
    Access access;
};

const NamedAccess kAccesses[] = {{L"get", Access::Get}, {L"put", Access::Put}, {L"call", Access::Call}};

template <class Table, std::size_t N>
const Table* lookUp(const Table (&table)[N], const std::wstring& name) {
    for (const Table& row : table)
        if (sameName(row.name, name.c_str())) return &row;
    return nullptr;
}

class Parser {
public:
    Parser(Script& script, const std::vector<ClassNames>& classes) : script_(script), classes_(classes) {}

    void line(const std::vector<std::wstring>& tokens);
    void finish();

    void rot(Cursor& c);
    void style(Cursor& c);
    void activeStyle(Cursor& c);
    void text(Cursor& c);
    void mtext(Cursor& c);
    void block(Cursor& c);
    void attributeArray(Cursor& c);
    void entity(Cursor& c);
    void pick(Cursor& c);
    void point(Cursor& c);
    void distance(Cursor& c);
    void cancel(Cursor& c);
    void failure(Cursor& c);
    void refuse(Cursor& c);
    void serverClass(Cursor& c);
    void server(Cursor& c);
    void release(Cursor& c);
    void ui(Cursor& c);
    void call(Cursor& c);
    void selfcheck(Cursor& c);

private:
    void addHandle(const std::wstring& handle);
    const ClassNames& knownClass(const std::wstring& name) const;
    void addAction(Action action);
    ScriptValue argument(Cursor& c) const;

    Script& script_;
    const std::vector<ClassNames>& classes_;
    std::set<std::wstring> handles_;
    std::vector<UiStep> pendingSteps_;
    AttributeArray attributeArray_;  // for the blocks that follow
};

struct Keyword {
    const wchar_t* name;
    void (Parser::*parse)(Cursor&);
};

const Keyword kKeywords[] = {
    {L"rot", &Parser::rot},
    {L"style", &Parser::style},
    {L"active-style", &Parser::activeStyle},
    {L"text", &Parser::text},
    {L"mtext", &Parser::mtext},
    {L"block", &Parser::block},
    {L"attribute-array", &Parser::attributeArray},
    {L"entity", &Parser::entity},
    {L"pick", &Parser::pick},
    {L"point", &Parser::point},
    {L"distance", &Parser::distance},
    {L"cancel", &Parser::cancel},
    {L"fail", &Parser::failure},
    {L"refuse", &Parser::refuse},
    {L"server-class", &Parser::serverClass},
    {L"server", &Parser::server},
    {L"release", &Parser::release},
    {L"ui", &Parser::ui},
    {L"call", &Parser::call},
    {L"selfcheck", &Parser::selfcheck},
};

void Parser::line(const std::vector<std::wstring>& tokens) {
    const Keyword* keyword = lookUp(kKeywords, tokens[0]);
    if (!keyword) fail(L"unknown keyword " + tokens[0]);
    Cursor c(tokens);
    (this->*keyword->parse)(c);
}

void Parser::finish() {
    if (!pendingSteps_.empty()) fail(L"ui steps without a command after them");
    for (const PickAnswer& pick : script_.picks)
        if (pick.kind == PickAnswer::Kind::Entity && !handles_.count(upperCase(pick.handle)))
            fail(L"pick of an unknown handle " + pick.handle);
    if (script_.activeStyle.empty() && !script_.styles.empty()) script_.activeStyle = script_.styles.front().name;
}

void Parser::addHandle(const std::wstring& handle) {
    if (handle.empty()) fail(L"empty handle");
    if (!handles_.insert(upperCase(handle)).second) fail(L"handle used twice: " + handle);
}

// rot none | rot both | rot PROGID...
void Parser::rot(Cursor& c) {
    script_.rotProgIds.clear();
    const std::wstring first = c.text(L"program identifier");
    if (sameName(first.c_str(), L"none")) return c.end();
    if (sameName(first.c_str(), L"both")) {
        script_.rotProgIds.assign(std::begin(kHostProgIds), std::end(kHostProgIds));
        return c.end();
    }
    for (std::wstring name = first;; name = c.text(L"program identifier")) {
        bool known = false;
        for (const wchar_t* progId : kHostProgIds) known = known || sameName(progId, name.c_str());
        if (!known) fail(L"not a host program identifier: " + name);
        script_.rotProgIds.push_back(name);
        if (c.atEnd()) break;
    }
}

// style NAME FONTFILE FLAG HEIGHT
void Parser::style(Cursor& c) {
    TextStyleData style;
    style.name = c.text(L"style name");
    style.fontFile = c.text(L"font file");
    style.generationFlag = static_cast<long>(c.integer(L"text generation flag"));
    style.height = c.number(L"height");
    c.end();
    for (const TextStyleData& other : script_.styles)
        if (sameName(other.name.c_str(), style.name.c_str())) fail(L"style defined twice: " + style.name);
    script_.styles.push_back(style);
}

void Parser::activeStyle(Cursor& c) {
    const std::wstring name = c.text(L"style name");
    c.end();
    bool known = false;
    for (const TextStyleData& style : script_.styles) known = known || sameName(style.name.c_str(), name.c_str());
    if (!known) fail(L"active-style names an undefined style: " + name);
    script_.activeStyle = name;
}

// text HANDLE STYLE STRING
void Parser::text(Cursor& c) {
    EntityLine e;
    e.kind = EntityKind::Text;
    e.handle = c.text(L"handle");
    e.style = c.text(L"style name");
    e.text = c.text(L"text string");
    c.end();
    addHandle(e.handle);
    script_.entities.push_back(e);
}

// mtext HANDLE STYLE X,Y[,Z] WIDTH STRING
void Parser::mtext(Cursor& c) {
    EntityLine e;
    e.kind = EntityKind::MText;
    e.handle = c.text(L"handle");
    e.style = c.text(L"style name");
    e.point = c.point(L"insertion point");
    e.width = c.number(L"width");
    e.text = c.text(L"text string");
    c.end();
    addHandle(e.handle);
    script_.entities.push_back(e);
}

// block HANDLE NAME [HANDLE:STYLE:TAG:STRING]...
void Parser::block(Cursor& c) {
    EntityLine e;
    e.kind = EntityKind::BlockReference;
    e.handle = c.text(L"handle");
    e.blockName = c.text(L"block name");
    e.attributeArray = attributeArray_;
    addHandle(e.handle);
    while (!c.atEnd()) {
        const std::vector<std::wstring> parts = splitOutsideQuotes(c.raw(L"attribute"), L':', 4);
        if (parts.size() != 4) fail(L"an attribute is HANDLE:STYLE:TAG:STRING");
        AttributeLine a{decode(parts[0]), decode(parts[1]), decode(parts[2]), decode(parts[3])};
        addHandle(a.handle);
        e.attributes.push_back(a);
    }
    script_.entities.push_back(e);
}

struct NamedVartype {
    const wchar_t* name;
    VARTYPE type;
};

const NamedVartype kAttributeArrayTypes[] = {
    {L"variant", VT_VARIANT}, {L"dispatch", VT_DISPATCH}, {L"unknown", VT_UNKNOWN}};

// attribute-array variant|dispatch|unknown [LBOUND]
void Parser::attributeArray(Cursor& c) {
    const NamedVartype* type = lookUp(kAttributeArrayTypes, c.text(L"variant, dispatch or unknown"));
    if (!type) fail(L"attribute-array takes variant, dispatch or unknown");
    AttributeArray form{type->type, 0};
    if (!c.atEnd()) form.lowerBound = static_cast<LONG>(c.integer(L"lower bound"));
    c.end();
    attributeArray_ = form;
}

// entity HANDLE CLASSNAME
void Parser::entity(Cursor& c) {
    EntityLine e;
    e.kind = EntityKind::Other;
    e.handle = c.text(L"handle");
    e.entityName = c.text(L"entity class name");
    c.end();
    addHandle(e.handle);
    script_.entities.push_back(e);
}

// pick HANDLE [X,Y[,Z]] | pick none | pick null | pick cancel
void Parser::pick(Cursor& c) {
    PickAnswer answer{PickAnswer::Kind::Entity, c.text(L"handle, none, null or cancel"), {}};
    if (sameName(answer.handle.c_str(), L"none")) answer.kind = PickAnswer::Kind::Nothing;
    else if (sameName(answer.handle.c_str(), L"null")) answer.kind = PickAnswer::Kind::NullObject;
    else if (sameName(answer.handle.c_str(), L"cancel")) answer.kind = PickAnswer::Kind::Cancel;
    else if (!c.atEnd()) answer.point = c.point(L"pick point");
    c.end();
    script_.picks.push_back(answer);
}

void Parser::point(Cursor& c) {
    InputAnswer answer{InputAnswer::Kind::Point, c.point(L"point"), 0};
    c.end();
    script_.inputs.push_back(answer);
}

void Parser::distance(Cursor& c) {
    InputAnswer answer{InputAnswer::Kind::Distance, {}, c.number(L"distance")};
    c.end();
    script_.inputs.push_back(answer);
}

void Parser::cancel(Cursor& c) {
    c.end();
    script_.inputs.push_back(InputAnswer{InputAnswer::Kind::Cancel, {}, 0});
}

const ClassNames& Parser::knownClass(const std::wstring& name) const {
    for (const ClassNames& names : classes_)
        if (sameName(names.className, name.c_str())) return names;
    fail(L"unknown class " + name);
}

// fail CLASS.MEMBER [get|put|call] HRESULT TEXT [call N]
void Parser::failure(Cursor& c) {
    FailureRule rule;
    const std::wstring target = c.text(L"Class.Member");
    const std::size_t dot = target.find(L'.');
    if (dot == std::wstring::npos) fail(L"fail needs Class.Member");
    rule.className = target.substr(0, dot);
    rule.member = target.substr(dot + 1);
    const ClassNames& names = knownClass(rule.className);
    bool known = false;
    for (const wchar_t* member : names.members) known = known || sameName(member, rule.member.c_str());
    if (!known) fail(L"class " + rule.className + L" has no member " + rule.member);
    if (auto word = c.peekWord(); word && lookUp(kAccesses, *word)) {
        rule.access = lookUp(kAccesses, *word)->access;
        c.skip();
    }
    rule.code = static_cast<HRESULT>(c.integer(L"HRESULT"));
    rule.text = c.text(L"error text");
    if (!c.atEnd()) {
        if (!sameName(c.text(L"call").c_str(), L"call")) fail(L"expected: call N");
        rule.nth = static_cast<int>(c.integer(L"call number"));
        if (rule.nth < 1) fail(L"calls are counted from 1");
    }
    c.end();
    script_.failures.push_back(rule);
}

// refuse CLASS INTERFACE
void Parser::refuse(Cursor& c) {
    const std::wstring className = c.text(L"class");
    knownClass(className);
    const NamedIid* iid = lookUp(kHostInterfaces, c.text(L"interface"));
    if (!iid) fail(L"not a host interface");
    c.end();
    script_.refusals.push_back(Refusal{className, *iid->iid});
}

// server-class PROGID [{CLSID}]
void Parser::serverClass(Cursor& c) {
    script_.serverProgId = c.text(L"program identifier");
    script_.serverClsid.reset();
    if (!c.atEnd()) {
        std::wstring text = c.text(L"class identifier");
        CLSID clsid;
        if (FAILED(CLSIDFromString(text.data(), &clsid))) fail(L"not a class identifier: " + text);
        script_.serverClsid = clsid;
    }
    c.end();
}

void Parser::addAction(Action action) {
    action.steps = std::move(pendingSteps_);
    pendingSteps_.clear();
    script_.actions.push_back(std::move(action));
}

// server N: the server object the next calls use, created on first use.
void Parser::server(Cursor& c) {
    Action action;
    action.kind = Action::Kind::SelectServer;
    action.written = c.rest();
    action.server = static_cast<int>(c.integer(L"server number"));
    c.end();
    addAction(std::move(action));
}

void Parser::release(Cursor& c) {
    Action action;
    action.kind = Action::Kind::ReleaseServer;
    action.written = c.rest();
    action.server = static_cast<int>(c.integer(L"server number"));
    c.end();
    addAction(std::move(action));
}

// ui STEP [ARGUMENTS]: see kUiSteps for each step's arguments.
void Parser::ui(Cursor& c) {
    UiStep step;
    step.written = c.rest();
    const NamedStep* named = lookUp(kUiSteps, c.text(L"ui step"));
    if (!named) fail(L"unknown ui step: " + step.written);
    step.kind = named->kind;
    auto id = [&] { step.id = static_cast<int>(c.integer(L"control id")); };
    switch (named->args) {
        case StepArgs::None: break;
        case StepArgs::Caption: step.caption = c.text(L"caption"); break;
        case StepArgs::Text:
            step.text = c.text(L"text");
            if ((step.kind == UiStep::Kind::Key || step.kind == UiStep::Kind::KeyDown || step.kind == UiStep::Kind::KeyUp) &&
                virtualKeys(step.text).empty())
                fail(L"unknown key: " + step.text);
            break;
        case StepArgs::IdText: id(); step.text = c.text(L"text"); break;
        case StepArgs::Id: id(); break;
        case StepArgs::IdIndex: id(); step.number = static_cast<int>(c.integer(L"button index")); break;
        case StepArgs::IdDirection:
            id();
            step.text = c.text(L"up or down");
            if (!sameName(step.text.c_str(), L"up") && !sameName(step.text.c_str(), L"down"))
                fail(L"a spin goes up or down: " + step.text);
            break;
        case StepArgs::IdRange:
            id();
            step.number = static_cast<int>(c.integer(L"selection start"));
            step.number2 = static_cast<int>(c.integer(L"selection end"));
            break;
        case StepArgs::Millis: step.number = static_cast<int>(c.integer(L"milliseconds")); break;
        case StepArgs::Dpi:
            step.number = static_cast<int>(c.integer(L"DPI"));
            if (step.number < 48 || step.number > 960) fail(L"a DPI from 48 to 960");
            break;
    }
    c.end();
    pendingSteps_.push_back(step);
}

// A quoted argument is a string, a bare one a number when it reads as one,
// `missing` an omitted optional argument.
ScriptValue Parser::argument(Cursor& c) const {
    const std::wstring raw = c.raw(L"argument");
    ScriptValue value;
    value.text = decode(raw);
    if (raw.find(L'"') != std::wstring::npos) return value;
    if (sameName(raw.c_str(), L"missing")) {
        value.kind = ScriptValue::Kind::Missing;
    } else if (auto n = parseInteger(raw)) {
        value.kind = ScriptValue::Kind::Integer;
        value.integer = static_cast<long>(*n);
    } else if (auto d = parseDouble(raw)) {
        value.kind = ScriptValue::Kind::Real;
        value.real = *d;
    }
    return value;
}

// call late NAME ARGS... | call dispid N ARGS... | call early NAME ARGS...
void Parser::call(Cursor& c) {
    Action action;
    action.kind = Action::Kind::Call;
    action.written = c.rest();
    const std::wstring binding = c.text(L"late, dispid or early");
    ServerCall& call = action.call;
    if (sameName(binding.c_str(), L"late")) {
        call.binding = ServerCall::Binding::Late;
        call.name = c.text(L"command name");
    } else if (sameName(binding.c_str(), L"dispid")) {
        call.binding = ServerCall::Binding::Dispid;
        call.dispid = static_cast<DISPID>(c.integer(L"dispatch identifier"));
    } else if (sameName(binding.c_str(), L"early")) {
        call.binding = ServerCall::Binding::Early;
        call.name = c.text(L"command name");
        bool known = false;
        for (const wchar_t* name : {L"Newtext", L"Edit", L"Mtext"}) known = known || sameName(name, call.name.c_str());
        if (!known) fail(L"early binding knows Newtext, Edit and Mtext");
    } else {
        fail(L"call late, call dispid or call early");
    }
    while (!c.atEnd()) call.args.push_back(argument(c));
    addAction(std::move(action));
}

// selfcheck rot | selfcheck messagebox CAPTION TEXT [TYPE] | selfcheck resources
void Parser::selfcheck(Cursor& c) {
    Action action;
    action.kind = Action::Kind::Selfcheck;
    action.written = L"selfcheck " + c.rest();
    const std::wstring what = c.text(L"rot, messagebox or resources");
    if (sameName(what.c_str(), L"rot")) {
        action.check.kind = Selfcheck::Kind::Rot;
    } else if (sameName(what.c_str(), L"messagebox")) {
        action.check.kind = Selfcheck::Kind::MessageBox;
        action.check.caption = c.text(L"caption");
        action.check.text = c.text(L"text");
        if (!c.atEnd()) {
            const NamedType* type = lookUp(kMessageBoxTypes, c.text(L"message box type"));
            if (!type) fail(L"unknown message box type");
            action.check.type = type->type;
        }
    } else if (sameName(what.c_str(), L"resources")) {
        action.check.kind = Selfcheck::Kind::Resources;
    } else {
        fail(L"selfcheck rot, selfcheck messagebox or selfcheck resources");
    }
    c.end();
    addAction(std::move(action));
}

std::optional<std::wstring> wideFromUtf8(const std::string& utf8) {
    std::string text = utf8;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    if (text.empty()) return std::wstring();
    const int size = static_cast<int>(text.size());
    const int chars = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (chars <= 0) return std::nullopt;
    std::wstring out(static_cast<std::size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, out.data(), chars);
    return out;
}

}  // namespace

bool parseScript(const std::string& utf8, const std::vector<ClassNames>& classes, Script& script,
                 std::wstring& error) {
    auto text = wideFromUtf8(utf8);
    if (!text) {
        error = L"the script is not UTF-8";
        return false;
    }
    Parser parser(script, classes);
    int number = 0;
    std::size_t start = 0;
    try {
        while (start <= text->size()) {
            std::size_t end = text->find(L'\n', start);
            if (end == std::wstring::npos) end = text->size();
            ++number;
            const std::vector<std::wstring> tokens = tokenize(text->substr(start, end - start));
            if (!tokens.empty()) parser.line(tokens);
            start = end + 1;
        }
        number = 0;
        parser.finish();
    } catch (const ScriptError& e) {
        error = number ? L"line " + std::to_wstring(number) + L": " + e.message : e.message;
        return false;
    }
    return true;
}

}  // namespace testhost
