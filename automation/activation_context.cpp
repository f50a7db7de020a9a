#include "automation/activation_context.h"

#include "automation/server.h"

namespace automation {
namespace {

constexpr WORD kManifestResource = 2;  // ISOLATIONAWARE_MANIFEST_RESOURCE_ID

// Made once, kept for the life of the process; none when it cannot be made
// (the editors then look as the host's own context has them).
HANDLE serverContext() {
    static const HANDLE context = [] {
        ACTCTXW request{};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.hModule = serverModule();
        request.lpResourceName = MAKEINTRESOURCEW(kManifestResource);
        return CreateActCtxW(&request);
    }();
    return context;
}

}  // namespace

ActivationScope::ActivationScope() {
    const HANDLE context = serverContext();
    active_ = context != INVALID_HANDLE_VALUE && ActivateActCtx(context, &cookie_);
}

ActivationScope::~ActivationScope() {
    if (active_) DeactivateActCtx(0, cookie_);
}

}  // namespace automation
