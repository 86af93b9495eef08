// The bounded text operations: status codes, cutting, invalid capacities, and
// agreement with the platform's strsafe functions over many generated inputs.
#include "../../base/bounded_text.h"
#include "../../base/text_sort_keys.h"
#include "../../base/win_headers.h"
#include "../common/test_text.h"

#include <strsafe.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

std::wstring Repeat(wchar_t c, size_t n) { return std::wstring(n, c); }

TEST(BoundedText, CopyFitsOrCutsAtCapacity) {
    wchar_t dest[500];
    const std::wstring fits = Repeat(L'a', 499);
    EXPECT_EQ(kTextOk, CopyText(dest, 500, fits.c_str()));
    EXPECT_EQ(fits, dest);

    const std::wstring tooLong = Repeat(L'b', 500);
    EXPECT_EQ(kTextInsufficientBuffer, CopyText(dest, 500, tooLong.c_str()));
    EXPECT_EQ(Repeat(L'b', 499), dest);

    wchar_t one[1] = {L'x'};
    EXPECT_EQ(kTextOk, CopyText(one, 1, L""));
    EXPECT_EQ(L'\0', one[0]);
    one[0] = L'x';
    EXPECT_EQ(kTextInsufficientBuffer, CopyText(one, 1, L"z"));
    EXPECT_EQ(L'\0', one[0]);
}

TEST(BoundedText, AppendIntoFullDestination) {
    wchar_t dest[500];
    CopyText(dest, 500, Repeat(L'a', 499).c_str());
    EXPECT_EQ(kTextInsufficientBuffer, AppendText(dest, 500, L"x"));
    EXPECT_EQ(Repeat(L'a', 499), dest);
    EXPECT_EQ(kTextOk, AppendText(dest, 500, L""));
    EXPECT_EQ(Repeat(L'a', 499), dest);

    wchar_t small[8];
    CopyText(small, 8, L"abc");
    EXPECT_EQ(kTextInsufficientBuffer, AppendText(small, 8, L"defghij"));
    EXPECT_STREQ(L"abcdefg", small);
}

TEST(BoundedText, AppendWithoutTerminatorChangesNothing) {
    wchar_t dest[4] = {L'a', L'b', L'c', L'd'};
    EXPECT_EQ(kTextInvalidParameter, AppendText(dest, 4, L"x"));
    EXPECT_EQ(L"abcd", std::wstring(dest, 4));
}

TEST(BoundedText, InvalidCapacitiesWriteNothing) {
    wchar_t dest[2] = {L'q', L'q'};
    EXPECT_EQ(kTextInvalidParameter, CopyText(dest, 0, L"x"));
    EXPECT_EQ(kTextInvalidParameter, AppendText(dest, 0, L"x"));
    EXPECT_EQ(kTextInvalidParameter, FormatText(dest, 0, L"%d", 5));
    EXPECT_EQ(kTextInvalidParameter, CopyText(dest, std::size_t{0x80000000}, L"x"));
    EXPECT_EQ(kTextInvalidParameter, FormatText(dest, std::size_t{0x80000000}, L"%d", 5));
    EXPECT_EQ(L'q', dest[0]);
    EXPECT_EQ(L'q', dest[1]);
}

TEST(BoundedText, FormatFitsExactlyOrCuts) {
    wchar_t number[256];
    EXPECT_EQ(kTextOk, FormatText(number, 256, L"0x%08x", 0xFFFFFFFFu));
    EXPECT_STREQ(L"0xffffffff", number);
    EXPECT_EQ(kTextOk, FormatText(number, 256, L"0x%08x", 0x600000u));
    EXPECT_STREQ(L"0x00600000", number);

    wchar_t dest[256];
    EXPECT_EQ(kTextInsufficientBuffer, FormatText(dest, 256, L"%0300d", 7));
    EXPECT_EQ(255u, wcslen(dest));
    EXPECT_EQ(L'0', dest[0]);

    // Exactly capacity - 1 characters fit and are terminated.
    wchar_t four[4];
    EXPECT_EQ(kTextOk, FormatText(four, 4, L"%u", 123u));
    EXPECT_STREQ(L"123", four);
    EXPECT_EQ(kTextInsufficientBuffer, FormatText(four, 4, L"%u", 1234u));
    EXPECT_STREQ(L"123", four);
}

