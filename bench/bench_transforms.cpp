// Measurements 14b and 14c: dialog 133 made, filled and drawn on the video
// decoders of the program's own view, against the same dialog template made
// by a bare dialog procedure that reads the same keys and fills the same
// list; 14b on the bench's 500 transforms of that category, 14c on 5,000.
#include "bench_common.h"
#include "bare_reads.h"

#include "../resources/resource.h"
#include "../transforms/transform_enumeration.h"
#include "../transforms/transform_list.h"
#include "../transforms/transforms_dialog.h"

#include <commctrl.h>
#include <mfapi.h>
#include <mftransform.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kManyTransforms = 5000;
constexpr int kColumns = 7;
const wchar_t kVideoDecoders[] = L"d6c02d4b-6833-45b4-971a-05a4b04bab91";

struct BareRow {
    GUID id = GUID_NULL;
    int category = 0;
    std::wstring cells[kColumns];  // name, type, inputs, outputs, file, status, note
};

// A type list's subtypes, each by its four-character code where it is one,
// else by its GUID, joined with ", ".
std::wstring BareTypes(HKEY key, const wchar_t* value) {
    GUID pairs[16];
    DWORD bytes = sizeof(pairs);
    if (RegQueryValueExW(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(pairs), &bytes) != ERROR_SUCCESS) {
        return L"";
    }
    std::wstring text;
    for (DWORD i = 1; i < bytes / sizeof(GUID); i += 2) {
        if (!text.empty()) text += L", ";
        const GUID& subtype = pairs[i];
        if (subtype.Data2 == 0 && subtype.Data3 == 0x0010) {
            for (int shift = 0; shift < 32; shift += 8) text += static_cast<wchar_t>((subtype.Data1 >> shift) & 0xFF);
        } else {
            wchar_t guid[40];
            StringFromGUID2(subtype, guid, 40);
            text += guid;
        }
    }
    return text;
}

// The server file's facts as the dialog shows them: its path, version,
// company and size, or that it is not found.
std::wstring BareFileFacts(const std::wstring& path, bool* found) {
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(path.c_str(), &data);
    *found = search != INVALID_HANDLE_VALUE;
    if (*found) FindClose(search);
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) return path + L" (файл не найден)";
    std::wstring facts;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> info(size);
    void* value = nullptr;
    UINT length = 0;
    if (size != 0 && GetFileVersionInfoW(path.c_str(), 0, size, info.data())) {
        if (VerQueryValueW(info.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
            const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
            wchar_t version[64];
            swprintf(version, 64, L"версия %u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                     HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
            facts = version;
        }
        DWORD language = 0x04B00409;
        if (VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &length) && length >= 4) {
            std::memcpy(&language, value, 4);
        }
        wchar_t query[64];
        swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\CompanyName", LOWORD(language), HIWORD(language));
        if (VerQueryValueW(info.data(), query, &value, &length) && value) {
            facts += std::wstring(L", ") + static_cast<const wchar_t*>(value);
        }
    }
    wchar_t bytes[64];
    swprintf(bytes, 64, L", %lu байт", attributes.nFileSizeLow);
    return path + L" (" + facts + bytes + L")";
}

// The ten categories of transforms, by their keys' names; the video decoders first.
const wchar_t* const kCategoryKeys[] = {
    L"d6c02d4b-6833-45b4-971a-05a4b04bab91", L"9ea73fb4-ef7a-4559-8d5d-719d8f0426c7",
    L"f79eac7d-e545-4387-bdee-d647d7bde42a", L"91c64bd0-f91e-4d8c-9276-db248279d975",
    L"12e17c21-532c-4a6e-8a1c-40825a736397", L"302ea3fc-aa5f-47f9-9f7a-c2188bb16302",
    L"11064c48-3648-4ed0-932e-05ce8ac811b7", L"a8700a7a-939b-44c5-99d7-76226b23b3f1",
    L"059c561e-05ae-4b61-b69d-55b61ee54a7b", L"90175d57-b7ea-4901-aeb3-933a8747756f",
};
constexpr int kCategories = 10;

