// Measurement 16: dialog 136 made, filled and drawn on the program's own
// view with 500 ACM and Video for Windows codec values planted in Drivers32
// (removed afterwards), against the same dialog template made by a bare
// dialog procedure that reads the same values, descriptions, files and
// system.ini's section and fills the same list.
#include "bench_common.h"
#include "bare_reads.h"

#include "../drivercodecs/driver_codecs.h"
#include "../drivercodecs/drivers_dialog.h"
#include "../resources/resource.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kCodecValues = 500;
constexpr int kColumns = 5;
const wchar_t kDrivers32[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
const wchar_t kDescriptions[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc";
// The codecs Wine's system folder holds: one value in five names one of them by its bare name.
const wchar_t* const kSystemCodecs[] = {L"msrle32.dll", L"msvidc32.dll", L"iccvid.dll",   L"imaadp32.acm",
                                        L"msadp32.acm", L"msg711.acm",  L"l3codeca.acm", L"msgsm32.acm"};

// The index-th value: half video codecs (vidc.B000 to vidc.B249), half audio codecs.
std::wstring ValueName(int index) {
    wchar_t name[32];
    if (index < kCodecValues / 2) {
        swprintf(name, 32, L"vidc.B%03d", index);
    } else {
        swprintf(name, 32, L"msacm.bench%03d", index);
    }
    return name;
}

std::wstring ValueData(int index) {
    if (index % 5 == 0) return kSystemCodecs[(index / 5) % std::size(kSystemCodecs)];
    wchar_t path[64];
    swprintf(path, 64, L"C:\\BenchCodecs\\codec_%03d.dll", index);
    return path;
}

void SetText(HKEY key, const std::wstring& name, const std::wstring& data) {
    RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

// Writes the 500 values, and a description for every other missing file's; false when the keys cannot be made.
bool PlantValues() {
    HKEY drivers = nullptr, descriptions = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &drivers, nullptr) !=
            ERROR_SUCCESS ||
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDescriptions, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &descriptions,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    for (int i = 0; i < kCodecValues; ++i) {
        SetText(drivers, ValueName(i), ValueData(i));
        if (i % 5 != 0 && i % 2 == 1) SetText(descriptions, ValueData(i), L"Bench codec " + std::to_wstring(i));
    }
    RegCloseKey(descriptions);
    RegCloseKey(drivers);
    return true;
}

void RemoveValues() {
    HKEY drivers = nullptr, descriptions = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, KEY_SET_VALUE, &drivers) == ERROR_SUCCESS) {
        for (int i = 0; i < kCodecValues; ++i) RegDeleteValueW(drivers, ValueName(i).c_str());
        RegCloseKey(drivers);
    }
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDescriptions, 0, KEY_SET_VALUE, &descriptions) == ERROR_SUCCESS) {
        for (int i = 0; i < kCodecValues; ++i) RegDeleteValueW(descriptions, ValueData(i).c_str());
        RegCloseKey(descriptions);
    }
}

struct BareFile {
    std::wstring file;   // with its facts
    std::wstring state;
    std::wstring description;
};

// A file's state and facts, read bare: its PE header's machine, its
// attributes and its version resource (version, company, description).
BareFile BareJudge(const std::wstring& path) {
    BareFile judged{path, L"в порядке", L""};
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        judged.state = L"файл не найден";
        return judged;
    }
    BYTE head[4096];
    DWORD got = 0;
    ReadFile(file, head, sizeof(head), &got, nullptr);
    CloseHandle(file);
    LONG peAt = 0;
    if (got >= 64) std::memcpy(&peAt, head + 60, sizeof(peAt));
    WORD machine = 0;
    if (peAt > 0 && static_cast<DWORD>(peAt) + 6 <= got) std::memcpy(&machine, head + peAt + 4, sizeof(machine));
    if (machine != (sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386)) {
        judged.state = L"другая разрядность";
    }
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes);
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
        for (const wchar_t* field : {L"CompanyName", L"FileDescription"}) {
            wchar_t query[96];
            swprintf(query, 96, L"\\StringFileInfo\\%04x%04x\\%ls", LOWORD(language), HIWORD(language), field);
            if (VerQueryValueW(info.data(), query, &value, &length) && value) {
                if (field[0] == L'C') facts += std::wstring(L", ") + static_cast<const wchar_t*>(value);
                else judged.description = static_cast<const wchar_t*>(value);
            }
        }
    }
    wchar_t bytes[64];
    swprintf(bytes, 64, L", %lu байт", attributes.nFileSizeLow);
    judged.file = path + L" (" + facts + bytes + L")";
    return judged;
}

struct BareRow {
    bool audio = false;
    std::wstring cells[kColumns];  // name, kind, description, file, state
};

std::vector<BareRow> g_bareRows;

