// Measurement 15: the codec load check over the codecs of a fresh prefix and
// 300 planted ones that load (100 filters, 100 DMOs and 100 transforms, each
// hundred served by one copy of the test codec), from the command until dialog
// 135 shows its results, against the bare program that does the same steps
// for the same codecs in one process (bench_bare_loads.exe); and 15b, the
// same check against the bare program that has a bare child load them and
// report through a journal in shared memory (bench_bare_loads.exe
// /with-child). Runs before the fill: the fill's 1,500 registrations would
// be checked too.
#include "bench_common.h"
#include "bench_program.h"

#include "../base/scoped.h"
#include "../resources/resource.h"
#include "../tests/common/test_registry.h"
#include "../tests/common/test_windows.h"

namespace {

constexpr int kPlantedPerKind = 100;
const wchar_t kLoadTitle[] = L"Проверка загрузки кодеков";
const wchar_t kVideoDecoders[] = L"d6c02d4b-6833-45b4-971a-05a4b04bab91";

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

// The planted codecs' keys, removed at the end.
struct PlantedCodecs {
    std::vector<std::wstring> keys;
    std::vector<std::wstring> folders;
    ~PlantedCodecs() {
        for (const std::wstring& key : keys) DeleteTree(key);
        for (const std::wstring& folder : folders) {
            DeleteFileW((folder + L"\\testcodec.dll").c_str());
            DeleteFileW((folder + L"\\testcodec.cfg").c_str());
            RemoveDirectoryW(folder.c_str());
        }
    }
    bool Set(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
        keys.push_back(key);
        return WriteText(key, name, value);
    }
};

// One copy of the test codec serving any class id as the kind's object,
// and kPlantedPerKind registrations of that kind naming it.
bool Plant(PlantedCodecs& planted, const std::wstring& codec, const std::wstring& folder, const wchar_t* kind) {
    CreateDirectoryW(folder.c_str(), nullptr);
    planted.folders.push_back(folder);
    const std::wstring dll = folder + L"\\testcodec.dll";
    if (!CopyFileW(codec.c_str(), dll.c_str(), FALSE)) return false;
    const std::string cfg = Utf8(std::wstring(L"kind=") + kind + L"\npages=none\nany_class=1\n");
    HANDLE file = CreateFileW((folder + L"\\testcodec.cfg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, cfg.data(), static_cast<DWORD>(cfg.size()), &written, nullptr);
    CloseHandle(file);
    bool sound = true;
    for (int i = 0; i < kPlantedPerKind; ++i) {
        const std::wstring classId = NewGuidText();
        const std::wstring name = Format(L"Bench Load %ls %03d", kind, i);
        sound = sound && planted.Set(L"CLSID\\" + classId, nullptr, name) &&
                planted.Set(L"CLSID\\" + classId + L"\\InprocServer32", nullptr, dll);
        std::wstring bare = classId.substr(1, 36);
        if (std::wstring(kind) == L"filter") {
            sound = sound && planted.Set(kLegacyInstance + classId, L"FriendlyName", name) &&
                    planted.Set(kLegacyInstance + classId, L"CLSID", classId);
        } else if (std::wstring(kind) == L"dmo") {
            sound = sound && planted.Set(L"DirectShow\\MediaObjects\\" + bare, nullptr, name);
        } else {
            CharLowerBuffW(bare.data(), static_cast<DWORD>(bare.size()));
            sound = sound && planted.Set(L"MediaFoundation\\Transforms\\" + bare, nullptr, name) &&
                    planted.Set(L"MediaFoundation\\Transforms\\Categories\\" + std::wstring(kVideoDecoders) + L"\\" + bare,
                                nullptr, L"");
        }
    }
    return sound;
}

// One check in the running program: the command posted, until dialog 135
// shows its results; then the dialog is closed (untimed). Negative on failure;
// the summary goes to *summary.
double ProgramCheck(HWND mainWindow, DWORD pid, std::wstring* summary) {
    HWND dialog = nullptr;
    const double start = NowMs();
    PostMessageW(mainWindow, WM_COMMAND, IDM_LOAD_CHECK, 0);
    const bool shown = PollUntil(
        [&] {
            if (!dialog) dialog = FindVisibleDialog(pid, kLoadTitle);
            return dialog && IsWindowVisible(GetDlgItem(dialog, IDC_LOAD_SUMMARY)) &&
                   !ControlText(dialog, IDC_LOAD_SUMMARY).empty();
        },
        120000);
    const double elapsed = NowMs() - start;
    if (dialog) {
        *summary = ControlText(dialog, IDC_LOAD_SUMMARY);
        PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        PollUntil([&] { return !IsWindowVisible(dialog); }, 10000);
    }
    return shown ? elapsed : -1;
}

// One run of the bare program, from CreateProcess until it has ended; the
// codecs it loaded go to *loaded. Negative on failure.
double BareCheck(const std::wstring& exe, int* loaded, const wchar_t* arguments = L"") {
    std::string out;
    const double elapsed = RunToEnd(exe, arguments, &out);
    *loaded = std::atoi(out.c_str());
    return elapsed;
}

}  // namespace

int RunLoadsMeasurement(const std::wstring& programExe, int scale) {
    std::vector<ResultRow> rows;
    ResultRow row{"15", "load check of every codec until dialog 135 shows it",
                  "bench_bare_loads.exe started: the same codecs of both views read, each file's header and imports "
                  "read, each of the own view's loaded and created in that one process (no pipe, progress or "
                  "dialog), process ended",
                  "ms", {}, {}, ""};
    ResultRow withChild{"15b", "the same check, against a bare parent and child",
                        "bench_bare_loads.exe /with-child started: the same reads and judgements, the codecs loaded and "
                        "created in a bare child that names each step and result in a journal in shared memory, polled "
                        "every 5 ms by the parent, until the child has ended",
                        "ms", {}, {}, ""};
    const std::wstring programFolder = Folder(programExe);
    const std::wstring codec = programFolder + L"\\tests\\fixtures\\testcodec\\testcodec.dll";
    wchar_t own[MAX_PATH];
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    const std::wstring bare = Folder(own) + L"\\bench_bare_loads.exe";
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    PlantedCodecs planted;
    const bool sound = Plant(planted, codec, std::wstring(temp) + L"Vantrel bench filters", L"filter") &&
                       Plant(planted, codec, std::wstring(temp) + L"Vantrel bench dmos", L"dmo") &&
                       Plant(planted, codec, std::wstring(temp) + L"Vantrel bench transforms", L"mft");
    BenchProgram program;
    if (!sound || !program.Start(programExe)) {
        row.note = sound ? "the program could not be started" : "the codecs could not be planted";
        rows.push_back(std::move(row));
        PrintTable(rows);
        return 1;
    }
    const DWORD pid = program.Pid();
    const HWND mainWindow = program.WaitFilledList(L"MyClass", 30000);
    std::wstring summary;
    int loaded = 0, loadedInChild = 0, failures = 0;
    // One unmeasured round of each first.
    ProgramCheck(mainWindow, pid, &summary);
    BareCheck(bare, &loaded);
    BareCheck(bare, &loadedInChild, L"/with-child");
    const int reps = 5 * scale;
    for (int i = 0; i < reps; ++i) {
        const double checked = ProgramCheck(mainWindow, pid, &summary);
        const double bareTime = BareCheck(bare, &loaded);
        const double childTime = BareCheck(bare, &loadedInChild, L"/with-child");
        if (checked < 0 || bareTime < 0 || childTime < 0 || loaded < 3 * kPlantedPerKind || loadedInChild != loaded) {
            ++failures;
            Progress("15 repetition %d not counted: program %.0f ms, bare %.0f ms with %d loaded, bare with a child "
                     "%.0f ms with %d loaded",
                     i + 1, checked, bareTime, loaded, childTime, loadedInChild);
            continue;
        }
        row.program.Add(checked);
        row.reference.Add(bareTime);
        withChild.program.Add(checked);
        withChild.reference.Add(childTime);
    }
    program.Close(mainWindow);
    row.note = Text("program: %s; bare: %d codecs loaded; %d of %d rounds failed", Utf8(summary).c_str(), loaded,
                    failures, reps);
    withChild.note = Text("bare child: %d codecs loaded", loadedInChild);
    Progress("15 done: %s; %s", row.note.c_str(), withChild.note.c_str());
    rows.push_back(std::move(row));
    rows.push_back(std::move(withChild));
    PrintTable(rows);
    return 0;
}