// The bare reads of one category's entries of the program's own view: each
// with its transform key (name, flags, both type lists) and its class key
// with the server file's facts, every key opened unless a link.
void BareReadCategory(HKEY transforms, HKEY classes, int category, std::vector<BareRow>& rows) {
    HKEY entries = BareOpenUnlessLink(transforms, (std::wstring(L"Categories\\") + kCategoryKeys[category]).c_str());
    if (!entries) return;
    DWORD count = 0;
    RegQueryInfoKeyW(entries, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr);
    rows.reserve(rows.size() + count + 8);
    ForEachSubkey(entries, [&](const wchar_t* name) {
        BareRow& row = rows.emplace_back();
        row.category = category;
        const std::wstring braced = std::wstring(L"{") + name + L"}";
        IIDFromString(braced.c_str(), &row.id);
        bool found = false;
        if (HKEY classKey = classes ? BareOpenUnlessLink(classes, braced.c_str()) : nullptr) {
            if (HKEY server = BareOpenUnlessLink(classKey, L"InprocServer32")) {
                row.cells[4] = BareFileFacts(BareValue(server, nullptr), &found);
                RegCloseKey(server);
            }
            RegCloseKey(classKey);
            row.cells[5] = found ? L"в порядке" : L"файл не найден";
        } else {
            row.cells[5] = L"нет раздела класса";
        }
        HKEY key = BareOpenUnlessLink(transforms, name);
        if (!key) {
            row.cells[5] = L"нет записи кодека";
            return;
        }
        row.cells[0] = BareValue(key, nullptr);
        DWORD flags = 0, size = sizeof(flags);
        RegQueryValueExW(key, L"MFTFlags", nullptr, nullptr, reinterpret_cast<BYTE*>(&flags), &size);
        if (flags & 4) row.cells[1] = L"аппаратный";
        row.cells[2] = BareTypes(key, L"InputTypes");
        row.cells[3] = BareTypes(key, L"OutputTypes");
        RegCloseKey(key);
    });
    RegCloseKey(entries);
}

