// Parsing the merit out of a FilterData value whatever a property bag hands
// back: other types, short blobs and real records.
#include "../../base/scoped.h"
#include "../../merit/am_filter_data.h"
#include "../../merit/merit.h"
#include "test_support.h"

namespace {

// A property bag that answers "FilterData" with a prepared variant.
class FakeBag : public IPropertyBag {
public:
    explicit FakeBag(VARIANT& value) { VariantCopy(&value_, &value); }
    ~FakeBag() { VariantClear(&value_); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyBag)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* out, IErrorLog*) override {
        if (lstrcmpW(name, L"FilterData") != 0) return E_INVALIDARG;
        ++reads;
        return VariantCopy(out, &value_);
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    int reads = 0;

private:
    VARIANT value_{};
};

VARIANT ByteArray(const std::vector<BYTE>& bytes) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_ARRAY | VT_UI1;
    value.parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    BYTE* data = nullptr;
    SafeArrayAccessData(value.parray, reinterpret_cast<void**>(&data));
    if (!bytes.empty()) memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(value.parray);
    return value;
}

// A real registration record for the given merit, made by the runtime's own serialiser.
std::vector<BYTE> RealBlob(DWORD merit) {
    ComPtr<IFilterMapper2> mapper;
    CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, mapper.PutVoid());
    ComPtr<IAMFilterData> serialiser;
    if (!mapper || FAILED(mapper->QueryInterface(IID_IAMFilterDataOwn, serialiser.PutVoid()))) return {};
    // One input pin taking video, as a real filter registers it.
    REGPINTYPES type{&MEDIATYPE_Video, &GUID_NULL};
    REGFILTERPINS2 pin{};
    pin.nMediaTypes = 1;
    pin.lpMediaType = &type;
    REGFILTER2 filter{};
    filter.dwVersion = 2;
    filter.dwMerit = merit;
    filter.cPins2 = 1;
    filter.rgPins2 = &pin;
    BYTE* data = nullptr;
    ULONG size = 0;
    if (FAILED(serialiser->CreateFilterData(&filter, &data, &size)) || !data) return {};
    std::vector<BYTE> blob(data, data + size);
    CoTaskMemFree(data);
    return blob;
}

class ParseMerit : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureMainWindow();
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                                  IID_IFilterMapper2, reinterpret_cast<void**>(&g_app.filterMapper)));
    }
    void TearDown() override {
        g_app.filterMapper->Release();
        g_app.filterMapper = nullptr;
    }
};

TEST_F(ParseMerit, RealRecordGivesItsMerit) {
    const std::vector<BYTE> blob = RealBlob(0x00654321);
    ASSERT_GE(blob.size(), 8u) << "the runtime's record has " << blob.size() << " bytes";
    VARIANT value = ByteArray(blob);
    FakeBag bag(value);
    VariantClear(&value);
    std::uint32_t merit = 7;
    const HRESULT parsed = ParseMeritFromFilterData(&bag, &merit);
    EXPECT_TRUE(SUCCEEDED(parsed)) << Utf8(HexWord(parsed));
    EXPECT_EQ(L"0x00654321", HexWord(merit));
}

TEST_F(ParseMerit, OtherTypesAndShortBlobsLeaveTheMeritAlone) {
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"not a byte array");
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 0x00600000;
    const std::pair<const char*, VARIANT> values[] = {
        {"a text", text}, {"a number", number}, {"4 bytes", ByteArray({2, 0, 0, 0})}, {"no bytes", ByteArray({})},
        {"7 bytes", ByteArray({2, 0, 0, 0, 0, 0, 0})}};
    for (auto [what, value] : values) {
        FakeBag bag(value);
        std::uint32_t merit = 7;
        const HRESULT parsed = ParseMeritFromFilterData(&bag, &merit);
        EXPECT_TRUE(FAILED(parsed)) << what << " gave " << Utf8(HexWord(parsed));
        EXPECT_EQ(L"0x00000007", HexWord(merit)) << what;
        EXPECT_EQ(1, bag.reads) << what;
        VariantClear(&value);
    }
}

}  // namespace
