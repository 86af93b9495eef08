// The fill step: a synthetic registry of the size a well-used system carries.
// 10,000 plain class keys (object name, InprocServer32 path, most paths naming
// files that do not exist), and 500 filters registered through the runtime's
// own filter mapper, half in the legacy filter category and half in the video
// compressor category, each with a class key of its own; and 500 Media
// Foundation video decoders, each with its transform key, its category entry
// and a class key of its own.
#include "bench_common.h"

#include "../base/scoped.h"
#include "../tests/common/test_registry.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Sets the default value of classes\subkey, creating the key when missing.
bool SetDefaultText(HKEY classes, const std::wstring& subkey, const std::wstring& value) {
    return RegSetKeyValueW(classes, subkey.c_str(), nullptr, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// A class key with its object name and in-process server path.
bool WriteClassKey(HKEY classes, const std::wstring& classId, const std::wstring& objectName,
                   const std::wstring& serverPath) {
    return SetDefaultText(classes, classId, objectName) &&
           SetDefaultText(classes, classId + L"\\InprocServer32", serverPath);
}

// The size of the FilterData the mapper wrote; 0 when there is none.
DWORD FilterDataSize(const GUID& category, const std::wstring& classId) {
    const std::wstring path = InstancePathOf(category) + classId;
    RegKey entry;
    if (entry.Open(HKEY_CLASSES_ROOT, path.c_str()) != ERROR_SUCCESS) return 0;
    DWORD size = 0;
    if (RegQueryValueExW(entry.Get(), L"FilterData", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return 0;
    return size;
}

}  // namespace

bool WriteBenchTransform(int i, std::wstring* keyName) {
    // As MFTRegister writes one: the class id in lower case without braces,
    // one type pair in and one out, synchronous; and a class key of its own.
    RegKey classes;
    if (classes.Open(HKEY_CLASSES_ROOT, L"CLSID") != ERROR_SUCCESS) return false;
    const std::wstring category = L"MediaFoundation\\Transforms\\Categories\\d6c02d4b-6833-45b4-971a-05a4b04bab91\\";
    const std::wstring classId = NewGuidText();
    std::wstring name = classId.substr(1, 36);
    CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
    if (keyName) *keyName = name;
    const std::wstring key = L"MediaFoundation\\Transforms\\" + name;
    wchar_t friendly[64], path[MAX_PATH];
    swprintf(friendly, 64, L"Bench Transform %03d", i);
    swprintf(path, MAX_PATH, i % 10 == 0 ? L"C:\\windows\\system32\\quartz.dll"
                                         : L"C:\\Program Files\\Bench Codecs\\bench_mft_%03d.dll", i);
    GUID types[4] = {MEDIATYPE_Video, MEDIASUBTYPE_YV12, MEDIATYPE_Video, MEDIASUBTYPE_YUY2};
    types[1].Data1 = 0x30303030 + static_cast<DWORD>(i);  // a four-character code of its own
    const DWORD flags = 1;
    RegKey created;
    return SetDefaultText(HKEY_CLASSES_ROOT, key, friendly) &&
           RegCreateKeyW(HKEY_CLASSES_ROOT, (category + name).c_str(), created.Put()) == ERROR_SUCCESS &&
           RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), L"InputTypes", REG_BINARY, &types[0], 32) == ERROR_SUCCESS &&
           RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), L"OutputTypes", REG_BINARY, &types[2], 32) == ERROR_SUCCESS &&
           RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), L"MFTFlags", REG_DWORD, &flags, 4) == ERROR_SUCCESS &&
           WriteClassKey(classes.Get(), classId, friendly, path);
}

