#include "driver.h"

#include <tlhelp32.h>

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

namespace {
int g_failures = 0;
}

std::wstring g_testCodecDll;
std::wstring g_otherWidthTestCodecDll;

void CheckFailed(const char* file, int line, const char* expression, const std::wstring& got) {
    ++g_failures;
    std::printf("FAIL %s:%d: %s; got %s\n", file, line, expression, Utf8(got).c_str());
    std::fflush(stdout);
}

int FailureCount() { return g_failures; }

std::wstring Utf8FileText(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return L"";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
    return FromUtf8(bytes);
}

// ---- The program started with a command line ----

namespace {

// A process's creation time; 0 when it cannot be asked (it is gone).
ULONGLONG CreationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!process || !GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// Each process with its parent: (process, parent).
using ParentList = std::vector<std::pair<DWORD, DWORD>>;

// The processes as Toolhelp lists them now; nothing when no list can be taken.
std::optional<ParentList> ProcessParents() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return std::nullopt;
    ParentList parents;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        parents.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
    }
    CloseHandle(snapshot);
    return parents;
}

// The process and the processes it started (with childrenOnly, not theirs)
// among parents. Wine gives the id of a process that is gone to a new one,
// and the processes the gone one started still name that id as their parent
// (the prefix's services name its start-up process): a process counts as
// started by its parent only if it was created no earlier.
std::set<DWORD> ProcessTree(HANDLE root, const ParentList& parents, bool childrenOnly = false) {
    const DWORD rootId = GetProcessId(root);
    std::map<DWORD, ULONGLONG> tree = {{rootId, CreationTime(root)}};
    std::set<DWORD> older;
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [process, parent] : parents) {
            const auto parentEntry = tree.find(parent);
            if (parentEntry == tree.end() || tree.count(process) || older.count(process)) continue;
            if (childrenOnly && parent != rootId) continue;
            KernelHandle opened;
            *opened.Put() = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
            const ULONGLONG created = CreationTime(opened.Get());
            if (created == 0 || created < parentEntry->second) {
                older.insert(process);
                continue;
            }
            tree.emplace(process, created);
            grew = true;
        }
    }
    std::set<DWORD> ids;
    for (const auto& entry : tree) ids.insert(entry.first);
    return ids;
}

// The program and the processes it started, as listed now (the program
// alone when no list can be taken).
std::set<DWORD> ProcessTreeNow(HANDLE root) { return ProcessTree(root, ProcessParents().value_or(ParentList())); }

struct VisibleSearch {
    std::set<DWORD> processes;
    std::vector<std::wstring>* seen;
};

BOOL CALLBACK NoteVisibleWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<VisibleSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (!search->processes.count(owner) || !IsWindowVisible(window)) return TRUE;
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    const std::wstring seen = std::wstring(className) + L": " + WindowText(window);
    if (std::find(search->seen->begin(), search->seen->end(), seen) == search->seen->end()) search->seen->push_back(seen);
    return TRUE;
}

// Takes what the pipe holds now, without waiting.
void ReadAvailable(HANDLE pipe, std::string& bytes) {
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        std::string chunk(available, '\0');
        DWORD read = 0;
        if (!ReadFile(pipe, chunk.data(), available, &read, nullptr) || read == 0) return;
        bytes.append(chunk, 0, read);
    }
}

}  // namespace

CommandRun RunProgramCommand(const std::wstring& exePath, const std::wstring& arguments, DWORD deadlineMs) {
    CommandRun run;
    SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::wstring commandLine = L"\"" + exePath + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    ProcessHandles process;
    const BOOL started = CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, process.Get());
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        run.output = Format(L"(not started: error %lu)", GetLastError());
        return run;
    }
    std::string bytes;
    const ULONGLONG deadline = GetTickCount64() + deadlineMs;
    bool ended = false;
    while (!ended && GetTickCount64() < deadline) {
        VisibleSearch search{ProcessTreeNow(process.Process()), &run.windowsSeen};
        EnumWindows(NoteVisibleWindow, reinterpret_cast<LPARAM>(&search));
        ReadAvailable(readEnd, bytes);
        ended = WaitForSingleObject(process.Process(), 20) == WAIT_OBJECT_0;
    }
    if (ended) {
        DWORD code = 0;
        GetExitCodeProcess(process.Process(), &code);
        run.exitCode = static_cast<int>(code);
        // Its children end with it (the checks' children are in a job that ends with the program).
        WaitUntil([&] { return ProcessTreeNow(process.Process()).size() == 1; }, kChildrenEndMs);
        run.leftovers = ProcessTreeNow(process.Process()).size() - 1;
    } else {
        TerminateProcess(process.Process(), 1);
        WaitForSingleObject(process.Process(), 5000);
    }
    ReadAvailable(readEnd, bytes);
    CloseHandle(readEnd);
    run.output = FromUtf8(bytes);
    return run;
}

