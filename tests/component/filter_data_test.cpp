// The check of a FilterData value against the layout the runtime's mapper
// writes, over a real record made by the runtime and cut or corrupted copies.
#include "../../base/scoped.h"
#include "../../catalogue/filter_data.h"
#include "../../merit/am_filter_data.h"
#include "test_support.h"

#include <cstring>

namespace {

// Any class ids do: the record only holds them.
const GUID kPinCategory = {0x3E1A9C10, 0x5B2D, 0x4F6E, {0x9A, 0x11, 0x20, 0x33, 0x44, 0x55, 0x66, 0x77}};
const GUID kMediumSet = {0x3E1A9C11, 0x5B2D, 0x4F6E, {0x9A, 0x11, 0x20, 0x33, 0x44, 0x55, 0x66, 0x78}};

// A record with every kind of part, as the runtime serialises it: pin 0 with
// a category, two media types and a medium; pin 1, an output, with one type.
std::vector<BYTE> RichRecord() {
    const REGPINTYPES inputTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}, {&MEDIATYPE_Video, &MEDIASUBTYPE_YUY2}};
    const REGPINTYPES outputType = {&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM};
    REGPINMEDIUM medium = {kMediumSet, 0, 0};
    const REGFILTERPINS2 pins[] = {
        {0, 1, 2, inputTypes, 1, &medium, &kPinCategory},
        {REG_PINFLAG_B_OUTPUT, 1, 1, &outputType, 0, nullptr, nullptr},
    };
    REGFILTER2 filter{};
    filter.dwVersion = 2;
    filter.dwMerit = 0x00600000;
    filter.cPins2 = 2;
    filter.rgPins2 = pins;
    return MapperFilterData(filter);
}

void PutWord(std::vector<BYTE>& bytes, std::size_t at, std::uint32_t word) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<BYTE>(word >> (8 * i));
}

FilterDataVerdict Check(const std::vector<BYTE>& bytes) { return CheckFilterData(bytes.data(), bytes.size()); }

std::string Signature(const std::vector<BYTE>& bytes, std::size_t at) {
    return at + 4 <= bytes.size() ? std::string(reinterpret_cast<const char*>(&bytes[at]), 4) : "(past the end)";
}

// Where the runtime puts the parts of RichRecord.
constexpr std::size_t kPin0 = 16, kCategoryOffset = 40, kType0 = 44, kType1 = 60, kMediumOffset = 76, kPin1 = 80,
                      kPin1Type = 104;

TEST(FilterDataCheck, RealRecordIsSoundAndEveryCutOrCorruptionIsDamaged) {
    EnsureMainWindow();
    const std::vector<BYTE> real = RichRecord();
    ASSERT_EQ(240u, real.size()) << "the runtime's record";
    // The layout as the runtime wrote it: pin and type records where they are corrupted below.
    EXPECT_EQ("0pi3", Signature(real, kPin0));
    EXPECT_EQ("0ty3", Signature(real, kType0));
    EXPECT_EQ("1ty3", Signature(real, kType1));
    EXPECT_EQ("1pi3", Signature(real, kPin1));
    EXPECT_EQ("0ty3", Signature(real, kPin1Type));
    EXPECT_EQ(FilterDataSound, Check(real));

    // Every value cut short of its end: the last class id always lies at the end.
    for (std::size_t size = 0; size < real.size(); ++size) {
        const FilterDataVerdict verdict = CheckFilterData(real.data(), size);
        EXPECT_NE(FilterDataSound, verdict) << "cut to " << size << " bytes";
        if (size < 16) {
            EXPECT_EQ(FilterDataCutShort, verdict) << "cut to " << size << " bytes";
        }
    }

    // A count too large is found where the first record or offset it
    // promises falls outside: which of the two depends on the bytes after.
    constexpr int kAnyDamage = -1;
    struct Corruption {
        const char* what;
        std::size_t at;
        std::uint32_t word;
        int expected;
    };
    const std::uint32_t end = static_cast<std::uint32_t>(real.size());
    const Corruption corruptions[] = {
        {"version 1, the same records", 0, 1, FilterDataSound},
        {"version 3", 0, 3, FilterDataUnknownVersion},
        {"version 0", 0, 0, FilterDataUnknownVersion},
        {"no pins", 8, 0, FilterDataSound},
        {"the largest pin count", 8, 0xFFFFFFFF, kAnyDamage},
        {"a major type at the last whole class id", kType0 + 8, end - 16, FilterDataSound},
        {"a major type one byte past the end", kType0 + 8, end - 15, FilterDataOffsetOutside},
        {"a minor type at the end", kType1 + 12, end, FilterDataOffsetOutside},
        {"a type offset that wraps around 32 bits", kPin1Type + 8, 0xFFFFFFF8, FilterDataOffsetOutside},
        {"a category one byte past the end", kCategoryOffset, end - 15, FilterDataOffsetOutside},
        {"a medium one byte past the end", kMediumOffset, end - 23, FilterDataOffsetOutside},
        {"a medium at the last whole one", kMediumOffset, end - 24, FilterDataSound},
        {"more media types than the value holds", kPin1 + 12, 0x10000000, kAnyDamage},
        {"the largest medium count", kPin1 + 16, 0xFFFFFFFF, kAnyDamage},
    };
    for (const Corruption& corruption : corruptions) {
        std::vector<BYTE> bytes = real;
        PutWord(bytes, corruption.at, corruption.word);
        const FilterDataVerdict verdict = Check(bytes);
        if (corruption.expected == kAnyDamage) {
            EXPECT_TRUE(FilterDataDamaged(verdict)) << corruption.what << " gave " << verdict;
        } else {
            EXPECT_EQ(corruption.expected, verdict) << corruption.what;
        }
    }

    // In the registry: the same bytes as REG_BINARY, cut, as a text, or not there.
    RegistryScratch scratch;
    const std::wstring entry = kLegacyInstance + NewGuidText();
    scratch.Own(entry);
    ASSERT_TRUE(scratch.SetBytes(entry, L"FriendlyName", L"x", 4, REG_SZ));
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.OpenForReading(HKEY_CLASSES_ROOT, entry.c_str()));
    EXPECT_EQ(FilterDataAbsent, CheckEntryFilterData(key.Get()));
    scratch.SetBytes(entry, L"FilterData", real.data(), end);
    std::uint32_t merit = 0;
    EXPECT_EQ(FilterDataSound, CheckEntryFilterData(key.Get(), &merit));
    EXPECT_EQ(L"0x00600000", HexWord(merit));
    scratch.SetBytes(entry, L"FilterData", real.data(), 80);
    merit = 7;
    EXPECT_TRUE(FilterDataDamaged(CheckEntryFilterData(key.Get(), &merit)));
    EXPECT_EQ(L"0x00000007", HexWord(merit)) << "the merit word of a damaged value";
    scratch.SetBytes(entry, L"FilterData", real.data(), end, REG_SZ);
    EXPECT_EQ(FilterDataNotBinary, CheckEntryFilterData(key.Get()));
}

}  // namespace
