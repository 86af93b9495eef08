// Measurement 18: the "Audio Compressors" list filled through the walk
// guard, as the program fills it: the first fill after a change of
// Drivers32 (the child's walk, then the rows it sent), against the bare
// fill (the device enumerator's walk of the same category in this process);
// and 18b, a second fill, its verdict kept; 18c, the first fill against a
// bare child: this program started again with "/bare-walk", which walks the
// same category with the device enumerator and ends, waited for.
#include "bench_common.h"
#include "bare_reads.h"

#include "../base/app_state.h"
#include "../catalogue/filter_list.h"

namespace {

const wchar_t kDrivers32[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";

// A value written and removed again: a change the kept verdict sees.
void TouchDrivers32() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    const wchar_t data[] = L"none.dll";
    RegSetValueExW(key, L"vantrel.bench", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof(data));
    RegDeleteValueW(key, L"vantrel.bench");
    RegCloseKey(key);
}

// Starts this program with "/bare-walk" and waits for its end; false where it could not start.
bool RunBareWalkChild() {
    wchar_t exe[MAX_PATH];
    if (GetModuleFileNameW(nullptr, exe, MAX_PATH) == 0) return false;
    wchar_t commandLine[MAX_PATH + 32];
    swprintf(commandLine, MAX_PATH + 32, L"\"%ls\" /bare-walk", exe);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(exe, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return false;
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace

int RunBareWalk() {
    CoInitialize(nullptr);
    BareDeviceWalk(CLSID_AudioCompressorCategory);
    CoUninitialize();
    ExitProcess(0);
}

void RunWalksMeasurement(std::vector<ResultRow>& rows, int scale) {
    if (!Selected("18")) return;
    const HWND bareList = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | LBS_STANDARD, 0, 40, 350, 300,
                                          g_app.mainWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
    ResultRow first{"18", "Audio Compressors filled after a change of Drivers32: the child's walk, then its rows",
                    "the device enumerator's walk of the category in this process into a hidden list box", "ms",
                    {}, {}, ""};
    ResultRow second{"18b", "Audio Compressors filled again, the child's verdict kept", "the same bare walk", "ms",
                     {}, {}, ""};
    ResultRow againstChild{"18c", "Audio Compressors filled after a change of Drivers32 (as 18)",
                           "a bare child (this program with /bare-walk) started, walking the category, waited for",
                           "ms", {}, {}, ""};
    BareDeviceWalk(CLSID_AudioCompressorCategory, bareList);  // warm-up: the enumerator loaded
    const int reps = 5 * scale;
    int named = 0;
    for (int i = 0; i < reps; ++i) {
        TouchDrivers32();
        first.program.Add(TimeMs([] { EnumerateCategory(CLSID_AudioCompressorCategory); }));
        first.reference.Add(TimeMs([&] {
            SendMessageW(bareList, LB_RESETCONTENT, 0, 0);
            named = BareDeviceWalk(CLSID_AudioCompressorCategory, bareList);
        }));
        // A kept fill costs a fraction of a millisecond: ten pairs a round.
        for (int j = 0; j < 10; ++j) {
            second.program.Add(TimeMs([] { EnumerateCategory(CLSID_AudioCompressorCategory); }));
            second.reference.Add(TimeMs([&] {
                SendMessageW(bareList, LB_RESETCONTENT, 0, 0);
                BareDeviceWalk(CLSID_AudioCompressorCategory, bareList);
            }));
        }
        TouchDrivers32();
        againstChild.program.Add(TimeMs([] { EnumerateCategory(CLSID_AudioCompressorCategory); }));
        againstChild.reference.Add(TimeMs([] { RunBareWalkChild(); }));
    }
    DestroyWindow(bareList);
    first.note = Text("%d rows listed by the baseline", named);
    Progress("18 done: %s", first.note.c_str());
    rows.push_back(std::move(first));
    rows.push_back(std::move(second));
    rows.push_back(std::move(againstChild));
}
