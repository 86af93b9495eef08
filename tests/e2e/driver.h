// The end-to-end driver: starts the real program in the test prefix on the
// virtual display, finds its windows, reads their rows and texts, posts
// commands, answers message boxes and dialogs, and checks the exit code.
#pragma once
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include "../../base/scoped.h"
#include "../../resources/resource.h"
#include "../common/test_registry.h"
#include "../common/test_text.h"
#include "../common/test_windows.h"

#include <functional>
#include <string>
#include <vector>

// Every check says what it got; a failed check marks the scenario failed and goes on.
void CheckFailed(const char* file, int line, const char* expression, const std::wstring& got);
#define CHECK(cond, got)                                                        \
    do {                                                                        \
        if (!(cond)) CheckFailed(__FILE__, __LINE__, #cond, (got));             \
    } while (0)
int FailureCount();

// The driver is built with the program's width; the other width's registry view.
inline constexpr bool kProgramIs64Bit = sizeof(void*) == 8;
inline constexpr REGSAM kOtherView = kProgramIs64Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

inline bool Holds(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

// Texts of the program that several scenarios look for.
inline constexpr wchar_t kScanTitle[] = L"Поиск некорректных кодеков...";
inline constexpr wchar_t kFinished[] = L"Поиск завершен.";
inline constexpr wchar_t kRestoreQuestion[] = L"Восстановить записи реестра из резервной копии?";
inline constexpr wchar_t kLoads[] = L"загружается";

// How long the program's children may take to end after their work is over:
// a Wine process that loaded a codec takes seconds to end while other tests run.
constexpr DWORD kChildrenEndMs = 15000;

struct ProgramUnderTest {
    ProcessHandles process;
    DWORD processId = 0;
    DWORD threadId = 0;
    HWND mainWindow = nullptr;
    HWND list = nullptr;
    HWND combo = nullptr;
    HWND checkBox = nullptr;

    ~ProgramUnderTest();
    // Starts the program (current directory: workDir, or the driver's) and
    // waits until its main window shows a filled list (with filledList
    // false, until its main window shows).
    bool Start(const std::wstring& exePath, const std::wstring& workDir = L"", bool filledList = true);
    bool Running() const;
    // Waits for the process to end; returns its exit code, or -1000 on time-out.
    int WaitExit(DWORD deadlineMs = 10000);
    void Kill();

    // Loads the test DLL refusals.dll into the running program: from then on
    // the program's deletions of keys and writes of values are refused
    // (ERROR_ACCESS_DENIED) for every key whose name holds one of the texts
    // that VANTREL_REFUSE_KEYS held when the program started (RefuseKeys),
    // and its token reads as not elevated. False, having said why, when the
    // DLL could not be loaded.
    bool LoadRefusals() const;

    std::vector<std::wstring> ListRows() const;
    std::vector<std::wstring> ComboRows() const;
    int ListSelection() const;
    int ComboSelection() const;
    bool Checked() const;

    void PostCommand(int id, int code = 0, HWND control = nullptr) const;
    // Selects a category row as a user would: the selection, then its notification.
    void ChooseCategory(int row) const;
    // Posts a marker behind earlier posted messages and waits until the
    // program has handled it, so everything posted before has been handled too.
    bool Settle() const;
    bool SelectRowNamed(const std::wstring& name) const;
    int RowIndex(const std::wstring& name) const;  // -1 when not listed
    // A real double click on a list row, through the list's own mouse handling.
    void DoubleClickRow(int row) const;
    // Presses a key in whatever window of the program has the keyboard focus.
    void PressKey(WPARAM key) const;
    bool WaitForRow(const std::wstring& name, bool present, DWORD deadlineMs = 10000) const;

    // What the program shows, for failure messages: its visible dialogs as
    // "[title]" (a message box with its text: "[title: text]"), or that it ended.
    std::wstring Dialogs() const;
    // "running", or "ended with exit code N", for failure messages.
    std::wstring State() const;

    // Whether the main window's thread still handles messages at once.
    bool MainWindowAnswers() const;
    // How many processes the program has started that still run (Toolhelp).
    int ChildProcessCount() const;

    // A visible top-level dialog (#32770) of the program, optionally with that title.
    HWND FindDialog(const std::wstring& title = L"", HWND except = nullptr) const;
    HWND WaitForDialog(const std::wstring& title = L"", DWORD deadlineMs = 10000, HWND except = nullptr) const;
    bool WaitDialogGone(HWND dialog, DWORD deadlineMs = 10000) const;
    std::vector<HWND> VisibleDialogs() const;
};

// The program started with a command line of its own ("/report file"), its
// standard output a pipe, and followed to its end: its exit code (-1000 when
// it was still running at the deadline, and was then ended), what it wrote,
// and every visible top-level window that it or a process it started showed
// meanwhile ("class: title"), looked for every 20 ms; and how many of the
// processes it started still ran 5 s after it ended.
struct CommandRun {
    int exitCode = -1000;
    std::wstring output;
    std::vector<std::wstring> windowsSeen;
    std::size_t leftovers = 0;
};
CommandRun RunProgramCommand(const std::wstring& exePath, const std::wstring& arguments, DWORD deadlineMs = 60000);
// "exit code N, output: ..., windows: ...", for failure messages.
std::wstring Describe(const CommandRun& run);

// Names the keys that programs started from now on refuse to change once
// LoadRefusals has run in them: texts that the keys' full names hold,
// case not minded.
void RefuseKeys(const std::vector<std::wstring>& texts);

// A UTF-8 file's text (without its byte order mark).
std::wstring Utf8FileText(const std::wstring& path);

// A folder of its own for one scenario, removed at the end: the name, the
// separator (a blank unless given) and a number of its own.
struct ScratchFolder {
    std::wstring path;
    explicit ScratchFolder(const std::wstring& name, const std::wstring& separator = L" ");
    ~ScratchFolder();
};

// The program's backup folder, %LOCALAPPDATA%\Pelmora Vantrel\Backups, and
// the names of the files in it, sorted.
std::wstring BackupFolder();
std::vector<std::wstring> BackupFiles();
// The names of the files (not folders) in a folder, sorted.
std::vector<std::wstring> FolderFiles(const std::wstring& folder);
// Waits until a file that is not among `before` appears in the backup folder;
// returns its full path, or "" when none came.
std::wstring WaitForNewBackup(const std::vector<std::wstring>& before, DWORD deadlineMs = 15000);
// Imports a registry file with the system's own reg.exe ("reg import FILE")
// from the given folder of the Windows directory; returns its exit code, or -1.
int ImportRegFile(const std::wstring& file, const wchar_t* systemFolder = L"system32");
std::vector<BYTE> FileBytes(const std::wstring& path);
// A registry file's text after its byte order mark (UTF-16LE); whether it
// has that mark goes to *hasByteOrderMark.
std::wstring RegFileText(const std::wstring& path, bool* hasByteOrderMark = nullptr);

// A point where a person would look at the screen. With VANTREL_LOOK_DIR set
// (scripts/look), the driver waits there until a screenshot named after the
// point has been taken; otherwise nothing happens.
void LookPoint(const wchar_t* name);

// Scenarios, registered by name. This is the only list of scenarios:
// tests/e2e/CMakeLists.txt reads the SCENARIO(...), OTHER_WIDTH_SCENARIO(...)
// and X86_SCENARIO(...) lines of every *_scenarios.cpp file and makes one CTest test of each, and
// the test e2e.every_scenario_has_a_test fails when the two ever differ.
// Write each at the start of its line.
using Scenario = void (*)(const std::wstring& exePath);
// What a scenario needs besides the program and its own width's test codec.
enum class ScenarioNeeds { OwnWidthOnly, OtherWidthBuild, X86Build };
void RegisterScenario(const char* name, Scenario run, ScenarioNeeds needs);
struct ScenarioRegistrar {
    ScenarioRegistrar(const char* name, Scenario run, ScenarioNeeds needs) { RegisterScenario(name, run, needs); }
};
#define DEFINE_SCENARIO(name, needs)                                              \
    static void Scenario_##name(const std::wstring& exePath);                     \
    static ScenarioRegistrar registrar_##name(#name, Scenario_##name, needs);     \
    static void Scenario_##name(const std::wstring& exePath)
#define SCENARIO(name) DEFINE_SCENARIO(name, ScenarioNeeds::OwnWidthOnly)
// A scenario that also needs the other width's test codec DLL (the fourth argument).
#define OTHER_WIDTH_SCENARIO(name) DEFINE_SCENARIO(name, ScenarioNeeds::OtherWidthBuild)
// A scenario of the 32-bit build only, run by the x86 tree's tests.
#define X86_SCENARIO(name) DEFINE_SCENARIO(name, ScenarioNeeds::X86Build)

// The test codec DLL (the driver's third argument), as a Windows path.
extern std::wstring g_testCodecDll;
// The other width's test codec DLL (the fourth argument, given to the side-by-side scenario only), as a Windows path.
extern std::wstring g_otherWidthTestCodecDll;

// For ./scripts/run without a display ("screenshot" with a signal folder as the third argument).
int RunForScreenshot(const std::wstring& exePath, const std::wstring& signals);
