// Measurement 9: the playback check of the test AVI, from OK in the command's
// open-file dialog until dialog 130 shows the chain, against the bare program
// that builds the same graph in a fresh process and lists its filters.
#include "bench_common.h"
#include "bench_program.h"

#include "../base/scoped.h"
#include "../resources/resource.h"
#include "../tests/common/test_media.h"
#include "../tests/common/test_registry.h"
#include "../tests/common/test_windows.h"

#include <commctrl.h>
#include <dlgs.h>

namespace {

const wchar_t kOpenTitle[] = L"Выберите файл для проверки";
const wchar_t kCheckTitle[] = L"Проверка воспроизведения";
const wchar_t kRunning[] = L"Идет проверка..";
constexpr int kChainRows = 4;  // file source, splitter, decoder, renderer
constexpr DWORD kChoosingMs = 500;  // the open-file dialog shown before OK (untimed)

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

// A copy of the test codec in a folder of its own with its testcodec.cfg,
// registered through its own DllRegisterServer.
bool InstallCodec(const std::wstring& dll, const std::wstring& folder, const std::wstring& cfg) {
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring copy = folder + L"\\testcodec.dll";
    if (!CopyFileW(dll.c_str(), copy.c_str(), FALSE)) return false;
    const std::string bytes = Utf8(cfg);
    HANDLE file = CreateFileW((folder + L"\\testcodec.cfg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    HMODULE module = LoadLibraryW(copy.c_str());
    using Register = HRESULT(STDAPICALLTYPE*)();
    FARPROC entry = module ? GetProcAddress(module, "DllRegisterServer") : nullptr;
    auto reg = entry ? reinterpret_cast<Register>(reinterpret_cast<void*>(entry)) : nullptr;
    return reg && SUCCEEDED(reg());
}

// A window's text as the window system keeps it (InternalGetWindowText): read
// without a message to the program's thread, so that polling it 1 ms apart
// takes no time from the program and its child on the one pinned CPU.
std::wstring KeptText(HWND window) {
    wchar_t text[512];
    const int length = InternalGetWindowText(window, text, 512);
    return std::wstring(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// The program's visible dialog of that title, found as FindVisibleDialog finds
// it, but with the titles read as the window system keeps them.
HWND FindKeptTitleDialog(DWORD pid, const wchar_t* title) {
    for (HWND window : VisibleTopLevelWindows(pid, L"#32770")) {
        if (KeptText(window) == title) return window;
    }
    return nullptr;
}

// One check in the running program: the command, the file typed into the
// open-file dialog and half a second there (untimed), then OK until the chain shows; the dialog is
// closed afterwards (untimed). Negative on failure.
double ProgramCheck(HWND mainWindow, DWORD pid, const std::wstring& file) {
    PostMessageW(mainWindow, WM_COMMAND, IDM_PLAYBACK_CHECK, 0);
    HWND open = nullptr;
    if (!PollUntil([&] { return (open = FindVisibleDialog(pid, kOpenTitle)) != nullptr; }, 10000)) return -1;
    HWND name = GetDlgItem(open, edt1);
    if (!name) name = GetDlgItem(open, cmb13);
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.c_str()));
    // A user takes at least this long to choose a file; the program starts
    // its child meanwhile, so the wait measured from OK is the user's.
    Sleep(kChoosingMs);
    HWND check = nullptr;
    const double start = NowMs();
    PostMessageW(GetDlgItem(open, IDOK), BM_CLICK, 0, 0);
    const bool shown = PollUntil(
        [&] {
            if (!check) check = FindKeptTitleDialog(pid, kCheckTitle);
            if (!check) return false;
            const std::wstring result = KeptText(GetDlgItem(check, IDC_PLAYBACK_RESULT));
            return result != kRunning && !result.empty() &&
                   SendMessageW(GetDlgItem(check, IDC_PLAYBACK_CHAIN), LVM_GETITEMCOUNT, 0, 0) >= kChainRows;
        },
        30000);
    const double elapsed = NowMs() - start;
    if (check) {
        PostMessageW(GetDlgItem(check, IDCANCEL), BM_CLICK, 0, 0);
        PollUntil([&] { return !IsWindowVisible(check); }, 10000);
    }
    return shown ? elapsed : -1;
}

// One run of the bare program: from CreateProcess until it has listed its
// filters and ended. Negative on failure; the filter count goes to *filters.
double BareCheck(const std::wstring& exe, const std::wstring& file, int* filters) {
    std::string listed;
    const double elapsed = RunToEnd(exe, L"\"" + file + L"\"", &listed);
    // Its output is UTF-16: a filter's name a line.
    *filters = 0;
    for (std::size_t i = 0; i + 1 < listed.size(); i += 2) *filters += listed[i] == '\n' && listed[i + 1] == 0;
    return elapsed;
}

}  // namespace

void MeasurePlaybackCheck(std::vector<ResultRow>& rows, const std::wstring& programExe, const std::wstring& bareExe,
                          int scale) {
    ResultRow row{"9", "playback check of the test AVI until the chain shows",
                  "bench_bare_graph.exe started, AddSourceFilter and Render on each output pin of the same file, "
                  "the graph's filters listed on its output, process ended", "ms", {}, {}, ""};
    const std::wstring programFolder = Folder(programExe);
    const std::wstring codec = programFolder + L"\\tests\\fixtures\\testcodec\\testcodec.dll";
    const std::wstring bareGraph = Folder(bareExe) + L"\\bench_bare_graph.exe";
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"Vantrel bench film";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring file = folder + L"\\film.vtsavi";
    const std::string avi = TestAviFile();
    HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(out, avi.data(), static_cast<DWORD>(avi.size()), &written, nullptr);
    CloseHandle(out);
    const bool installed =
        InstallCodec(codec, folder + L"\\splitter",
                     L"clsid=" + NewGuidText() + L"\nname=Bench Film Splitter\nobject=Bench Film Splitter\nkind=filter"
                     L"\npages=none\nmedia=splitter\nmerit=0x00800000\n") &&
        InstallCodec(codec, folder + L"\\decoder",
                     L"clsid=" + NewGuidText() + L"\nname=Bench VTS1 Decoder\nobject=Bench VTS1 Decoder\nkind=filter"
                     L"\npages=none\nmedia=decoder\nmerit=0x00800000\n") &&
        PlantTestAviExtension();
    if (!installed) {
        row.note = "the test codec could not be installed: nothing measured";
        rows.push_back(std::move(row));
        return;
    }

    BenchProgram program;
    if (!program.Start(programExe)) {
        row.note = "the program could not be started";
        rows.push_back(std::move(row));
        return;
    }
    const DWORD pid = program.Pid();
    const HWND mainWindow = program.WaitFilledList(L"MyClass", 30000);
    int failures = 0, filters = 0;
    // One unmeasured round of each first.
    ProgramCheck(mainWindow, pid, file);
    BareCheck(bareGraph, file, &filters);
    const int reps = 9 * scale;
    for (int i = 0; i < reps; ++i) {
        const double checked = ProgramCheck(mainWindow, pid, file);
        const double bare = BareCheck(bareGraph, file, &filters);
        if (checked < 0 || bare < 0 || filters != kChainRows) {
            ++failures;
            Progress("9 repetition %d not counted: program %.0f ms, bare %.0f ms with %d filters", i + 1, checked,
                     bare, filters);
            continue;
        }
        row.program.Add(checked);
        row.reference.Add(bare);
    }
    program.Close(mainWindow);
    DeleteTree(kTestAviExtensionKey);
    row.note = Text("chain of %d filters on both sides; %d of %d rounds failed", kChainRows, failures, reps);
    Progress("9 done: %s", row.note.c_str());
    rows.push_back(std::move(row));
}
