// Measurement 17: dialog 138 made, filled and drawn on the program's own
// view with 500 extensions planted with Explorer handlers (sharing four
// classes and their DLLs; removed afterwards), against the same dialog
// template filled by a bare dialog procedure from the same reads: each
// extension's PerceivedType, its ProgID, the ShellEx keys of the six places
// of the shell's lookup in the user's and the machine's classes (the shared
// places once), its property handler, each class's key, server and Blocked
// values and each file's PE header once.
#include "bench_common.h"
#include "bare_reads.h"

#include "../resources/resource.h"
#include "../shellhandlers/shell_dialog.h"
#include "../shellhandlers/shell_handlers.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kExtensions = 500;
constexpr int kColumns = 6;
const wchar_t kClasses[] = L"Software\\Classes";
const wchar_t kPropertyHandlers[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers";
const wchar_t kBlocked[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked";
const wchar_t* const kKindKeys[3] = {L"{E357FCCD-A995-4576-B01F-234630154E96}", L"{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}",
                                     L"{8895B1C6-B41F-4C1C-A562-0D564250836F}"};
const wchar_t* const kKindTitles[4] = {L"эскизы", L"эскизы (IExtractImage)", L"просмотр", L"свойства"};
// The four handlers' classes and the files they name (one missing).
const wchar_t* const kClassIds[4] = {L"{7B3E0001-5A1C-4E2B-9C3D-0A1B2C3D4E51}", L"{7B3E0002-5A1C-4E2B-9C3D-0A1B2C3D4E52}",
                                     L"{7B3E0003-5A1C-4E2B-9C3D-0A1B2C3D4E53}", L"{7B3E0004-5A1C-4E2B-9C3D-0A1B2C3D4E54}"};
const wchar_t* const kFiles[4] = {L"quartz.dll", L"msvfw32.dll", L"winegstreamer.dll", L"vantrel_bench_gone.dll"};

std::wstring Extension(int index) {
    wchar_t name[32];
    swprintf(name, 32, L".vbench%03d", index);
    return name;
}

std::wstring ClassFile(int index) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\" + kFiles[index];
}

bool SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

void DeleteTreeAt(HKEY root, const std::wstring& path) {
    RegDeleteTreeW(root, path.c_str());
    RegDeleteKeyW(root, path.c_str());
}

// The 500 extensions, each with a thumbnail handler (one of the four
// classes), every third a preview handler, every fourth a property handler.
bool PlantHandlers() {
    const std::wstring classes = std::wstring(kClasses) + L"\\";
    bool planted = true;
    for (int c = 0; c < 4; ++c) {
        planted = planted && SetText(HKEY_LOCAL_MACHINE, classes + L"CLSID\\" + kClassIds[c], nullptr,
                                     L"Bench handler " + std::to_wstring(c));
        planted = planted && SetText(HKEY_LOCAL_MACHINE, classes + L"CLSID\\" + kClassIds[c] + L"\\InprocServer32",
                                     nullptr, ClassFile(c));
    }
    for (int i = 0; i < kExtensions && planted; ++i) {
        const std::wstring ext = classes + Extension(i);
        planted = SetText(HKEY_LOCAL_MACHINE, ext, L"PerceivedType", L"video") &&
                  SetText(HKEY_LOCAL_MACHINE, ext + L"\\ShellEx\\" + kKindKeys[0], nullptr, kClassIds[i % 4]);
        if (i % 3 == 0) planted = planted && SetText(HKEY_LOCAL_MACHINE, ext + L"\\ShellEx\\" + kKindKeys[2], nullptr,
                                                     kClassIds[(i + 1) % 4]);
        if (i % 4 == 0) planted = planted && SetText(HKEY_LOCAL_MACHINE, std::wstring(kPropertyHandlers) + L"\\" +
                                                                             Extension(i), nullptr, kClassIds[(i + 2) % 4]);
    }
    return planted;
}

void RemoveHandlers() {
    const std::wstring classes = std::wstring(kClasses) + L"\\";
    for (int i = 0; i < kExtensions; ++i) {
        DeleteTreeAt(HKEY_LOCAL_MACHINE, classes + Extension(i));
        DeleteTreeAt(HKEY_LOCAL_MACHINE, std::wstring(kPropertyHandlers) + L"\\" + Extension(i));
    }
    for (const wchar_t* classId : kClassIds) DeleteTreeAt(HKEY_LOCAL_MACHINE, classes + L"CLSID\\" + classId);
}

struct BareRow {
    bool problem = false;
    std::wstring cells[kColumns];  // extension, kind, state, handler, file, key
};

struct BareClass {
    std::wstring name, file, state;
};

std::vector<BareRow> g_bareRows;

bool IsGuid(const std::wstring& text) {
    GUID id;
    return text.size() == 38 && SUCCEEDED(IIDFromString(text.c_str(), &id));
}

// A value of root\path (the default value where name is null), the key opened bare.
std::wstring BareRead(HKEY root, const std::wstring& path, const wchar_t* name) {
    HKEY key = root ? BareOpenUnlessLink(root, path.c_str()) : nullptr;
    if (!key) return L"";
    std::wstring value = BareValue(key, name);
    RegCloseKey(key);
    return value;
}

// The handlers of the three ShellEx kinds at one place of one root: class id, key name.
struct BarePlace {
    std::wstring classIds[3], keys[3];
};

BarePlace BareReadPlace(HKEY root, const wchar_t* rootName, const std::wstring& base) {
    BarePlace place;
    HKEY shellEx = root ? BareOpenUnlessLink(root, (base + L"\\ShellEx").c_str()) : nullptr;
    if (!shellEx) return place;
    for (int kind = 0; kind < 3; ++kind) {
        HKEY key = BareOpenUnlessLink(shellEx, kKindKeys[kind]);
        if (!key) continue;
        const std::wstring classId = BareValue(key, nullptr);
        RegCloseKey(key);
        if (!IsGuid(classId)) continue;
        place.classIds[kind] = classId;
        place.keys[kind] = std::wstring(rootName) + L"\\" + base + L"\\ShellEx\\" + kKindKeys[kind];
    }
    RegCloseKey(shellEx);
    return place;
}

void BareReadRows(std::vector<BareRow>& rows) {
    rows.clear();
    HKEY roots[2] = {};
    RegOpenKeyExW(HKEY_CURRENT_USER, kClasses, 0, KEY_READ, &roots[0]);
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClasses, 0, KEY_READ, &roots[1]);
    const wchar_t* const rootNames[2] = {L"HKEY_CURRENT_USER\\Software\\Classes", L"HKEY_LOCAL_MACHINE\\Software\\Classes"};
    // The extension keys of both, each once.
    std::vector<std::wstring> extensions;
    std::map<std::wstring, bool> seen;
    for (HKEY root : roots) {
        if (!root) continue;
        wchar_t name[256];
        for (DWORD index = 0;; ++index) {
            DWORD length = 256;
            if (RegEnumKeyExW(root, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            if (name[0] != L'.') continue;
            std::wstring lower = name;
            CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
            if (seen.emplace(lower, true).second) extensions.push_back(name);
        }
    }
    HKEY classKeys[2] = {roots[0] ? BareOpenUnlessLink(roots[0], L"CLSID") : nullptr,
                         roots[1] ? BareOpenUnlessLink(roots[1], L"CLSID") : nullptr};
    HKEY blocked[2] = {BareOpenUnlessLink(HKEY_LOCAL_MACHINE, kBlocked), BareOpenUnlessLink(HKEY_CURRENT_USER, kBlocked)};
    std::map<std::wstring, BareClass> judged;
    std::map<std::wstring, std::wstring> files;
    std::map<std::wstring, BarePlace> shared[2];
    const auto classOf = [&](const std::wstring& classId) -> const BareClass& {
        auto found = judged.find(classId);
        if (found != judged.end()) return found->second;
        BareClass facts{classId, L"", L"нет раздела класса"};
        for (HKEY classes : classKeys) {
            HKEY key = classes ? BareOpenUnlessLink(classes, classId.c_str()) : nullptr;
            if (!key) continue;
            const std::wstring name = BareValue(key, nullptr);
            if (!name.empty()) facts.name = name;
            facts.file = BareRead(key, L"InprocServer32", nullptr);
            RegCloseKey(key);
            auto file = files.find(facts.file);
            if (file == files.end()) {
                std::wstring state = L"файл не найден";
                const HANDLE handle = CreateFileW(facts.file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                  OPEN_EXISTING, 0, nullptr);
                if (handle != INVALID_HANDLE_VALUE) {
                    BYTE head[4096];
                    DWORD got = 0;
                    ReadFile(handle, head, sizeof(head), &got, nullptr);
                    CloseHandle(handle);
                    LONG peAt = 0;
                    if (got >= 64) std::memcpy(&peAt, head + 60, sizeof(peAt));
                    WORD machine = 0;
                    if (peAt > 0 && static_cast<DWORD>(peAt) + 6 <= got) std::memcpy(&machine, head + peAt + 4, 2);
                    state = machine == (sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386)
                                ? L"в порядке"
                                : L"другая разрядность";
                }
                file = files.emplace(facts.file, state).first;
            }
            facts.state = file->second;
            break;
        }
        for (HKEY key : blocked) {
            if (key && RegQueryValueExW(key, classId.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
                facts.state = L"отключен";
            }
        }
        return judged.emplace(classId, facts).first->second;
    };
    const auto addRow = [&](const std::wstring& extension, int kind, const std::wstring& classId,
                            const std::wstring& key) {
        const BareClass& facts = classOf(classId);
        BareRow& row = rows.emplace_back();
        row.problem = facts.state != L"в порядке" && facts.state != L"отключен";
        row.cells[0] = extension;
        row.cells[1] = kKindTitles[kind];
        row.cells[2] = facts.state;
        row.cells[3] = facts.name;
        row.cells[4] = facts.file;
        row.cells[5] = key;
    };
    for (const std::wstring& extension : extensions) {
        std::wstring perceived, content;
        for (HKEY root : roots) {
            if (perceived.empty()) perceived = BareRead(root, extension, L"PerceivedType");
        }
        if (_wcsicmp(perceived.c_str(), L"video") != 0 && _wcsicmp(perceived.c_str(), L"audio") != 0) {
            for (HKEY root : roots) {
                if (content.empty()) content = BareRead(root, extension, L"Content Type");
            }
            if (_wcsnicmp(content.c_str(), L"video/", 6) != 0 && _wcsnicmp(content.c_str(), L"audio/", 6) != 0) continue;
        }
        std::wstring progId;
        for (HKEY root : roots) {
            if (progId.empty()) progId = BareRead(root, extension, nullptr);
        }
        std::vector<std::pair<std::wstring, bool>> places;  // base, shared
        if (!progId.empty()) places.push_back({progId, false});
        places.push_back({extension, false});
        places.push_back({L"SystemFileAssociations\\" + extension, false});
        if (!perceived.empty()) places.push_back({L"SystemFileAssociations\\" + perceived, true});
        places.push_back({L"*", true});
        places.push_back({L"AllFileSystemObjects", true});
        std::vector<BarePlace> read;
        for (const auto& [base, isShared] : places) {
            for (int r = 0; r < 2; ++r) {
                if (!isShared) {
                    read.push_back(BareReadPlace(roots[r], rootNames[r], base));
                    continue;
                }
                auto found = shared[r].find(base);
                if (found == shared[r].end()) found = shared[r].emplace(base, BareReadPlace(roots[r], rootNames[r], base)).first;
                read.push_back(found->second);
            }
        }
        for (int kind = 0; kind < 3; ++kind) {
            for (const BarePlace& place : read) {
                if (place.classIds[kind].empty()) continue;
                addRow(extension, kind, place.classIds[kind], place.keys[kind]);
                break;
            }
        }
        HKEY property = BareOpenUnlessLink(HKEY_LOCAL_MACHINE, (std::wstring(kPropertyHandlers) + L"\\" + extension).c_str());
        if (property) {
            const std::wstring classId = BareValue(property, nullptr);
            RegCloseKey(property);
            if (IsGuid(classId)) addRow(extension, 3, classId, std::wstring(L"HKEY_LOCAL_MACHINE\\") + kPropertyHandlers +
                                                                   L"\\" + extension);
        }
    }
    for (HKEY key : blocked) {
        if (key) RegCloseKey(key);
    }
    for (HKEY key : classKeys) {
        if (key) RegCloseKey(key);
    }
    for (HKEY root : roots) {
        if (root) RegCloseKey(root);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const BareRow& a, const BareRow& b) {
        if (a.problem != b.problem) return a.problem;
        return lstrcmpiW(a.cells[0].c_str(), b.cells[0].c_str()) < 0;
    });
}

// The bare dialog: the same template, its two views, six columns, the rows
// read bare, the virtual list given their count and each column sized from its longest text.
INT_PTR CALLBACK BareShellDialog(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
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
        SendDlgItemMessageW(dialog, IDC_SHELL_VIEW, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(view));
    }
    SendDlgItemMessageW(dialog, IDC_SHELL_VIEW, CB_SETCURSEL, 0, 0);
    HWND list = GetDlgItem(dialog, IDC_SHELL_LIST);
    const wchar_t* const headings[kColumns] = {L"Расширение", L"Вид", L"Состояние", L"Обработчик", L"Файл",
                                               L"Где зарегистрирован"};
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    BareInsertColumns(list, headings, kColumns);
    BareReadRows(g_bareRows);
    SendMessageW(list, LVM_SETITEMCOUNT, g_bareRows.size(), 0);
    BareFitColumns(list, headings, kColumns, g_bareRows.size(),
                   [](std::size_t row, int column) { return g_bareRows[row].cells[column].c_str(); });
    return TRUE;
}

}  // namespace

