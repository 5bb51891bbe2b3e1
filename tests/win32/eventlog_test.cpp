// The event texts as the event viewer renders them from the executable's message table, and the
// registration of the source in the registry, through the real Win32 layer.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "platform/eventlog.h"
#include "res/event_ids.h"

namespace glimmerfen {
namespace {

constexpr const wchar_t* kSourceKey = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Glimmerfen Checker";

// The message of an event with its nine insertion strings, as the event viewer asks for it.
std::wstring Render(std::uint32_t id, LANGID language, const std::vector<std::wstring>& strings) {
    std::vector<DWORD_PTR> arguments;
    for (const std::wstring& text : strings) {
        arguments.push_back(reinterpret_cast<DWORD_PTR>(text.c_str()));
    }
    wchar_t* buffer = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                         ::GetModuleHandleW(nullptr), id, language, reinterpret_cast<LPWSTR>(&buffer), 0,
                         reinterpret_cast<va_list*>(arguments.data()));
    std::wstring text(buffer != nullptr ? buffer : L"", length);
    ::LocalFree(buffer);
    return text;
}

bool HasJapanese(const std::wstring& text) { // kana and the common kanji
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0x3040 && c <= 0x9FFF; });
}

TEST(EventMessages, EveryEventRendersInBothLanguagesWithItsFields) {
    // Each event and the insertion strings its text must show (the server always).
    const std::pair<std::uint32_t, std::vector<int>> events[] = {
        {kEventMonitoringStarted, {9}},
        {kEventMonitoringEnded, {9}},
        {kEventAccess, {1, 2, 3, 4, 5, 6, 8, 9}},
        {kEventDisconnectedByRule, {1, 2, 3, 4, 7, 8, 9}},
        {kEventDisconnectedByHand, {1, 2, 3, 7, 9}},
        {kEventDisconnectFailed, {1, 2, 3, 7, 9}},
        {kEventFileClosed, {1, 3, 4, 7, 9}},
        {kEventFileCloseFailed, {1, 3, 4, 7, 9}},
        {kEventServerAccessDenied, {7, 9}},
        {kEventServerError, {7, 9}},
        {kEventServerAnswers, {9}},
        {kEventEventsDropped, {7, 9}},
    };
    std::vector<std::wstring> strings;
    for (int i = 1; i <= 9; ++i) {
        strings.push_back(L"<field" + std::to_wstring(i) + L">");
    }
    for (const auto& [id, shown] : events) {
        const std::wstring english = Render(id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), strings);
        const std::wstring japanese = Render(id, MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), strings);
        // The server on a line of its own; "サーバー" in Japanese, whose text is really Japanese.
        EXPECT_NE(english.find(L"\r\nServer: <field9>\r\n"), std::wstring::npos) << id << ": " << english.size();
        EXPECT_NE(japanese.find(L"\r\n\x30b5\x30fc\x30d0\x30fc: <field9>\r\n"), std::wstring::npos) << id;
        EXPECT_TRUE(HasJapanese(japanese) && !HasJapanese(english)) << id;
        for (const int field : shown) {
            const std::wstring& text = strings[static_cast<std::size_t>(field - 1)];
            EXPECT_TRUE(english.find(text) != std::wstring::npos && japanese.find(text) != std::wstring::npos)
                << id << " does not show %" << field;
        }
    }
}

// A value of the source's key as text (a number in decimal); empty when the key or the value is missing.
std::wstring ValueOf(const wchar_t* name) {
    wchar_t data[512] = {};
    DWORD type = 0, size = sizeof data;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kSourceKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) != 0) {
        return {};
    }
    if (type == REG_DWORD) {
        return std::to_wstring(*reinterpret_cast<const DWORD*>(data));
    }
    return (type == REG_EXPAND_SZ ? L"expand:" : L"other:") + std::wstring(data);
}

// The key through the real registry: an ANSI path (double-byte under 932) written as the same characters;
// a key naming a file that is gone is taken over, one naming an existing program is kept, and a half
// written key of this copy is completed.
TEST(EventSource, RegistrationKeepsAnotherExistingCopyAndRemovalRemovesTheKey) {
    const std::u16string gone =
        platform::AnsiCodePage() == 932 ? u"C:\\共有\\表\\Checker.exe" : u"C:\\Caf\u00e9\\Checker.exe";
    ASSERT_EQ(platform::DeleteSourceKey(), platform::Registration::Done);
    ASSERT_EQ(platform::WriteSourceKey(platform::WideToAnsi(gone)), platform::Registration::Done);
    EXPECT_EQ(ValueOf(L"EventMessageFile"), L"expand:" + std::wstring(gone.begin(), gone.end()));
    EXPECT_EQ(ValueOf(L"TypesSupported"), L"7");

    char self[MAX_PATH] = {};
    ASSERT_NE(::GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
    const std::u16string selfWide = platform::AnsiToWide(self);
    const std::wstring selfValue = L"expand:" + std::wstring(selfWide.begin(), selfWide.end());
    EXPECT_EQ(platform::RegisterEventSource(self), platform::RegisterOutcome::Written) << "the named file is gone";
    EXPECT_EQ(ValueOf(L"EventMessageFile"), selfValue);
    EXPECT_EQ(platform::RegisterEventSource("D:\\Tools\\Checker.exe"), platform::RegisterOutcome::Kept);
    EXPECT_EQ(ValueOf(L"EventMessageFile"), selfValue) << "another copy still exists";

    ASSERT_EQ(::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSourceKey, L"TypesSupported"), ERROR_SUCCESS);
    EXPECT_EQ(platform::RegisterEventSource(self), platform::RegisterOutcome::Written);
    EXPECT_EQ(ValueOf(L"TypesSupported"), L"7");

    EXPECT_EQ(platform::DeleteSourceKey(), platform::Registration::Done);
    EXPECT_EQ(ValueOf(L"TypesSupported"), L"");
    EXPECT_EQ(platform::DeleteSourceKey(), platform::Registration::Done) << "nothing to remove is no failure";
}

} // namespace
} // namespace glimmerfen
