// Command lines for regsvr32.
#include "../../codecs/regsvr32.h"
#include "test_support.h"

namespace {

TEST(Regsvr32CommandLine, ThreeFormsWithTheQuotedPath) {
    wchar_t line[kNameCapacity];
    ASSERT_TRUE(BuildRegsvr32CommandLine(Regsvr32Register, L"C:\\My Codecs\\a b.ax", line, kNameCapacity));
    EXPECT_STREQ(L"regsvr32 \"C:\\My Codecs\\a b.ax\"", line);
    ASSERT_TRUE(BuildRegsvr32CommandLine(Regsvr32RegisterSilent, L"quartz.dll", line, kNameCapacity));
    EXPECT_STREQ(L"regsvr32 /s \"quartz.dll\"", line);
    ASSERT_TRUE(BuildRegsvr32CommandLine(Regsvr32Unregister, L"%SystemRoot%\\x.dll", line, kNameCapacity));
    EXPECT_STREQ(L"regsvr32 /u \"%SystemRoot%\\x.dll\"", line);
}

TEST(Regsvr32CommandLine, NothingToStartForQuotesOrOverlongLines) {
    wchar_t line[kNameCapacity];
    EXPECT_FALSE(BuildRegsvr32CommandLine(Regsvr32Unregister, L"C:\\x\" /s \"y.dll", line, kNameCapacity));
    // "regsvr32 /u " and two quotes take 14 characters: 485 of path fit in 499.
    EXPECT_TRUE(BuildRegsvr32CommandLine(Regsvr32Unregister, std::wstring(485, L'p').c_str(), line, kNameCapacity));
    EXPECT_EQ(499u, wcslen(line));
    EXPECT_FALSE(BuildRegsvr32CommandLine(Regsvr32Unregister, std::wstring(486, L'p').c_str(), line, kNameCapacity));
}

}  // namespace
