// The packaged-decoder path of dialog 133 and the report: the activation
// objects of the platform's enumeration read as rows, through attribute
// stores made by the platform itself (Windows packages cannot be installed
// under Wine), and the real enumeration, which under Wine finds nothing the
// registry does not hold.
#include "../../transforms/transform_categories.h"
#include "../../transforms/transform_enumeration.h"
#include "../../transforms/transform_list.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <mfapi.h>
#include <mftransform.h>

#include <vector>

namespace {

// {43564548-0000-0010-8000-00AA00389B71}: HEVC by its four-character code.
constexpr GUID kHevc = {0x43564548, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID kNv12 = {0x3231564E, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

struct Attributes {
    IMFAttributes* store = nullptr;
    Attributes() { EXPECT_HRESULT_SUCCEEDED(MFCreateAttributes(&store, 4)); }
    ~Attributes() {
        if (store) store->Release();
    }
};

void SetTypes(IMFAttributes* store, const GUID& key, const GUID& subtype, UINT32 bytes = 32) {
    MFT_REGISTER_TYPE_INFO pair = {MFMediaType_Video, subtype};
    std::vector<BYTE> blob(reinterpret_cast<BYTE*>(&pair), reinterpret_cast<BYTE*>(&pair) + sizeof(pair));
    blob.resize(bytes);
    ASSERT_HRESULT_SUCCEEDED(store->SetBlob(key, blob.data(), bytes));
}

class PackagedTransforms : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_HRESULT_SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE)); }
    void TearDown() override { MFShutdown(); }
};

TEST_F(PackagedTransforms, ActivationAttributesBecomeRowsOnceEach) {
    TransformList list;
    // The registry's rows of the program's own view come first.
    ReadTransformRows(0, 0, list);
    const std::size_t registered = list.count;
    ASSERT_GT(registered, 0u);
    const std::wstring registeredKey = TransformAt(list, 0).keyName;

    Attributes hevc, again, cut, nameless;
    const GUID hevcId = {0x5b7a9012, 0xcf57, 0x4cdf, {0xb6, 0x7a, 0x4a, 0x13, 0x2b, 0x27, 0xa0, 0x24}};
    hevc.store->SetGUID(MFT_TRANSFORM_CLSID_Attribute, hevcId);
    hevc.store->SetString(MFT_FRIENDLY_NAME_Attribute, L"HEVC Video Extension");
    hevc.store->SetUINT32(MF_TRANSFORM_FLAGS_Attribute, MFT_ENUM_FLAG_HARDWARE | MFT_ENUM_FLAG_ASYNCMFT);
    SetTypes(hevc.store, MFT_INPUT_TYPES_Attributes, kHevc);
    SetTypes(hevc.store, MFT_OUTPUT_TYPES_Attributes, kNv12);
    // A transform the registry already holds is not added a second time.
    GUID registeredId;
    ASSERT_TRUE(ParseTransformKeyName(registeredKey.c_str(), &registeredId));
    again.store->SetGUID(MFT_TRANSFORM_CLSID_Attribute, registeredId);
    again.store->SetString(MFT_FRIENDLY_NAME_Attribute, L"Already listed");
    // Types of a length that is no whole number of pairs: the whole pairs only.
    const GUID cutId = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
    cut.store->SetGUID(MFT_TRANSFORM_CLSID_Attribute, cutId);
    SetTypes(cut.store, MFT_INPUT_TYPES_Attributes, kHevc, 20);
    IMFAttributes* objects[] = {hevc.store, again.store, cut.store, nullptr};
    AddPackagedTransforms(list, objects, 4);

    ASSERT_EQ(list.count, registered + 2);
    const TransformRow& row = TransformAt(list, registered);
    EXPECT_TEXT_EQ(row.name, L"HEVC Video Extension");
    EXPECT_TEXT_EQ(row.classId, L"{5B7A9012-CF57-4CDF-B67A-4A132B27A024}");
    EXPECT_TEXT_EQ(row.keyName, L"5b7a9012-cf57-4cdf-b67a-4a132b27a024");
    EXPECT_TEXT_EQ(row.type, L"аппаратный, асинхронный, пакет Windows");
    EXPECT_TEXT_EQ(row.inputs, L"HEVC");
    EXPECT_TEXT_EQ(row.outputs, L"NV12");
    EXPECT_TEXT_EQ(row.file, L"(в пакете Windows)");
    EXPECT_TEXT_EQ(row.status, L"в порядке");
    EXPECT_TRUE(row.packaged);
    const TransformRow& cutRow = TransformAt(list, registered + 1);
    EXPECT_TEXT_EQ(cutRow.name, L"");
    EXPECT_TEXT_EQ(cutRow.inputs, L"");
    EXPECT_TEXT_EQ(cutRow.type, L"пакет Windows");
}

TEST_F(PackagedTransforms, WinesEnumerationAddsNothingTheRegistryLacks) {
    // Alone, the platform's enumeration finds Wine's H.264 decoder (by its
    // class id: Wine 8's activation objects carry nothing else)...
    TransformList enumerated;
    const GUID* categories[] = {kTransformCategories[0].id};
    EnumerateTransforms(categories, 1, [&](int, IMFAttributes* const* objects, unsigned count) {
        AddPackagedTransforms(enumerated, objects, count);
    });
    bool h264 = false;
    for (std::size_t i = 0; i < enumerated.count; ++i) {
        h264 = h264 || std::wstring(TransformAt(enumerated, i).keyName) == L"62ce7e72-4c71-4d20-b15d-452831a87d9d";
    }
    EXPECT_TRUE(h264) << enumerated.count << " found";
    // ...which the registry holds, so the view shows no packaged row.
    TransformList rows;
    ReadTransformRows(0, 0, rows);
    for (std::size_t i = 0; i < rows.count; ++i) EXPECT_FALSE(TransformAt(rows, i).packaged) << TransformAt(rows, i).keyName;
}

}  // namespace