int FillRegistry() {
    CoInitialize(nullptr);
    const double start = NowMs();

    RegKey classes;
    if (classes.Open(HKEY_CLASSES_ROOT, L"CLSID") != ERROR_SUCCESS) {
        std::printf("fill: HKCR\\CLSID cannot be opened\n");
        return 1;
    }
    int classKeys = 0;
    for (int i = 0; i < kBenchClassKeys; ++i) {
        wchar_t name[64], path[MAX_PATH];
        swprintf(name, 64, L"%ls%05d", kBenchObjectPrefix, i);
        // One in ten servers exists; the others name files that were never installed.
        if (i % 10 == 0) {
            swprintf(path, MAX_PATH, L"C:\\windows\\system32\\quartz.dll");
        } else {
            swprintf(path, MAX_PATH, L"C:\\Program Files\\Bench Codecs\\missing_%05d.ax", i);
        }
        if (WriteClassKey(classes.Get(), NewGuidText(), name, path)) ++classKeys;
    }
    const double classesDone = NowMs();

    ComPtr<IFilterMapper2> mapper;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                mapper.PutVoid()))) {
        std::printf("fill: no filter mapper\n");
        return 1;
    }
    // Two pins with one media type each, as a simple transform filter declares.
    static const GUID kAnySubtype = GUID_NULL;
    const REGPINTYPES types[1] = {{&MEDIATYPE_Video, &kAnySubtype}};
    REGFILTERPINS2 pins[2] = {};
    pins[0].cInstances = 1;
    pins[0].nMediaTypes = 1;
    pins[0].lpMediaType = types;
    pins[1] = pins[0];
    pins[1].dwFlags = REG_PINFLAG_B_OUTPUT;

    int legacy = 0, video = 0, shortData = 0;
    std::vector<std::wstring> legacyClassIds;
    for (int i = 0; i < kBenchFilters; ++i) {
        const bool isLegacy = i % 2 == 0;
        const GUID& category = isLegacy ? CLSID_LegacyAmFilterCategory : CLSID_VideoCompressorCategory;
        const std::wstring classId = NewGuidText();
        GUID clsid;
        CLSIDFromString(classId.c_str(), &clsid);
        wchar_t friendlyName[64];
        swprintf(friendlyName, 64, isLegacy ? L"Bench Filter %03d" : L"Bench Video Codec %03d", i / 2);

        REGFILTER2 filter{};
        filter.dwVersion = 2;
        // Distinct merits between MERIT_SW_COMPRESSOR and MERIT_DO_NOT_USE, never 0.
        filter.dwMerit = 0x00180000 + static_cast<DWORD>(i);
        filter.cPins2 = 2;
        filter.rgPins2 = pins;
        if (FAILED(mapper->RegisterFilter(clsid, friendlyName, nullptr, &category, nullptr, &filter))) continue;
        // A FilterData shorter than its header would crash the mapper of every
        // process that enumerates: such an entry is removed at once.
        if (FilterDataSize(category, classId) < 16) {
            ++shortData;
            mapper->UnregisterFilter(&category, nullptr, clsid);
            continue;
        }
        (isLegacy ? legacy : video)++;
        if (isLegacy) legacyClassIds.push_back(classId);

        wchar_t objectName[64], path[MAX_PATH];
        swprintf(objectName, 64, L"Bench filter object %03d", i);
        if (i % kBenchMissingServerEvery == 0) {
            swprintf(path, MAX_PATH, L"C:\\Program Files\\Bench Codecs\\bench_filter_%03d.ax", i);
        } else {
            swprintf(path, MAX_PATH, L"C:\\windows\\system32\\quartz.dll");
        }
        if (WriteClassKey(classes.Get(), classId, objectName, path)) ++classKeys;
    }
    const int preferred = FillPreferredValues(legacyClassIds);
    const double end = NowMs();

    int transforms = 0;
    for (int i = 0; i < kBenchTransforms; ++i) transforms += WriteBenchTransform(i, nullptr);
    const double transformsDone = NowMs();
    std::printf("fill: %d class keys (%.0f ms), %d legacy + %d video compressor filters (%.0f ms), %d short FilterData, "
                "%d transforms (%.0f ms), %d Preferred values\n",
                classKeys, classesDone - start, legacy, video, end - classesDone, shortData, transforms,
                transformsDone - end, preferred);
    CoUninitialize();
    return (classKeys == kBenchClassKeys + legacy + video && legacy + video == kBenchFilters &&
            transforms == kBenchTransforms && preferred == kBenchPreferredValues)
               ? 0
               : 1;
}