// The codec values of Drivers32 and the rows of system.ini's section the
// registry does not hold, each with its description and its file judged (each file once); sorted.
void BareReadRows(std::vector<BareRow>& rows) {
    rows.clear();
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    std::map<std::wstring, BareFile> files;
    HKEY descriptions = BareOpenUnlessLink(HKEY_LOCAL_MACHINE, kDescriptions);
    const auto add = [&](const wchar_t* name, const wchar_t* data, bool fromIni) {
        const bool video = _wcsnicmp(name, L"vidc.", 5) == 0 || _wcsnicmp(name, L"vids.", 5) == 0;
        if (!video && _wcsnicmp(name, L"msacm.", 6) != 0) return;
        BareRow& row = rows.emplace_back();
        row.audio = !video;
        row.cells[0] = name;
        row.cells[1] = video ? L"видео (VfW)" : L"звук (ACM)";
        const std::wstring path = std::wcspbrk(data, L"\\/:") ? std::wstring(data) : std::wstring(system) + L"\\" + data;
        auto found = files.find(path);
        if (found == files.end()) found = files.emplace(path, BareJudge(path)).first;
        row.cells[2] = descriptions ? BareValue(descriptions, data) : L"";
        if (row.cells[2].empty()) row.cells[2] = found->second.description;
        row.cells[3] = found->second.file;
        row.cells[4] = fromIni ? found->second.state + L", из system.ini" : found->second.state;
    };
    if (HKEY drivers = BareOpenUnlessLink(HKEY_LOCAL_MACHINE, kDrivers32)) {
        for (DWORD index = 0;; ++index) {
            wchar_t name[256], data[512];
            DWORD nameCount = 256, bytes = sizeof(data) - sizeof(wchar_t);
            DWORD type = 0;
            const LONG status = RegEnumValueW(drivers, index, name, &nameCount, nullptr, &type,
                                              reinterpret_cast<BYTE*>(data), &bytes);
            if (status == ERROR_NO_MORE_ITEMS) break;
            if (status != ERROR_SUCCESS) continue;
            data[bytes / sizeof(wchar_t)] = L'\0';
            add(name, data, false);
        }
        RegCloseKey(drivers);
    }
    const std::size_t fromRegistry = rows.size();
    std::vector<wchar_t> section(65536);
    GetPrivateProfileSectionW(L"drivers32", section.data(), static_cast<DWORD>(section.size()), L"system.ini");
    for (wchar_t* line = section.data(); *line; line += std::wcslen(line) + 1) {
        wchar_t* equals = std::wcschr(line, L'=');
        if (!equals || line[0] == L';') continue;
        *equals = L'\0';
        bool held = false;
        for (std::size_t i = 0; i < fromRegistry && !held; ++i) held = lstrcmpiW(rows[i].cells[0].c_str(), line) == 0;
        if (!held) add(line, equals + 1, true);
        *equals = L'=';
    }
    if (descriptions) RegCloseKey(descriptions);
    std::sort(rows.begin(), rows.end(), [](const BareRow& a, const BareRow& b) {
        if (a.audio != b.audio) return !a.audio;
        return lstrcmpiW(a.cells[0].c_str(), b.cells[0].c_str()) < 0;
    });
}

// The bare dialog: the same template, its two views, five columns, the rows
// read bare, the virtual list given their count and each column sized from its longest text.
INT_PTR CALLBACK BareDriversDialog(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
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
    for (const wchar_t* view : {L"64-разрядные программы", L"32-разрядные программы"}) {
        SendDlgItemMessageW(dialog, IDC_DRIVER_VIEW, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(view));
    }
    SendDlgItemMessageW(dialog, IDC_DRIVER_VIEW, CB_SETCURSEL, 0, 0);
    HWND list = GetDlgItem(dialog, IDC_DRIVER_LIST);
    const wchar_t* const headings[kColumns] = {L"Кодек", L"Вид", L"Описание", L"Файл", L"Состояние"};
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    BareInsertColumns(list, headings, kColumns);
    BareReadRows(g_bareRows);
    SendMessageW(list, LVM_SETITEMCOUNT, g_bareRows.size(), 0);
    BareFitColumns(list, headings, kColumns, g_bareRows.size(),
                   [](std::size_t row, int column) { return g_bareRows[row].cells[column].c_str(); });
    return TRUE;
}


}  // namespace

void RunDriversMeasurement(std::vector<ResultRow>& rows, int scale) {
    if (!Selected("16")) return;
    if (!PlantValues()) {
        Progress("16: the values could not be planted");
        return;
    }
    ResultRow row;
    row.id = "16";
    row.measurement = "dialog 136 made, filled and drawn, 500 codec values";
    row.baseline = "dialog 136's template made by a bare dialog procedure: Drivers32's values and system.ini's "
                   "[drivers32] read bare, each codec's drivers.desc value, each distinct file's PE header, "
                   "attributes and version resource read once, sorted by kind and name; the virtual list given "
                   "its count and each column sized from its longest text; drawn alike";
    row.unit = "ms";
    int shown = 0, bareShown = 0;
    const auto program = [&] { shown = ShowAndDestroyDialog(IDD_DRIVER_CODECS, IDC_DRIVER_LIST, DriverCodecsDialog); };
    const auto bare = [&] { bareShown = ShowAndDestroyDialog(IDD_DRIVER_CODECS, IDC_DRIVER_LIST, BareDriversDialog); };
    program();  // unmeasured rounds of both sides first
    bare();
    Samples reading, bareReading;
    for (int i = 0; i < 9 * scale; ++i) {
        row.program.Add(TimeMs(program));
        row.reference.Add(TimeMs(bare));
        // What each side spends reading its rows, apart from showing them.
        reading.Add(TimeMs([] {
            DriverCodecList codecs;
            ReadDriverCodecs(0, codecs);
        }));
        bareReading.Add(TimeMs([] {
            std::vector<BareRow> bareRows;
            BareReadRows(bareRows);
        }));
    }
    RemoveValues();
    row.note = Text("%d rows in the dialog, %d in the bare dialog; the rows read alone: median %.1f ms "
                    "(ReadDriverCodecs), %.1f ms (bare)",
                    shown, bareShown, reading.Median(), bareReading.Median());
    Progress("16 done: %s", row.note.c_str());
    rows.push_back(row);
}
