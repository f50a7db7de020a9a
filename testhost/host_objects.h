// The host's application, document and their helpers: text styles, the
// user-input utility, the layout and its block.
#pragma once

#include <string>
#include <vector>

#include "testhost/host.h"

namespace testhost {

class Application : public Dispatchable<Application> {
public:
    explicit Application(Host& host);
    HRESULT activeDocument(Invocation& call);
};

class Document : public Dispatchable<Document> {
public:
    explicit Document(Host& host);
    HRESULT handleToObject(Invocation& call);
    HRESULT textStyles(Invocation& call);
    HRESULT activeTextStyle(Invocation& call);
    HRESULT utility(Invocation& call);
    HRESULT activeLayout(Invocation& call);
    HRESULT sendCommand(Invocation& call);
    HRESULT newTextConfirmed(Invocation& call);
};

struct TextStyleData {
    std::wstring name, fontFile;
    long generationFlag = 0;
    double height = 0;
};

class TextStyle : public Dispatchable<TextStyle> {
public:
    TextStyle(Host& host, TextStyleData data);
    std::wstring objectId() const override { return data_.name; }
    const std::wstring& name() const { return data_.name; }
    const TextStyleData& data() const { return data_; }
    std::string describe() const;

    HRESULT getName(Invocation& call);
    HRESULT getFontFile(Invocation& call);
    HRESULT getTextGenerationFlag(Invocation& call);
    HRESULT getHeight(Invocation& call);

private:
    TextStyleData data_;
};

class TextStyleCollection : public Dispatchable<TextStyleCollection> {
public:
    explicit TextStyleCollection(Host& host);
    HRESULT item(Invocation& call);
    HRESULT count(Invocation& call);
};

class Utility : public Dispatchable<Utility> {
public:
    explicit Utility(Host& host);
    HRESULT getEntity(Invocation& call);
    HRESULT prompt(Invocation& call);
    HRESULT getPoint(Invocation& call);
    HRESULT getCorner(Invocation& call);
    HRESULT getDistance(Invocation& call);

private:
    HRESULT pickAnswered(Invocation& call, VARIANT* object, VARIANT* point);
    // The next scripted input, or null after answering the call's failure.
    const InputAnswer* nextInput(Invocation& call, InputAnswer::Kind wanted, HRESULT& failure);
    InputAnswer current_;
};

class Layout : public Dispatchable<Layout> {
public:
    explicit Layout(Host& host);
    HRESULT block(Invocation& call);
};

class BlockDefinition : public Dispatchable<BlockDefinition> {
public:
    explicit BlockDefinition(Host& host);
    HRESULT addMText(Invocation& call);
};

// What the user answers when cancelling a prompt.
constexpr HRESULT kUserCancelled = static_cast<HRESULT>(0x80020009);

std::vector<ClassNames> hostClassNames();

}  // namespace testhost
