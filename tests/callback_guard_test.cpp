// What runs inside a system callback never lets a failure out.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "editors/callback_guard.h"

using editors::guardedCall;
using editors::relayHook;

namespace {

struct GuardCase {
    const char* what;
    void (*handler)();
    bool shown;
    std::optional<std::string> message;  // nullopt: shown without one
};

const GuardCase kGuardCases[] = {
    {"a handler that ends normally", [] {}, false, std::nullopt},
    {"a std::exception", [] { throw std::runtime_error("\xD7\xA9 failed"); }, true, "\xD7\xA9 failed"},
    {"anything else", [] { throw 42; }, true, std::nullopt},
    {"a string literal", [] { throw "text"; }, true, std::nullopt},
};

TEST(CallbackGuard, ShowsEveryFailureAndLetsNoneOut) {
    for (const GuardCase& c : kGuardCases) {
        SCOPED_TRACE(c.what);
        bool shown = false;
        std::optional<std::string> message;
        guardedCall(c.handler, [&](const char* text) {
            shown = true;
            if (text) message = text;
        });
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(message, c.message);
    }
}

TEST(CallbackGuard, AShowThatFailsIsGivenUp) {
    int shows = 0;
    guardedCall([] { throw std::logic_error("x"); }, [&](const char*) {
        ++shows;
        throw std::bad_alloc();
    });
    EXPECT_EQ(shows, 1);
}

TEST(CallbackGuard, HookPassesOnFirstAndKeepsTheResultWhateverTheReportDoes) {
    for (int failure = 0; failure < 3; ++failure) {
        std::vector<std::string> order;
        const long long result = relayHook(
            [&] {
                order.push_back("next");
                return 42LL;
            },
            [&] {
                order.push_back("report");
                if (failure == 1) throw std::runtime_error("report");
                if (failure == 2) throw 7;
            });
        EXPECT_EQ(result, 42) << failure;
        EXPECT_EQ(order, (std::vector<std::string>{"next", "report"})) << failure;
    }
}

}  // namespace
