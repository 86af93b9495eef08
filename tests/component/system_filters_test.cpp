// The four rules that make a friendly name a system filter name.
#include "../../catalogue/system_filters.h"
#include "../common/test_text.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemFilterNames, PairRulesNeedBothPartsWithExactCase) {
    EXPECT_TRUE(IsSystemFilterName(L"WM ASF Reader Handler"));
    EXPECT_TRUE(IsSystemFilterName(L"HandlerASF"));
    EXPECT_FALSE(IsSystemFilterName(L"wm asf reader handler"));
    EXPECT_FALSE(IsSystemFilterName(L"ASF Reader"));
    EXPECT_TRUE(IsSystemFilterName(L"ASX Parser"));
    EXPECT_FALSE(IsSystemFilterName(L"asx parser"));
    EXPECT_FALSE(IsSystemFilterName(L"ASX Reader"));
    EXPECT_TRUE(IsSystemFilterName(L"File Source (URL)"));
    EXPECT_FALSE(IsSystemFilterName(L"file source (url)"));
    EXPECT_FALSE(IsSystemFilterName(L"File Source (Netshow)"));
}

TEST(SystemFilterNames, WholeNamesIgnoreCase) {
    EXPECT_TRUE(IsSystemFilterName(L"Null Renderer"));
    EXPECT_TRUE(IsSystemFilterName(L"nULL rENDERER"));
    EXPECT_FALSE(IsSystemFilterName(L"Null Renderer 2"));
    EXPECT_FALSE(IsSystemFilterName(L" Null Renderer"));
    // "File Source (Async.)" holds no "URL": it counts by its whole name only.
    EXPECT_TRUE(IsSystemFilterName(L"FILE SOURCE (ASYNC.)"));
    EXPECT_FALSE(IsSystemFilterName(L"File Source (Async.) "));
    const wchar_t* const names[] = {
        L"File Writer", L"Infinite Pin Tee Filter", L"9x8Resize", L"Allocator Fix", L"AVI Draw",
        L"Bitmap Generate", L"Color Space Converter", L"File Stream Renderer", L"Frame Eater",
        L"Internal Script Command Renderer", L"Multi-file Parser", L"SampleGrabber",
        L"Microsoft MPEG-4 Video Decompressor",
    };
    for (const wchar_t* name : names) EXPECT_TRUE(IsSystemFilterName(name)) << Utf8(name);
    EXPECT_FALSE(IsSystemFilterName(L"Video Renderer"));
    EXPECT_FALSE(IsSystemFilterName(L""));
}

}  // namespace
