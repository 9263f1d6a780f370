// Texts between the program and the Windows API: any UTF-16 a file name may
// hold comes back unchanged, and bytes that are no text show as U+FFFD.
#include <gtest/gtest.h>

#include <string>

#include "platform/windows/system/wide_text.h"

namespace quorvex::test {
namespace {

TEST(WideText, AnyUtf16RoundTripsThroughWtf8) {
    const std::wstring rows[] = {
        L"",
        L"C:\\U盘 病毒\\WinSvcs.exe",
        L"\xD83D\xDE00 paired",         // U+1F600
        L"lone high \xD800 here",
        L"lone low \xDC00",
        L"reversed \xDC00\xD800",
        L"\xDBFF",                      // at the very end
    };
    for (const std::wstring& row : rows) EXPECT_EQ(toWide(toUtf8(row)), row) << toUtf8(row);
}

TEST(WideText, Utf8IsWrittenAsUtf8AndLoneSurrogatesInThreeBytes) {
    EXPECT_EQ(toUtf8(L"病毒"), "病毒");
    EXPECT_EQ(toUtf8(L"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(toUtf8(L"a\xD800z"), "a\xED\xA0\x80z");
}

TEST(WideText, BytesThatAreNoTextBecomeReplacementCharacters) {
    const struct {
        std::string bytes;
        std::wstring wide;
    } rows[] = {
        {"\xB2\xA1\xB6\xBE.exe", L"\xFFFD\xFFFD\xFFFD\xFFFD.exe"},  // a GBK name
        {"a\xC3", L"a\xFFFD"},                                       // cut short
        {"\xC0\xAF", L"\xFFFD\xFFFD"},                               // overlong
        {"\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD"},           // past U+10FFFF
    };
    for (const auto& row : rows) EXPECT_EQ(toWide(row.bytes), row.wide) << row.bytes;
}

}  // namespace
}  // namespace quorvex::test
