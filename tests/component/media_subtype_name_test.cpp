// The names of media subtypes that the playback check and the report show.
#include "../../catalogue/media_subtype_name.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <uuids.h>

namespace {

std::wstring Named(const GUID& subtype, std::size_t capacity = 256) {
    wchar_t text[256] = {};
    NameMediaSubtype(subtype, text, capacity);
    return text;
}

// A subtype built from a four-character code, with the code's letters in order.
GUID FourCcSubtype(const char (&code)[5]) {
    GUID subtype = MEDIASUBTYPE_YV12;
    subtype.Data1 = static_cast<DWORD>(static_cast<unsigned char>(code[0])) |
                    (static_cast<DWORD>(static_cast<unsigned char>(code[1])) << 8) |
                    (static_cast<DWORD>(static_cast<unsigned char>(code[2])) << 16) |
                    (static_cast<DWORD>(static_cast<unsigned char>(code[3])) << 24);
    return subtype;
}

TEST(MediaSubtypeNames, CommonNamesThenCodeThenGuid) {
    EXPECT_TEXT_EQ(Named(FourCcSubtype("H264")), L"H.264");
    EXPECT_TEXT_EQ(Named(FourCcSubtype("avc1")), L"H.264");
    EXPECT_TEXT_EQ(Named(MEDIASUBTYPE_MPEG2_VIDEO), L"MPEG-2 Video");
    EXPECT_TEXT_EQ(Named(MEDIASUBTYPE_MPEG1Payload), L"MPEG-1");
    EXPECT_TEXT_EQ(Named(MEDIASUBTYPE_PCM), L"PCM");
    EXPECT_TEXT_EQ(Named(MEDIASUBTYPE_IEEE_FLOAT), L"IEEE float");
    EXPECT_TEXT_EQ(Named(MEDIASUBTYPE_DOLBY_AC3), L"AC-3");
    EXPECT_TEXT_EQ(Named(MEDIASUBTYPE_RGB32), L"RGB32");
    EXPECT_TEXT_EQ(Named(MEDIASUBTYPE_IYUV), L"I420");
    // A code without a common name shows as its letters.
    EXPECT_TEXT_EQ(Named(FourCcSubtype("XVTS")), L"XVTS");
    // A wave format tag without a name is no readable code: the GUID is shown.
    GUID tag = MEDIASUBTYPE_PCM;
    tag.Data1 = 0x0777;
    EXPECT_TEXT_EQ(Named(tag), L"{00000777-0000-0010-8000-00AA00389B71}");
    EXPECT_TEXT_EQ(Named(MEDIASUBTYPE_Avi), L"{E436EB88-524F-11CE-9F53-0020AF0BA770}");
    // The text stays within its capacity.
    EXPECT_TEXT_EQ(Named(MEDIASUBTYPE_MPEG2_VIDEO, 6), L"MPEG-");
}

}  // namespace