std::wstring Describe(const CommandRun& run) {
    return Format(L"exit code %d, %zu processes left, output: ", run.exitCode, run.leftovers) + run.output +
           L", windows: " + Joined(run.windowsSeen);
}

// ---- The program under test ----

ProgramUnderTest::~ProgramUnderTest() {
    if (process.Process() && Running()) Kill();
}

bool ProgramUnderTest::Start(const std::wstring& exePath, const std::wstring& workDir, bool filledList) {
    std::wstring commandLine = L"\"" + exePath + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workDir.empty() ? nullptr : workDir.c_str(), &startup, process.Get())) {
        std::printf("cannot start %s: error %lu\n", Utf8(exePath).c_str(), GetLastError());
        return false;
    }
    processId = process.Get()->dwProcessId;
    threadId = process.Get()->dwThreadId;
    const bool shown = WaitUntil([&] {
        for (HWND window : VisibleTopLevelWindows(processId, L"MyClass")) mainWindow = window;
        if (!mainWindow) return false;
        list = GetDlgItem(mainWindow, IDC_FILTER_LIST);
        combo = GetDlgItem(mainWindow, IDC_CATEGORY_COMBO);
        checkBox = GetDlgItem(mainWindow, IDC_SHOW_SYSTEM);
        return list && (!filledList || SendMessageW(list, LB_GETCOUNT, 0, 0) > 0);
    }, 20000);
    if (!shown) {
        std::printf("the main window%s did not appear within 20 s; the program is %s\n",
                    filledList ? " with a filled list" : "", Utf8(State()).c_str());
    }
    return shown;
}

bool ProgramUnderTest::Running() const { return WaitForSingleObject(process.Process(), 0) == WAIT_TIMEOUT; }

int ProgramUnderTest::WaitExit(DWORD deadlineMs) {
    if (WaitForSingleObject(process.Process(), deadlineMs) != WAIT_OBJECT_0) return -1000;
    DWORD code = 0;
    GetExitCodeProcess(process.Process(), &code);
    return static_cast<int>(code);
}

bool ProgramUnderTest::MainWindowAnswers() const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(mainWindow, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
}

int ProgramUnderTest::ChildProcessCount() const {
    const auto parents = ProcessParents();
    if (!parents) return -1;
    return static_cast<int>(ProcessTree(process.Process(), *parents, true).size()) - 1;
}

void ProgramUnderTest::Kill() {
    TerminateProcess(process.Process(), 99);
    WaitForSingleObject(process.Process(), 5000);
}

void RefuseKeys(const std::vector<std::wstring>& texts) {
    std::wstring list;
    for (const std::wstring& text : texts) list += (list.empty() ? L"" : L";") + text;
    SetEnvironmentVariableW(L"VANTREL_REFUSE_KEYS", list.c_str());
}

bool ProgramUnderTest::LoadRefusals() const {
    // Built beside the test codec: tests/fixtures/refusals/refusals.dll.
    const std::wstring fixtures = g_testCodecDll.substr(0, g_testCodecDll.rfind(L"\\testcodec\\"));
    const std::wstring dll = fixtures + L"\\refusals\\refusals.dll";
    const SIZE_T bytes = (dll.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process.Process(), nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote || !WriteProcessMemory(process.Process(), remote, dll.c_str(), bytes, nullptr)) {
        std::printf("cannot write the DLL's path into the program: error %lu\n", GetLastError());
        return false;
    }
    // kernel32 lies at the same address in every process of one width.
    const auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
    HANDLE thread = CreateRemoteThread(process.Process(), nullptr, 0, load, remote, 0, nullptr);
    if (!thread) {
        std::printf("cannot start a thread in the program: error %lu\n", GetLastError());
        return false;
    }
    const DWORD waited = WaitForSingleObject(thread, 20000);
    DWORD module = 0;  // the low half of the module's address: 0 when it did not load
    GetExitCodeThread(thread, &module);
    CloseHandle(thread);
    VirtualFreeEx(process.Process(), remote, 0, MEM_RELEASE);
    if (waited != WAIT_OBJECT_0 || module == 0) {
        std::printf("%s did not load into the program (wait %lu, result %lu)\n", Utf8(dll).c_str(), waited, module);
        return false;
    }
    return true;
}

