// Measurement 18: the "Audio Compressors" list filled through the walk
// guard, as the program fills it: the first fill after a change of
// Drivers32 (the child's walk, then the rows it sent), against the bare
// fill (the device enumerator's walk of the same category in this process);
// and 18b, a second fill, its verdict kept.
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

}  // namespace

void RunWalksMeasurement(std::vector<ResultRow>& rows, int scale) {
    if (!Selected("18") && !Selected("18b")) return;
    const HWND bareList = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | LBS_STANDARD, 0, 40, 350, 300,
                                          g_app.mainWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
    ResultRow first{"18", "Audio Compressors filled after a change of Drivers32: the child's walk, then its rows",
                    "the device enumerator's walk of the category in this process into a hidden list box", "ms",
                    {}, {}, ""};
    ResultRow second{"18b", "Audio Compressors filled again, the child's verdict kept", "the same bare walk", "ms",
                     {}, {}, ""};
    BareDeviceWalk(CLSID_AudioCompressorCategory, bareList);  // warm-up: the enumerator loaded
    const int reps = 5 * scale;
    int named = 0;
    for (int i = 0; i < reps; ++i) {
        TouchDrivers32();
        first.program.Add(TimeMs([] { EnumerateCategory(CLSID_AudioCompressorCategory); }));
        second.program.Add(TimeMs([] { EnumerateCategory(CLSID_AudioCompressorCategory); }));
        const double bare = TimeMs([&] {
            SendMessageW(bareList, LB_RESETCONTENT, 0, 0);
            named = BareDeviceWalk(CLSID_AudioCompressorCategory, bareList);
        });
        first.reference.Add(bare);
        second.reference.Add(bare);
    }
    DestroyWindow(bareList);
    first.note = Text("%d rows listed by the baseline", named);
    Progress("18 done: %s", first.note.c_str());
    rows.push_back(std::move(first));
    rows.push_back(std::move(second));
}