void RunShellMeasurement(std::vector<ResultRow>& rows, int scale) {
    if (!Selected("17")) return;
    if (!PlantHandlers()) {
        RemoveHandlers();
        Progress("17: the handlers could not be planted");
        return;
    }
    ResultRow row;
    row.id = "17";
    row.measurement = "dialog 138 made, filled and drawn, 500 extensions with handlers";
    row.baseline = "dialog 138's template made by a bare dialog procedure: the extension keys of both classes, "
                   "each one's PerceivedType, ProgID and the ShellEx keys of the lookup's six places in both classes "
                   "(the shared places once), its property handler, each class's key, server and Blocked values and "
                   "each file's PE header once, problems first; the virtual list given its count and each column "
                   "sized from its longest text; drawn alike";
    row.unit = "ms";
    int shown = 0, bareShown = 0;
    const auto program = [&] { shown = ShowAndDestroyDialog(IDD_SHELL_HANDLERS, IDC_SHELL_LIST, ShellHandlersDialog); };
    const auto bare = [&] { bareShown = ShowAndDestroyDialog(IDD_SHELL_HANDLERS, IDC_SHELL_LIST, BareShellDialog); };
    program();  // unmeasured rounds of both sides first
    bare();
    Samples reading, bareReading;
    for (int i = 0; i < 9 * scale; ++i) {
        row.program.Add(TimeMs(program));
        row.reference.Add(TimeMs(bare));
        reading.Add(TimeMs([] {
            ShellHandlerList handlers;
            ReadShellHandlers(0, handlers);
        }));
        bareReading.Add(TimeMs([] {
            std::vector<BareRow> bareRows;
            BareReadRows(bareRows);
        }));
    }
    RemoveHandlers();
    row.note = Text("%d rows in the dialog, %d in the bare dialog; the rows read alone: median %.1f ms "
                    "(ReadShellHandlers), %.1f ms (bare)",
                    shown, bareShown, reading.Median(), bareReading.Median());
    Progress("17 done: %s", row.note.c_str());
    rows.push_back(row);
}