// Compares each operation with its strsafe counterpart over random texts and
// capacities: same status, same resulting text.
TEST(BoundedText, AgreesWithStrsafeOverGeneratedInputs) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> capacity(1, 45);
    std::uniform_int_distribution<int> letter(0x410, 0x44F);  // Cyrillic letters
    for (int round = 0; round < 2000; ++round) {
        std::wstring first, second;
        for (int i = length(random); i > 0; --i) first += static_cast<wchar_t>(letter(random));
        for (int i = length(random); i > 0; --i) second += static_cast<wchar_t>(letter(random));
        const size_t cap = static_cast<size_t>(capacity(random));

        wchar_t mine[64], theirs[64];
        const TextStatus copied = CopyText(mine, cap, first.c_str());
        const HRESULT expectedCopy = StringCchCopyW(theirs, cap, first.c_str());
        ASSERT_EQ(HexWord(expectedCopy), HexWord(copied)) << "copy of \"" << Utf8(first) << "\", capacity " << cap;
        ASSERT_EQ(Utf8(theirs), Utf8(mine)) << "copy, capacity " << cap;

        const TextStatus appended = AppendText(mine, cap, second.c_str());
        const HRESULT expectedAppend = StringCchCatW(theirs, cap, second.c_str());
        ASSERT_EQ(HexWord(expectedAppend), HexWord(appended))
            << "append of \"" << Utf8(second) << "\", capacity " << cap;
        ASSERT_EQ(Utf8(theirs), Utf8(mine)) << "append, capacity " << cap;

        const unsigned value = random();
        const TextStatus formatted = FormatText(mine, cap, L"%u / %u - %ls", value, 5u, first.c_str());
        const HRESULT expectedFormat = StringCchPrintfW(theirs, cap, L"%u / %u - %ls", value, 5u, first.c_str());
        ASSERT_EQ(HexWord(expectedFormat), HexWord(formatted))
            << "format of " << value << " and \"" << Utf8(first) << "\", capacity " << cap;
        ASSERT_EQ(Utf8(theirs), Utf8(mine)) << "format, capacity " << cap;
    }
}

}  // namespace

// The load check sorts its rows by these keys: they must order every pair as
// lstrcmpiW does, hyphens, accents, Cyrillic, digits and the letter case included.
TEST(TextSortKeys, OrderEveryPairAsLstrcmpiW) {
    const wchar_t* const names[] = {
        L"", L"a", L"A", L"b", L"\u00e4", L"\u00c4", L"co-op", L"coop", L"co op", L"Co-Op", L"r\u00e9sum\u00e9",
        L"resume", L"\u041a\u043e\u0434\u0435\u043a", L"\u043a\u043e\u0434\u0435\u043a", L"\u0401\u043b\u043a\u0430",
        L"\u0415\u043b\u043a\u0430", L"1", L"10", L"2", L"x'y", L"xy", L"a\tb", L"\u202e", L"\u00df", L"ss",
        L"MP3 Decoder DMO", L"mp3 decoder dmo", L"{00000000-0000-0000-0000-000000000000}", L"_x", L"~x", L"Zz"};
    constexpr std::size_t count = sizeof(names) / sizeof(names[0]);
    TextSortKeys keys;
    for (const wchar_t* name : names) ASSERT_TRUE(keys.Add(name)) << Utf8(name);
    auto sign = [](int value) { return (value > 0) - (value < 0); };
    for (std::size_t a = 0; a < count; ++a) {
        for (std::size_t b = 0; b < count; ++b) {
            EXPECT_EQ(sign(keys.Compare(a, b)), sign(lstrcmpiW(names[a], names[b])))
                << Utf8(names[a]) << " against " << Utf8(names[b]);
        }
    }
}