std::vector<std::wstring> ProgramUnderTest::ListRows() const {
    return ListBoxRows(list);
}

std::vector<std::wstring> ProgramUnderTest::ComboRows() const {
    return ComboBoxRows(combo);
}

int ProgramUnderTest::ListSelection() const { return static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)); }
int ProgramUnderTest::ComboSelection() const { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }
bool ProgramUnderTest::Checked() const { return SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void ProgramUnderTest::PostCommand(int id, int code, HWND control) const {
    PostMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

void ProgramUnderTest::ChooseCategory(int row) const {
    SendMessageW(combo, CB_SETCURSEL, row, 0);
    PostCommand(IDC_CATEGORY_COMBO, CBN_SELCHANGE, combo);
}

bool ProgramUnderTest::Settle() const {
    // Posted messages of one thread are handled in order, so once a marker
    // posted now has arrived, everything posted before it has been handled.
    // The marker is the item data of the combobox's first row, which the
    // program never uses.
    static LPARAM serial = 1000;
    const LPARAM mine = ++serial;
    PostMessageW(combo, CB_SETITEMDATA, 0, mine);
    return WaitUntil([&] { return SendMessageW(combo, CB_GETITEMDATA, 0, 0) == mine; });
}

bool ProgramUnderTest::SelectRowNamed(const std::wstring& name) const {
    const std::vector<std::wstring> rows = ListRows();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i] == name) {
            SendMessageW(list, LB_SETCURSEL, i, 0);
            return true;
        }
    }
    return false;
}

int ProgramUnderTest::RowIndex(const std::wstring& name) const {
    const std::vector<std::wstring> rows = ListRows();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i] == name) return static_cast<int>(i);
    }
    return -1;
}

void ProgramUnderTest::DoubleClickRow(int row) const { DoubleClickListRow(list, row); }

void ProgramUnderTest::PressKey(WPARAM key) const {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(threadId, &info);
    HWND target = info.hwndFocus ? info.hwndFocus : info.hwndActive;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

bool ProgramUnderTest::WaitForRow(const std::wstring& name, bool present, DWORD deadlineMs) const {
    return WaitUntil([&] {
        bool found = false;
        for (const std::wstring& row : ListRows()) found = found || row == name;
        return found == present;
    }, deadlineMs);
}

std::wstring ProgramUnderTest::State() const {
    if (!process.Process()) return L"not started";
    if (Running()) return L"running";
    DWORD code = 0;
    GetExitCodeProcess(process.Process(), &code);
    return Format(L"ended with exit code %lu", code);
}

std::wstring ProgramUnderTest::Dialogs() const {
    if (!Running()) return State();
    std::vector<std::wstring> shown;
    for (HWND dialog : VisibleDialogs()) {
        const HWND text = GetDlgItem(dialog, kMessageBoxTextId);
        shown.push_back(text ? WindowText(dialog) + L": " + WindowText(text) : WindowText(dialog));
    }
    return shown.empty() ? L"no dialog" : Joined(shown);
}

std::vector<HWND> ProgramUnderTest::VisibleDialogs() const { return VisibleTopLevelWindows(processId, L"#32770"); }

HWND ProgramUnderTest::FindDialog(const std::wstring& title, HWND except) const {
    for (HWND dialog : VisibleDialogs()) {
        if (dialog == except) continue;
        if (title.empty() || WindowText(dialog) == title) return dialog;
    }
    return nullptr;
}

HWND ProgramUnderTest::WaitForDialog(const std::wstring& title, DWORD deadlineMs, HWND except) const {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialog(title, except)) != nullptr; }, deadlineMs);
    return found;
}

bool ProgramUnderTest::WaitDialogGone(HWND dialog, DWORD deadlineMs) const {
    return WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, deadlineMs);
}

// ---- Scratch folders and registry ----

