// The Windows side against the platform's own functions, under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <vector>

#include "hebrew/codepage.h"
#include "hebrew/config_folder.h"
#include "hebrew/keyboard_win32.h"
#include "test_util.h"

using namespace hebrew;

namespace {

TEST(Platform, AnsiCodePageIsHebrew) { EXPECT_EQ(GetACP(), 1255u) << "run under a Hebrew locale"; }

// Where the platform's code page 1255 differs from ours. Ours follows the
// rule that an undefined byte is the character of its own number.
// The platform gives byte 202 the point holam haser for vav and the other
// gaps characters of the private use area.
const std::map<int, char16_t> kPlatformDifferences = {
    {202, 0x05BA}, {217, 0xF88D}, {218, 0xF88E}, {219, 0xF88F}, {220, 0xF890}, {221, 0xF891},
    {222, 0xF892}, {223, 0xF893}, {251, 0xF894}, {252, 0xF895}, {255, 0xF896},
};

char16_t platformByteToUnicode(unsigned char b) {
    wchar_t w = 0;
    char c = static_cast<char>(b);
    if (MultiByteToWideChar(1255, 0, &c, 1, &w, 1) != 1) return 0xFFFF;
    return static_cast<char16_t>(w);
}

TEST(Platform, CodePageAgreesWithMultiByteToWideChar) {
    std::map<int, char16_t> differences;
    for (int b = 0; b < 256; ++b) {
        char16_t platform = platformByteToUnicode(static_cast<unsigned char>(b));
        if (platform != byteToUnicode(static_cast<unsigned char>(b))) differences[b] = platform;
    }
    EXPECT_EQ(differences, kPlatformDifferences);
}

TEST(Platform, CodePageAgreesWithWideCharToMultiByte) {
    std::map<int, int> differences;
    for (int b = 0; b < 256; ++b) {
        if (isUndefinedByte(static_cast<unsigned char>(b))) continue;
        wchar_t w = byteToUnicode(static_cast<unsigned char>(b));
        char out = 0;
        BOOL defaulted = FALSE;
        int n = WideCharToMultiByte(1255, 0, &w, 1, &out, 1, "?", &defaulted);
        if (n != 1 || static_cast<unsigned char>(out) != b) differences[b] = static_cast<unsigned char>(out);
    }
    EXPECT_TRUE(differences.empty());
    // A character that the code page lacks becomes "?" on both sides.
    for (wchar_t w : {L'\x0627', L'\x4E2D', L'\x0100'}) {
        char out = 0;
        WideCharToMultiByte(1255, 0, &w, 1, &out, 1, "?", nullptr);
        EXPECT_EQ(out, '?');
        EXPECT_EQ(unicodeToByte(static_cast<char16_t>(w)), '?');
    }
}

TEST(Platform, ConfigFolderIsTheUsersApplicationData) {
    ConfigLocation location = ConfigFolder();
    EXPECT_TRUE(location.isReal);
    const std::u16string tail = u"\\Sulmoro\\Vorn\\";
    ASSERT_GT(location.folder.size(), tail.size());
    EXPECT_EQ(location.folder.substr(location.folder.size() - tail.size()), tail);
    EXPECT_EQ(location.folder[1], u':') << "a full path with a drive";
}

std::uint16_t languageOf(HKL layout) { return LOWORD(reinterpret_cast<ULONG_PTR>(layout)); }

bool layoutInstalled(std::uint16_t language) {
    std::vector<HKL> layouts(static_cast<std::size_t>(std::max(GetKeyboardLayoutList(0, nullptr), 0)));
    layouts.resize(static_cast<std::size_t>(GetKeyboardLayoutList(static_cast<int>(layouts.size()), layouts.data())));
    return std::any_of(layouts.begin(), layouts.end(), [&](HKL l) { return languageOf(l) == language; });
}

// A switch either reaches a layout of the language asked for or leaves the
// thread's layout as it was; it never throws and never lands elsewhere.
TEST(Platform, KeyboardSwitchNeverFails) {
    Win32Keyboard keyboard;
    const HKL start = GetKeyboardLayout(0);
    ASSERT_NE(start, nullptr);
    const std::pair<const char*, std::uint16_t> switches[] = {
        {"Hebrew", kHebrewLanguage}, {"English", kEnglishLanguage}, {"the thread's own", languageOf(start)}};
    for (const auto& [what, language] : switches) {
        SCOPED_TRACE(what);
        const HKL before = GetKeyboardLayout(0);
        EXPECT_NO_THROW(keyboard.activateLanguage(language));
        const HKL after = GetKeyboardLayout(0);
        EXPECT_TRUE(languageOf(after) == language || after == before) << std::hex << languageOf(after);
    }
    ASSERT_FALSE(layoutInstalled(0x0401)) << "Arabic must not be installed for this case";
    const HKL before = GetKeyboardLayout(0);
    EXPECT_NO_THROW(keyboard.activateLanguage(0x0401));
    EXPECT_EQ(GetKeyboardLayout(0), before) << "a language with no layout is not activated";
}

}  // namespace
