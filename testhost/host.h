// The host's state: its objects and drawing, the answers the script gives
// to the user prompts, the failures it injects, and the record of every call.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "testhost/dispatch.h"

namespace testhost {

class Application;
class Document;
class TextStyleCollection;
class TextStyle;
class Utility;
class Layout;
class BlockDefinition;
class Entity;

struct CallRecord {
    std::wstring object, id, member, access;
    std::vector<std::string> args;  // JSON
    HRESULT hr = S_OK;
    HRESULT scode = S_OK;  // the code raised with DISP_E_EXCEPTION
    std::wstring error;
    bool injected = false;
};

// The Nth matching call (every one when nth is 0) fails with code and text.
struct FailureRule {
    std::wstring className, member;
    std::optional<Access> access;
    HRESULT code = E_FAIL;
    std::wstring text;
    int nth = 0;
    int seen = 0;
};

struct Refusal {
    std::wstring className;
    GUID iid;
};

struct PickAnswer {
    enum class Kind { Entity, Nothing, NullObject, Cancel } kind;
    std::wstring handle;
    Point point{};  // where the user picked
};

struct InputAnswer {
    enum class Kind { Point, Distance, Cancel } kind;
    Point point{};
    double distance = 0;
};

struct Drawing {
    Application* application = nullptr;
    Document* document = nullptr;
    TextStyleCollection* textStyles = nullptr;
    Utility* utility = nullptr;
    Layout* layout = nullptr;
    BlockDefinition* modelSpace = nullptr;
    std::vector<TextStyle*> styles;
    TextStyle* activeStyle = nullptr;
    std::vector<Entity*> entities;  // in drawing order; attributes belong to their blocks
    std::map<std::wstring, Entity*> byHandle;  // upper-case handles, attributes too

    Entity* find(const std::wstring& handle) const;
    TextStyle* findStyle(const std::wstring& name) const;
    std::wstring nextHandle() const;
};

class Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // A new object, held by the host until its destruction.
    template <class T, class... Args>
    T* make(Args&&... args) {
        T* object = new T(*this, std::forward<Args>(args)...);
        objects_.emplace_back(object);
        return object;
    }
    const std::vector<ComPtr<HostObject>>& objects() const { return objects_; }

    bool refuses(const wchar_t* className, REFIID iid) const;
    // Counts the call against every rule it matches; the rule that fires.
    const FailureRule* injectedFailure(const wchar_t* className, const wchar_t* member, Access access);
    std::size_t log(CallRecord record);
    CallRecord& logged(std::size_t index) { return calls[index]; }

    Drawing drawing;
    std::vector<CallRecord> calls;
    std::vector<std::wstring> sendCommands;
    std::vector<std::wstring> prompts;  // every prompt text, in order
    std::vector<FailureRule> failures;
    std::vector<Refusal> refusals;
    std::deque<PickAnswer> picks;
    std::deque<InputAnswer> inputs;

private:
    std::vector<ComPtr<HostObject>> objects_;
};

std::wstring upperCase(std::wstring s);

}  // namespace testhost