ScratchFolder::ScratchFolder(const std::wstring& name, const std::wstring& separator) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path = std::wstring(temp) + name + separator + NewGuidText().substr(1, 8);
    CreateDirectoryW(path.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((path + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

std::wstring BackupFolder() {
    wchar_t localAppData[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, localAppData);
    return std::wstring(localAppData) + L"\\Pelmora Vantrel\\Backups";
}

std::vector<std::wstring> FolderFiles(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::wstring> BackupFiles() { return FolderFiles(BackupFolder()); }

std::wstring WaitForNewBackup(const std::vector<std::wstring>& before, DWORD deadlineMs) {
    std::wstring fresh;
    WaitUntil([&] {
        for (const std::wstring& name : BackupFiles()) {
            if (std::find(before.begin(), before.end(), name) == before.end()) fresh = BackupFolder() + L"\\" + name;
        }
        return !fresh.empty();
    }, deadlineMs);
    return fresh;
}

int ImportRegFile(const std::wstring& file, const wchar_t* systemFolder) {
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring application = std::wstring(windows) + L"\\" + systemFolder + L"\\reg.exe";
    std::wstring commandLine = L"reg import \"" + file + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

std::vector<BYTE> FileBytes(const std::wstring& path) {
    std::vector<BYTE> bytes;
    // Shared every way: a backup just moved into its folder may still be open for the move.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    BYTE chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    CloseHandle(file);
    return bytes;
}

std::wstring RegFileText(const std::wstring& path, bool* hasByteOrderMark) {
    const std::vector<BYTE> bytes = FileBytes(path);
    if (hasByteOrderMark) *hasByteOrderMark = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) text += static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
    return text;
}

void LookPoint(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"VANTREL_LOOK_DIR", folder, MAX_PATH) == 0) return;
    const std::wstring base = WindowsPath(folder) + L"\\" + name;
    Sleep(300);  // let the windows paint before the picture is taken
    CloseHandle(CreateFileW((base + L".ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    WaitUntil([&] { return GetFileAttributesW((base + L".png").c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000);
}

// ---- Entry ----

namespace {

struct RegisteredScenario {
    Scenario run;
    ScenarioNeeds needs;
};

std::map<std::string, RegisteredScenario>& Scenarios() {
    static std::map<std::string, RegisteredScenario> scenarios;
    return scenarios;
}

// How a scenario is named in the list CTest hands over: "name", or
// "name:other-width" for one that needs the other width's build.
std::string ListedName(const std::string& name, ScenarioNeeds needs) {
    if (needs == ScenarioNeeds::OtherWidthBuild) return name + ":other-width";
    if (needs == ScenarioNeeds::X86Build) return name + ":x86";
    return name;
}

// Compares the scenarios compiled into this driver with the list CTest runs
// (one argument each); prints every scenario found on one side only.
int CheckScenarioList(int count, wchar_t** listed) {
    std::set<std::string> tested;
    for (int i = 0; i < count; ++i) tested.insert(Utf8(listed[i]));
    std::set<std::string> compiled;
    for (const auto& [name, scenario] : Scenarios()) compiled.insert(ListedName(name, scenario.needs));
    int differences = 0;
    for (const std::string& name : compiled) {
        if (tested.count(name)) continue;
        std::printf("FAIL: scenario %s is compiled into the driver but CTest has no test of it\n", name.c_str());
        ++differences;
    }
    for (const std::string& name : tested) {
        if (compiled.count(name)) continue;
        std::printf("FAIL: CTest has a test of %s, which the driver does not have\n", name.c_str());
        ++differences;
    }
    std::printf("%zu scenarios compiled, %zu tested, %d differences\n", compiled.size(), tested.size(), differences);
    return differences ? 1 : 0;
}

}  // namespace

void RegisterScenario(const char* name, Scenario run, ScenarioNeeds needs) { Scenarios()[name] = {run, needs}; }

int wmain(int argc, wchar_t** argv) {
    const std::string name = argc > 1 ? Utf8(argv[1]) : "";
    if (name == "--check-list") return CheckScenarioList(argc - 2, argv + 2);
    if (argc < 3) {
        std::printf("usage: vantrel_driver <scenario> <program.exe> [test codec dll [other width's test codec dll]]\n"
                    "       vantrel_driver screenshot <program.exe> <signal folder>\n"
                    "       vantrel_driver --check-list <scenario>...\n");
        return 2;
    }
    CoInitialize(nullptr);
    if (name == "screenshot" && argc > 3) return RunForScreenshot(WindowsPath(argv[2]), WindowsPath(argv[3]));
    if (argc > 3) g_testCodecDll = WindowsPath(argv[3]);
    if (argc > 4) g_otherWidthTestCodecDll = WindowsPath(argv[4]);
    const auto found = Scenarios().find(name);
    if (found == Scenarios().end()) {
        std::printf("no scenario named %s\n", name.c_str());
        return 2;
    }
    found->second.run(WindowsPath(argv[2]));
    std::printf("%s: %s (%d failed checks)\n", name.c_str(), FailureCount() ? "FAILED" : "passed", FailureCount());
    CoUninitialize();
    return FailureCount() ? 1 : 0;
}