// The bare reads of the program's own view, every category as the dialog
// reads them at its opening: the entries of each (BareReadCategory),
// Preferred and DoNotUse once for the notes, and the platform's enumeration
// of each category for the transforms the registry does not hold. Sorted by name.
void BareReadRows(std::vector<BareRow>& rows) {
    rows.clear();
    HKEY transforms = BareOpenUnlessLink(HKEY_CLASSES_ROOT, L"MediaFoundation\\Transforms");
    HKEY classes = BareOpenUnlessLink(HKEY_CLASSES_ROOT, L"CLSID");
    for (int category = 0; transforms && category < kCategories; ++category) {
        BareReadCategory(transforms, classes, category, rows);
    }
    if (classes) RegCloseKey(classes);
    if (transforms) RegCloseKey(transforms);

    // The notes: each Preferred value's class id and DoNotUse's names, matched by GUID.
    if (HKEY preferred = BareOpenUnlessLink(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\Preferred")) {
        for (DWORD index = 0;; ++index) {
            wchar_t name[256], data[256];
            DWORD nameCount = 256, bytes = sizeof(data);
            if (RegEnumValueW(preferred, index, name, &nameCount, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                              &bytes) != ERROR_SUCCESS) {
                break;
            }
            GUID id;
            if (FAILED(IIDFromString(data, &id))) continue;
            for (BareRow& row : rows) {
                if (IsEqualGUID(row.id, id)) row.cells[6] += std::wstring(L"предпочтительный для: ") + name;
            }
        }
        RegCloseKey(preferred);
    }
    if (HKEY blocked = BareOpenUnlessLink(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\DoNotUse")) {
        RegCloseKey(blocked);
    }

    // The platform's enumeration: only the transforms the registry does not
    // hold in that category become rows.
    std::set<std::wstring> held;
    const auto heldKey = [](int category, const GUID& id) {
        return std::to_wstring(category) + std::wstring(reinterpret_cast<const wchar_t*>(&id), 8);
    };
    for (const BareRow& row : rows) held.insert(heldKey(row.category, row.id));
    if (HMODULE library = LoadLibraryExW(L"mfplat.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        MFStartup(MF_VERSION, MFSTARTUP_LITE);
        for (int category = 0; category < kCategories; ++category) {
            GUID categoryId;
            IIDFromString((std::wstring(L"{") + kCategoryKeys[category] + L"}").c_str(), &categoryId);
            IMFActivate** objects = nullptr;
            UINT32 count = 0;
            if (FAILED(MFTEnumEx(categoryId, MFT_ENUM_FLAG_ALL, nullptr, nullptr, &objects, &count))) continue;
            for (UINT32 i = 0; i < count; ++i) {
                GUID id = GUID_NULL;
                objects[i]->GetGUID(MFT_TRANSFORM_CLSID_Attribute, &id);
                if (held.insert(heldKey(category, id)).second) {
                    BareRow& row = rows.emplace_back();
                    row.id = id;
                    row.category = category;
                    row.cells[1] = L"пакет Windows";
                }
                objects[i]->Release();
            }
            CoTaskMemFree(objects);
        }
        MFShutdown();
        FreeLibrary(library);
    }
    for (BareRow& row : rows) {
        if (row.cells[0].empty()) row.cells[0] = L"(без имени)";
    }
    std::sort(rows.begin(), rows.end(), [](const BareRow& a, const BareRow& b) {
        return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.cells[0].c_str(), -1, b.cells[0].c_str(), -1) ==
               CSTR_LESS_THAN;
    });
}

std::vector<BareRow> g_viewRows;  // every category's
std::vector<BareRow> g_bareRows;  // the video decoders'

// The bare dialog: the same template, its two choices, seven columns, the
// rows read bare, the virtual list given their count and each column sized
// from its longest text.
INT_PTR CALLBACK BareTransformsDialog(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
        if (info->hdr.code != LVN_GETDISPINFOW || !(info->item.mask & LVIF_TEXT)) return FALSE;
        const auto row = static_cast<std::size_t>(info->item.iItem);
        if (row < g_bareRows.size() && info->item.iSubItem < kColumns) {
            lstrcpynW(info->item.pszText, g_bareRows[row].cells[info->item.iSubItem].c_str(), info->item.cchTextMax);
        }
        return TRUE;
    }
    if (message != WM_INITDIALOG) return FALSE;
    const wchar_t* const categories[] = {L"Видеодекодеры", L"Аудиодекодеры", L"Видеокодировщики", L"Аудиокодировщики",
                                         L"Видеоэффекты", L"Обработка видео", L"Аудиоэффекты", L"Демультиплексоры",
                                         L"Мультиплексоры", L"Прочие"};
    for (const wchar_t* category : categories) {
        SendDlgItemMessageW(dialog, IDC_TRANSFORM_CATEGORY, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(category));
    }
    SendDlgItemMessageW(dialog, IDC_TRANSFORM_CATEGORY, CB_SETCURSEL, 0, 0);
    for (const wchar_t* view : {L"64-разрядные программы", L"32-разрядные программы"}) {
        SendDlgItemMessageW(dialog, IDC_TRANSFORM_VIEW, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(view));
    }
    SendDlgItemMessageW(dialog, IDC_TRANSFORM_VIEW, CB_SETCURSEL, 0, 0);
    HWND list = GetDlgItem(dialog, IDC_TRANSFORM_LIST);
    const wchar_t* const headings[kColumns] = {L"Кодек",       L"Тип",       L"Входные форматы", L"Выходные форматы",
                                               L"Файл кодека", L"Состояние", L"Примечание"};
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    BareInsertColumns(list, headings, kColumns);
    BareReadRows(g_viewRows);
    g_bareRows.clear();
    std::copy_if(g_viewRows.begin(), g_viewRows.end(), std::back_inserter(g_bareRows),
                 [](const BareRow& row) { return row.category == 0; });
    SendMessageW(list, LVM_SETITEMCOUNT, g_bareRows.size(), 0);
    BareFitColumns(list, headings, kColumns, g_bareRows.size(),
                   [](std::size_t row, int column) { return g_bareRows[row].cells[column].c_str(); });
    return TRUE;
}


ResultRow MeasureDialog(const char* id, const char* measurement, int scale) {
    ResultRow row;
    row.id = id;
    row.measurement = measurement;
    row.baseline = "dialog 133's template made by a bare dialog procedure: every category's entries, transform keys, "
                   "class keys (each opened unless a link), server files with their version resources, Preferred, "
                   "DoNotUse and the platform's enumeration of each category read bare, sorted by name; the video "
                   "decoders' rows given to the virtual list and each column sized from its longest text; drawn alike";
    row.unit = "ms";
    int shown = 0, bareShown = 0;
    const auto program = [&] { shown = ShowAndDestroyDialog(IDD_TRANSFORMS, IDC_TRANSFORM_LIST, TransformsDialog); };
    const auto bare = [&] { bareShown = ShowAndDestroyDialog(IDD_TRANSFORMS, IDC_TRANSFORM_LIST, BareTransformsDialog); };
    program();  // unmeasured rounds of both sides first
    bare();
    Samples reading, enumerating;
    for (int i = 0; i < 9 * scale; ++i) {
        row.program.Add(TimeMs(program));
        row.reference.Add(TimeMs(bare));
        // What the dialog spends reading its rows, apart from showing them,
        // and of that what the platform's enumeration takes.
        reading.Add(TimeMs([] {
            TransformList list;
            ReadViewTransforms(0, list);
        }));
        enumerating.Add(TimeMs([] {
            const GUID* categories[kCategories];
            GUID ids[kCategories];
            for (int c = 0; c < kCategories; ++c) {
                IIDFromString((std::wstring(L"{") + kCategoryKeys[c] + L"}").c_str(), &ids[c]);
                categories[c] = &ids[c];
            }
            EnumerateTransforms(categories, kCategories, [](int, IMFAttributes* const*, unsigned) {});
        }));
    }
    row.note = Text("%d rows in the dialog, %d in the bare dialog; the view's rows read alone (ReadViewTransforms): "
                    "median %.1f ms, %.1f..%.1f, of which the platform's enumeration: median %.1f ms",
                    shown, bareShown, reading.Median(), reading.Min(), reading.Max(), enumerating.Median());
    Progress("%s done: %s", id, row.note.c_str());
    return row;
}

// Removes a transform written by WriteBenchTransform: its transform key,
// its category entry and its class key.
void RemoveBenchTransform(const std::wstring& keyName) {
    std::wstring classId = L"{" + keyName + L"}";
    CharUpperBuffW(classId.data(), static_cast<DWORD>(classId.size()));
    for (const std::wstring& path :
         {L"MediaFoundation\\Transforms\\" + keyName,
          L"MediaFoundation\\Transforms\\Categories\\" + std::wstring(kVideoDecoders) + L"\\" + keyName,
          L"CLSID\\" + classId}) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    }
}

}  // namespace

void RunTransformsDialogMeasurements(std::vector<ResultRow>& rows, int scale) {
    if (!Selected("14b") && !Selected("14c")) return;
    CoInitialize(nullptr);
    if (Selected("14b")) rows.push_back(MeasureDialog("14b", "dialog 133 made, filled and drawn, 500 transforms", scale));
    if (Selected("14c")) {
        // 4,500 more video decoders beside the fill's 500, removed afterwards.
        std::vector<std::wstring> added;
        for (int i = kBenchTransforms; i < kManyTransforms; ++i) {
            std::wstring keyName;
            if (WriteBenchTransform(i, &keyName)) added.push_back(keyName);
        }
        Progress("14c: %zu transforms added to the fill's %d", added.size(), kBenchTransforms);
        rows.push_back(MeasureDialog("14c", "the same with 5,000 transforms in the category", scale));
        for (const std::wstring& keyName : added) RemoveBenchTransform(keyName);
    }
    CoUninitialize();
}
