// The ACM and Video for Windows codecs: command 40046 and dialog 136, with
// the test driver's copies (vantrel_drivercodec.dll, whose file name chooses
// its fault) registered as values of Drivers32 beside Wine's own codecs of
// system.ini, checked in the load check's child and never loaded by the
// program itself; the load check (command 40045) checks them too.
#include "list_view_rows.h"
#include "test_codec.h"

#include <tlhelp32.h>

#include <algorithm>

namespace {

const wchar_t kVideo[] = L"видео (VfW)";
const wchar_t kAudio[] = L"звук (ACM)";

// A row's kind, description, file and state, for comparing whole.
std::wstring DriverRowText(const Table& rows, const std::wstring& name) {
    const auto* row = Row(rows, name);
    return row ? (*row)[kDriverKind] + L" | " + (*row)[kDriverDescription] + L" | " + (*row)[kDriverFile] + L" | " +
                     (*row)[kDriverState]
               : L"(no row " + name + L")";
}

std::wstring State(const Table& rows, const std::wstring& name) {
    const auto* row = Row(rows, name);
    return row ? (*row)[kDriverState] : L"(no row " + name + L")";
}

// The file's facts as the column shows them after its path.
std::wstring TestDriverFile(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    std::wstring size = std::to_wstring(data.nFileSizeLow);
    for (int at = static_cast<int>(size.size()) - 3; at > 0; at -= 3) size.insert(static_cast<std::size_t>(at), L" ");
    return path + L" (версия 2.0.0.1, Vantrel Test Codecs, " + size + L" байт)";
}

// The files of another process's modules whose paths hold part.
std::vector<std::wstring> ModulesHolding(DWORD processId, const std::wstring& part) {
    std::vector<std::wstring> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId);
    if (snapshot == INVALID_HANDLE_VALUE) return {L"(no module snapshot)"};
    MODULEENTRY32W module{};
    module.dwSize = sizeof(module);
    for (BOOL more = Module32FirstW(snapshot, &module); more; more = Module32NextW(snapshot, &module)) {
        std::wstring path = module.szExePath;
        if (path.find(part) != std::wstring::npos) found.push_back(path);
    }
    CloseHandle(snapshot);
    return found;
}

// system.ini's [drivers32] made longer than 64K characters by rows of no
// codec ahead of Wine's own (the system reads them all); its bytes put back
// at the end. The file is replaced, never written in place: a test prefix's
// files are links to its template's, which other prefixes share.
struct LongSystemIniSection {
    std::wstring path;
    std::string before;
    LongSystemIniSection() {
        wchar_t windows[MAX_PATH];
        GetWindowsDirectoryW(windows, MAX_PATH);
        path = std::wstring(windows) + L"\\system.ini";
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        char chunk[4096];
        DWORD got = 0;
        while (file != INVALID_HANDLE_VALUE && ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) {
            before.append(chunk, got);
        }
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        std::string rows;
        for (int i = 0; i < 10000; ++i) rows += "vantrel.filler" + std::to_string(i) + "=filler.drv\r\n";
        std::string longer = before;
        const std::size_t section = longer.find("[drivers32]\r\n");
        CHECK(section != std::string::npos, L"no [drivers32] in " + path);
        if (section != std::string::npos) longer.insert(section + 13, rows);
        CHECK(WriteBytes(longer), path);
    }
    ~LongSystemIniSection() { CHECK(WriteBytes(before), path); }
    bool WriteBytes(const std::string& bytes) const {
        const std::wstring written = path + L".vantrel";
        HANDLE file = CreateFileW(written.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD count = 0;
        const bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr) &&
                           count == bytes.size();
        CloseHandle(file);
        return whole && MoveFileExW(written.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
};

}  // namespace

// Our codecs among Wine's own (system.ini's, never changed): each state named
// as data, then each result of the check (a crash, a hang, a refused open, a
// missing DLL with its chain) while the program answers and loads none of
// them; the load check names them too, and its "Управление.." opens dialog
// 136 on the codec's row; a system.ini row is not deleted. Wine's rows are
// read from a section of 10,000 rows.
SCENARIO(driver_codecs_listed_and_checked) {
    const LongSystemIniSection longSection;
    // In a folder without blanks: the system takes what follows a blank as the driver's arguments.
    const CopiedFiles files(L"Vantrel_drivers", {MissingImportDll(L"vantrel_needs_absent.dll")}, L"_");
    const std::wstring video = files.Copy(DriverCodecDll(), L"vantrel_video.dll");
    const std::wstring audio = files.Copy(DriverCodecDll(), L"vantrel_audio.dll");
    const std::wstring crash = files.Copy(DriverCodecDll(), L"vantrel_crash.dll");
    const std::wstring hang = files.Copy(DriverCodecDll(), L"vantrel_hang.dll");
    const std::wstring refuse = files.Copy(DriverCodecDll(), L"vantrel_refuse.dll");
    const std::wstring needs = files.Path(L"vantrel_needs_absent.dll");
    const std::wstring gone = files.Path(L"gone.dll");
    const PlantedDriver sound(L"vidc.VTok", video, 0, L"Vantrel Test Video");
    const PlantedDriver soundAudio(L"msacm.vantrel", audio);
    const PlantedDriver crashing(L"vidc.VTcr", crash);
    const PlantedDriver hanging(L"vidc.VThg", hang);
    const PlantedDriver refusing(L"msacm.vantrelrefuse", refuse);
    const PlantedDriver missingImport(L"msacm.vantrelneeds", needs);
    const PlantedDriver missing(L"vidc.VTgn", gone);
    const PlantedDriver badName(L"vidc.vantrel", video);
    // A DLL that loads but is no driver.
    const CopiedFiles plain(L"Vantrel_plain", {MissingImportDll(L"vantrel_needs_absent.dll"),
                                               MissingImportDll(L"vantrel_absent.dll")}, L"_");
    const PlantedDriver noEntry(L"vidc.VTne", plain.Path(L"vantrel_needs_absent.dll"));
    const PlantedDriver other(L"vantrel.other", video);

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    HWND dialog = OpenDriverCodecs(program);
    if (!dialog) return;
    CHECK(GetWindow(dialog, GW_OWNER) == program.mainWindow && !IsWindowEnabled(program.mainWindow),
          L"dialog 136 is not modal to the main window");
    CHECK(ListViewHeadings(GetDlgItem(dialog, IDC_DRIVER_LIST), program.processId) ==
              (std::vector<std::wstring>{L"Кодек", L"Вид", L"Описание", L"Файл", L"Состояние"}),
          Joined(ListViewHeadings(GetDlgItem(dialog, IDC_DRIVER_LIST), program.processId)));
    const std::wstring ownView = sizeof(void*) == 8 ? L"64-разрядные программы" : L"32-разрядные программы";
    CHECK(ControlText(dialog, IDC_DRIVER_VIEW) == ownView, ControlText(dialog, IDC_DRIVER_VIEW));
    const Table listed = DriverCodecRows(program, dialog);
    LookPoint(L"driver-codecs");

    const std::wstring testFile = L"Pelmora Vantrel test driver";
    CHECK(DriverRowText(listed, L"vidc.VTok") ==
              std::wstring(kVideo) + L" | Vantrel Test Video | " + TestDriverFile(video) + L" | в порядке",
          DriverRowText(listed, L"vidc.VTok"));
    CHECK(DriverRowText(listed, L"msacm.vantrel") ==
              std::wstring(kAudio) + L" | " + testFile + L" | " + TestDriverFile(audio) + L" | в порядке",
          DriverRowText(listed, L"msacm.vantrel"));
    CHECK(DriverRowText(listed, L"vidc.VTgn") == std::wstring(kVideo) + L" |  | " + gone + L" | файл не найден",
          DriverRowText(listed, L"vidc.VTgn"));
    CHECK(State(listed, L"vidc.vantrel") == L"имя не действует", DriverRowText(listed, L"vidc.vantrel"));
    for (const wchar_t* name : {L"vidc.VTcr", L"vidc.VThg", L"msacm.vantrelrefuse", L"msacm.vantrelneeds"}) {
        CHECK(State(listed, name) == L"в порядке", DriverRowText(listed, name));
    }
    CHECK(RowNamed(listed, L"vantrel.other") < 0, TableText(listed));
    // Wine's own codecs, from system.ini only: listed with it.
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring wineFile = std::wstring(system) + L"\\msrle32.dll (";
    const auto* rle = Row(listed, L"vidc.mrle");
    CHECK(rle && (*rle)[kDriverKind] == kVideo && (*rle)[kDriverFile].rfind(wineFile, 0) == 0 &&
              (*rle)[kDriverState] == L"в порядке, из system.ini",
          DriverRowText(listed, L"vidc.mrle"));
    CHECK(State(listed, L"msacm.imaadpcm") == L"в порядке, из system.ini", DriverRowText(listed, L"msacm.imaadpcm"));
    // Sorted by kind, then name.
    for (std::size_t i = 1; i < listed.size(); ++i) {
        const bool sameKind = listed[i - 1][kDriverKind] == listed[i][kDriverKind];
        CHECK(sameKind ? lstrcmpiW(listed[i - 1][kDriverName].c_str(), listed[i][kDriverName].c_str()) <= 0
                       : listed[i - 1][kDriverKind] == kVideo,
              listed[i - 1][kDriverName] + L" before " + listed[i][kDriverName]);
    }

    // All of them checked: the hang named within 10 s, the program answering meanwhile.
    PressButton(dialog, IDC_DRIVER_CHECK);
    program.Settle();
    CHECK(WaitUntil([&] { return ControlText(dialog, IDC_DRIVER_STATUS).find(L"vidc.VThg") != std::wstring::npos ||
                                 IsWindowEnabled(GetDlgItem(dialog, IDC_DRIVER_CHECK)); },
                    60000),
          ControlText(dialog, IDC_DRIVER_STATUS));
    const ULONGLONG hangStarted = GetTickCount64();
    bool answered = true;
    while (ControlText(dialog, IDC_DRIVER_STATUS).find(L"vidc.VThg") != std::wstring::npos &&
           GetTickCount64() - hangStarted < 15000) {
        answered = answered && program.MainWindowAnswers();
        Sleep(20);
    }
    CHECK(answered, L"the program stopped answering while a codec hung");
    CHECK(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(dialog, IDC_DRIVER_CHECK)) != FALSE; }, 60000),
          ControlText(dialog, IDC_DRIVER_STATUS));
    const Table checked = DriverCodecRows(program, dialog);
    LookPoint(L"driver-codecs-checked");
    SendMessageW(GetDlgItem(dialog, IDC_DRIVER_LIST), LVM_SCROLL, 2000, 0);  // to the states
    LookPoint(L"driver-codecs-states");
    SendMessageW(GetDlgItem(dialog, IDC_DRIVER_LIST), LVM_SCROLL, static_cast<WPARAM>(-2000), 0);
    CHECK(State(checked, L"vidc.VTok") == kLoads && State(checked, L"msacm.vantrel") == kLoads, TableText(checked));
    CHECK(State(checked, L"vidc.VTcr") == L"аварийно завершил работу при открытии (0xC0000005)",
          DriverRowText(checked, L"vidc.VTcr"));
    CHECK(State(checked, L"vidc.VThg") == L"не ответил за 5 секунд при открытии", DriverRowText(checked, L"vidc.VThg"));
    CHECK(State(checked, L"msacm.vantrelrefuse") == L"не открывается", DriverRowText(checked, L"msacm.vantrelrefuse"));
    CHECK(State(checked, L"msacm.vantrelneeds") ==
              L"не найдена библиотека: vantrel_absent.dll (для vantrel_needs_absent.dll)",
          DriverRowText(checked, L"msacm.vantrelneeds"));
    CHECK(State(checked, L"vidc.VTgn") == L"файл не найден" && State(checked, L"vidc.vantrel") == L"имя не действует" &&
              State(checked, L"vidc.VTne") == L"нет функции DriverProc",
          TableText(checked));
    // Wine's own load, and stay marked as system.ini's.
    for (const auto& row : checked) {
        if (row[kDriverFile].rfind(system, 0) != 0) continue;
        CHECK(row[kDriverState] == std::wstring(kLoads) + L", из system.ini", row[kDriverName] + L": " + row[kDriverState]);
    }
    const std::size_t failing = static_cast<std::size_t>(std::count_if(checked.begin(), checked.end(), [](const auto& row) {
        return row[kDriverState].rfind(kLoads, 0) != 0;
    }));
    CHECK(ControlText(dialog, IDC_DRIVER_STATUS) ==
              Format(L"Проверено кодеков: %zu из %zu, с ошибками: %zu, не проверено: 0.", checked.size(), checked.size(),
                     failing),
          ControlText(dialog, IDC_DRIVER_STATUS));
    // The program itself loaded none of them.
    CHECK(ModulesHolding(program.processId, files.folder.path).empty(),
          Joined(ModulesHolding(program.processId, files.folder.path)));
    // None left behind; a child may still be ending (or walking the codecs for a refill) just now.
    CHECK(WaitUntil([&] { return program.ChildProcessCount() == 0; }, kChildrenEndMs),
          Format(L"%d children", program.ChildProcessCount()));

    // The selected codec alone: its result afresh, the others as they were.
    const Table again = CheckDriverCodecs(program, dialog, {RowNamed(checked, L"vidc.VTcr")});
    CHECK(again == checked, TableText(again));

    // A row of system.ini is never changed.
    SetListViewRowSelected(GetDlgItem(dialog, IDC_DRIVER_LIST), program.processId, -1, false);
    SelectListViewRow(GetDlgItem(dialog, IDC_DRIVER_LIST), program.processId, RowNamed(checked, L"vidc.mrle"));
    PressButton(dialog, IDC_DRIVER_DELETE);
    HWND box = WaitForMessageBox(program, {dialog});
    CHECK(box && MessageBoxText(box) == L"Запись system.ini программа не изменяет.", program.Dialogs());
    if (box) PressButton(box, IDOK);
    PressButton(dialog, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog), program.Dialogs());

    // The load check names them as "кодек VfW" and "кодек ACM"; its
    // "Управление.." opens dialog 136 on the codec's row.
    program.PostCommand(IDM_LOAD_CHECK);
    HWND load = program.WaitForDialog(L"Проверка загрузки кодеков");
    if (!load) return CheckFailed(__FILE__, __LINE__, "dialog 135", program.Dialogs());
    CHECK(WaitUntil([&] { return !IsWindowVisible(GetDlgItem(load, IDC_LOAD_STOP)); }, 90000),
          ControlText(load, IDC_LOAD_CURRENT));
    const Table loadRows = ListViewRows(GetDlgItem(load, IDC_LOAD_LIST), program.processId, 4);
    const auto loadRow = [&](const std::wstring& name) {
        const int at = RowNamed(loadRows, name);
        return at < 0 ? L"(no row " + name + L")" : Joined(loadRows[static_cast<std::size_t>(at)]);
    };
    CHECK(loadRow(L"vidc.VTcr") == Joined({L"vidc.VTcr", L"кодек VfW", crash,
                                           L"аварийно завершил работу при открытии (0xC0000005)"}),
          loadRow(L"vidc.VTcr"));
    CHECK(loadRow(L"msacm.vantrel") == Joined({L"msacm.vantrel", L"кодек ACM", audio, kLoads}), loadRow(L"msacm.vantrel"));
    SelectListViewRow(GetDlgItem(load, IDC_LOAD_LIST), program.processId, RowNamed(loadRows, L"vidc.VTcr"));
    PressButton(load, IDC_LOAD_MANAGE);
    dialog = program.WaitForDialog(kDriverCodecsTitle);
    if (!dialog) return CheckFailed(__FILE__, __LINE__, "dialog 136 from dialog 135", program.Dialogs());
    const Table managed = DriverCodecRows(program, dialog);
    const LRESULT selected = SendDlgItemMessageW(dialog, IDC_DRIVER_LIST, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                 LVNI_SELECTED);
    CHECK(selected >= 0 && selected == RowNamed(managed, L"vidc.VTcr") && !IsWindowEnabled(load),
          Format(L"row %ld of ", static_cast<long>(selected)) + TableText(managed));
    PressButton(dialog, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog), program.Dialogs());
    CHECK(WaitUntil([&] { return IsWindowEnabled(load) && !IsWindowVisible(GetDlgItem(load, IDC_LOAD_STOP)); }, 30000),
          program.Dialogs());
    PressButton(load, IDCANCEL);
    CHECK(program.WaitDialogGone(load), program.Dialogs());
    CHECK(ModulesHolding(program.processId, files.folder.path).empty(),
          Joined(ModulesHolding(program.processId, files.folder.path)));
}

// Audio codecs registered since the audio compression manager last made its
// cache (no entry of their own there): under Wine every process that loads
// winmm.dll opens them as it loads, and DirectShow's device enumerator
// imports it. One hangs and one crashes when opened. The program loads the
// manager in a child first, names what it found, and opens dialog 136 at the
// codecs; once the hanging one is turned off there, the list fills and the
// program answers. The crashing one is listed from the registry, and its
// check names the crash, in the child. The report from the command line,
// which asks nobody, is written without the program's lists, saying why.
namespace {

// What a copy of the test driver recorded (its ".record" file): each line
// "load|open <pid> <command line>".
struct DriverRecord {
    std::wstring path;
    explicit DriverRecord(const std::wstring& dll) : path(dll + L".record") {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CHECK(file != INVALID_HANDLE_VALUE, path);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    std::wstring Text() const { return Utf8FileText(path); }
    // The lines of the process, or of the processes whose command line holds option.
    std::vector<std::wstring> Lines(DWORD pid, const wchar_t* option = nullptr) const {
        std::vector<std::wstring> lines;
        const std::wstring text = Text();
        for (std::size_t at = 0; at < text.size();) {
            std::size_t end = text.find(L"\r\n", at);
            if (end == std::wstring::npos) end = text.size();
            const std::wstring line = text.substr(at, end - at);
            const std::size_t blank = line.find(L' ');
            const DWORD linePid = blank == std::wstring::npos ? 0 : std::wcstoul(line.c_str() + blank + 1, nullptr, 10);
            if (option ? line.find(option) != std::wstring::npos : linePid == pid) lines.push_back(line);
            at = end + 2;
        }
        return lines;
    }
    std::size_t Processes(const wchar_t* option) const {
        std::vector<std::wstring> pids;
        for (const std::wstring& line : Lines(0, option)) {
            const std::wstring pid = line.substr(5, line.find(L' ', 5) - 5);
            if (std::find(pids.begin(), pids.end(), pid) == pids.end()) pids.push_back(pid);
        }
        return pids.size();
    }
};

}  // namespace

// Well-behaved codecs that record every process loading them: the program's
// start, every category, the report, the scan and the dialogs run none of
// their code in the program; the child that walks a category first does, and
// ends so that the audio compression manager caches the audio codec. The
// filter mapper's walk of a filter's merit loads them in the program after
// that child. A second fill starts no child; a change of Drivers32 makes the
// next one try again.
SCENARIO(codecs_walked_in_a_child_first) {
    const CopiedFiles files(L"Vantrel_recorded", {}, L"_");
    const std::wstring audio = files.Copy(DriverCodecDll(), L"vantrel_recorded.acm");
    const std::wstring video = files.Copy(DriverCodecDll(), L"vantrel_recorded.dll");
    const DriverRecord audioRecord(audio), videoRecord(video);
    const PlantedDriver audioCodec(L"msacm.vantrelrecorded", audio);
    const PlantedDriver videoCodec(L"vidc.VTrd", video);
    RemoveDriverCacheEntry(audioCodec.name);
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    for (int category : {1, 4, 0, 3, 2}) {
        program.ChooseCategory(category);
        CHECK(program.Settle(), program.State());
        if (category == 3) CHECK(program.WaitForRow(L"Vantrel Test Video Codec", true), Joined(program.ListRows()));
    }
    for (int command : {IDM_DRIVER_CODECS, IDM_PREFERRED_DECODERS, IDM_TRANSFORMS, IDM_REGISTRY_BACKUPS}) {
        program.PostCommand(command);
        HWND dialog = program.WaitForDialog();
        if (dialog) PressButton(dialog, IDCANCEL);
        CHECK(dialog && program.WaitDialogGone(dialog), Format(L"%d: ", command) + program.Dialogs());
    }
    program.PostCommand(IDM_SCAN);
    HWND finished = WaitForMessageBox(program, {});
    CHECK(finished && MessageBoxText(finished) == L"Поиск завершен.", program.Dialogs());
    if (finished) PressButton(finished, IDOK);
    const ScratchFolder reports(L"Vantrel recorded report");
    const CommandRun command = RunProgramCommand(exePath, L"/report \"" + reports.path + L"\\report.txt\"");
    CHECK(command.exitCode == 0 || command.exitCode == 1, Describe(command));
    for (const DriverRecord* record : {&audioRecord, &videoRecord}) {
        CHECK(record->Lines(program.processId).empty() && record->Lines(0, L"/report").empty() &&
                  !record->Lines(0, L"/vantrel-walk").empty(),
              record->Text());
    }
    CHECK(!MachineValue(kDriverCacheKey + std::wstring(L"\\") + audioCodec.name, L"fdwSupport").empty(),
          audioRecord.Text());
    // The filter mapper's walk of a merit, and the video codecs' list again: no new child.
    const std::size_t videoWalks = videoRecord.Processes(L"/vantrel-walk v");
    program.ChooseCategory(2);
    CHECK(program.WaitForRow(L"AVI Splitter", true), Joined(program.ListRows()));
    program.DoubleClickRow(program.RowIndex(L"AVI Splitter"));
    HWND manage = program.WaitForDialog(kManageTitle);
    CHECK(manage && ControlText(manage, IDC_MERIT_TEXT) == L"Средний (MERIT_NORMAL)", program.Dialogs());
    if (manage) PressButton(manage, IDOK);
    CHECK(program.WaitDialogGone(manage), program.Dialogs());
    program.ChooseCategory(3);
    CHECK(program.Settle() && videoRecord.Processes(L"/vantrel-walk v") == videoWalks, videoRecord.Text());
    const PlantedDriver another(L"vidc.VTr2", video);
    program.ChooseCategory(2);
    program.ChooseCategory(3);
    CHECK(program.Settle() && videoRecord.Processes(L"/vantrel-walk v") == videoWalks + 1, videoRecord.Text());
    CHECK(program.MainWindowAnswers() && program.FindDialog(L"Кодек не открывается") == nullptr, program.Dialogs());
}

// Codecs that crash or hang as they are opened, with and without a cache
// entry: the program starts and answers, the child's walk names each in turn
// (a crash, a hang, a codec that hangs only at its third open, in the
// platform's walk after the two opens of its own), a compressor category
// stays empty and a filter's merit is read from its FilterData meanwhile; each
// codec turned off in dialog 136, from the question, lets the next walk go on.
SCENARIO(driver_codecs_hanging_and_crashing_uncached) {
    const CopiedFiles files(L"Vantrel_uncached", {}, L"_");
    const PlantedDriver crashing(L"msacm.vantrelcrash", files.Copy(DriverCodecDll(), L"vantrel_crash.acm"));
    const PlantedDriver hanging(L"msacm.vantrelhang", files.Copy(DriverCodecDll(), L"vantrel_hang.acm"));
    const std::wstring third = files.Copy(DriverCodecDll(), L"vantrel_third.acm");
    const DriverRecord thirdRecord(third);
    const PlantedDriver hangingThird(L"msacm.vantrelthird", third);
    const PlantedDriver crashingVideo(L"vidc.VTcr", files.Copy(DriverCodecDll(), L"vantrel_crash.dll"));
    // The crashing codec has the empty entry a crash leaves; the others none.
    RemoveDriverCacheEntry(hanging.name);
    RemoveDriverCacheEntry(hangingThird.name);
    CHECK(WriteMachineText(kDriverCacheKey + std::wstring(L"\\") + crashing.name, L"vantrel", L""), crashing.name);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, (kDriverCacheKey + std::wstring(L"\\") + crashing.name).c_str(), L"vantrel");
    // The report from the command line asks nothing: it is written without
    // the program's lists, and says why.
    const ScratchFolder reports(L"Vantrel uncached report");
    const CommandRun command = RunProgramCommand(exePath, L"/report \"" + reports.path + L"\\report.txt\"");
    const std::wstring report = Utf8FileText(reports.path + L"\\report.txt");
    CHECK(command.leftovers == 0 && command.exitCode == 1 && command.windowsSeen.empty() &&
              report.find(L"\r\nСписки программы не прочитаны: кодек msacm.vantrelcrash аварийно завершил работу при "
                          L"открытии (0xC0000005), когда") != std::wstring::npos &&
              report.find(L"строк в списке программы") == std::wstring::npos,
          Describe(command) + L"\n" + report.substr(0, 3000));
    ProgramUnderTest program;
    if (!program.Start(exePath, L"", false)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    // Each question in turn; "Да" opens dialog 136 at the codec, which is deleted there.
    const std::pair<const PlantedDriver*, std::wstring> faults[] = {
        {&crashing, L"Кодек msacm.vantrelcrash аварийно завершил работу при открытии (0xC0000005): список «Audio "
                    L"Compressors» не заполнен, чтобы программа не закрылась."},
        {&hanging, L"Кодек msacm.vantrelhang не ответил за 5 секунд при открытии: список «Audio Compressors» не "
                   L"заполнен, чтобы программа не зависла."},
        {&hangingThird, L"Кодек msacm.vantrelthird не ответил за 10 секунд при открытии: список «Audio "
                        L"Compressors» не заполнен, чтобы программа не зависла."},
    };
    for (const auto& [codec, said] : faults) {
        HWND box = program.WaitForDialog(L"Кодек не открывается", 30000);
        if (!box) return CheckFailed(__FILE__, __LINE__, "the question about the codec", program.Dialogs());
        LookPoint(codec == &crashing ? L"codec-walk-question" : codec == &hanging ? L"codec-walk-hang" : L"codec-walk-third");
        const std::wstring question = MessageBoxText(box);
        CHECK(question.find(said) == 0, question);
        // The filters' list is read from the registry meanwhile; "Audio Compressors", chosen below, stays empty.
        CHECK(program.MainWindowAnswers() &&
                  (codec == &crashing ? program.WaitForRow(L"AVI Splitter", true) : program.ListRows().empty()),
              program.State() + L": " + Joined(program.ListRows()));
        if (codec == &crashing) {
            // Meanwhile the filter mapper stays out of the program: the merit comes from the FilterData.
            PressButton(box, IDNO);
            program.DoubleClickRow(program.RowIndex(L"AVI Splitter"));
            HWND manage = program.WaitForDialog(kManageTitle);
            CHECK(manage && ControlText(manage, IDC_MERIT_TEXT) == L"Средний (MERIT_NORMAL)",
                  program.Dialogs());
            if (manage) PressButton(manage, IDOK);
            CHECK(program.WaitDialogGone(manage), program.Dialogs());
            program.ChooseCategory(0);
            box = program.WaitForDialog(L"Кодек не открывается");
            if (!box) return CheckFailed(__FILE__, __LINE__, "asked again on the user's choice", program.Dialogs());
            CHECK(program.ListRows().empty(), Joined(program.ListRows()));
        }
        PressButton(box, IDYES);
        HWND dialog = program.WaitForDialog(kDriverCodecsTitle);
        if (!dialog) return CheckFailed(__FILE__, __LINE__, "dialog 136 after the question", program.Dialogs());
        const Table rows = DriverCodecRows(program, dialog);
        SetListViewRowSelected(GetDlgItem(dialog, IDC_DRIVER_LIST), program.processId, -1, false);
        SelectListViewRow(GetDlgItem(dialog, IDC_DRIVER_LIST), program.processId, RowNamed(rows, codec->name));
        PressButton(dialog, IDC_DRIVER_DELETE);
        HWND confirm = WaitForMessageBox(program, {dialog});
        if (confirm) PressButton(confirm, IDYES);
        CHECK(WaitUntil([&] { return MachineValue(kDrivers32Key, codec->name.c_str()).empty(); }), program.Dialogs());
        // The deletion refills the list: the next codec's walk may take its time limit.
        PressButton(dialog, IDCANCEL);
        CHECK(program.WaitDialogGone(dialog, 30000), program.Dialogs());
    }
    // Two opens of its own passed, the third hung the walk: the record says so, and never the program.
    CHECK(thirdRecord.Lines(program.processId).empty() && thirdRecord.Lines(0, L"open").size() >= 3,
          thirdRecord.Text());
    // The audio codecs are whole now; the crashing video codec names itself on the user's choice.
    program.ChooseCategory(3);
    HWND box = program.WaitForDialog(L"Кодек не открывается", 20000);
    CHECK(box && MessageBoxText(box).find(L"Кодек vidc.VTcr аварийно завершил работу при открытии (0xC0000005): "
                                          L"список «Video Compressors» не заполнен") == 0,
          box ? MessageBoxText(box) : program.Dialogs());
    if (box) PressButton(box, IDNO);
    CHECK(program.Settle() && program.ListRows().empty() && program.MainWindowAnswers(), program.State());
    PostMessageW(program.mainWindow, WM_CLOSE, 0, 0);
    const int exitCode = program.WaitExit();
    CHECK(exitCode == 0, Format(L"exit code 0x%08X", exitCode));
}

// Codecs of both widths: a driver of the other width registered in the
// program's own view is named as such; the other view's codecs are listed
// with their states, checked as data only (that width's build opens them),
// and deleted there with their backup, as the other width's programs see them.
OTHER_WIDTH_SCENARIO(driver_codecs_of_both_widths) {
    const std::wstring otherWidthFile = sizeof(void*) == 8 ? L"32-разрядный файл" : L"64-разрядный файл";
    const std::wstring ownWidthFile = sizeof(void*) == 8 ? L"64-разрядный файл" : L"32-разрядный файл";
    const CopiedFiles files(L"Vantrel_widths", {}, L"_");
    const std::wstring other = files.Copy(DriverCodecDll(true), L"vantrel_other.dll");
    const std::wstring own = files.Copy(DriverCodecDll(), L"vantrel_own.dll");
    const PlantedDriver otherInOwn(L"vidc.VTow", other);
    const PlantedDriver ownInOther(L"msacm.vantrelown", own, kOtherView);
    const PlantedDriver soundInOther(L"vidc.VTos", other, kOtherView);

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    HWND dialog = OpenDriverCodecs(program);
    if (!dialog) return;
    Table rows = DriverCodecRows(program, dialog);
    CHECK(State(rows, otherInOwn.name) == L"другая разрядность (" + otherWidthFile + L")", DriverRowText(rows, otherInOwn.name));
    CHECK(RowNamed(rows, soundInOther.name) < 0 && RowNamed(rows, ownInOther.name) < 0, TableText(rows));
    // The other width's programs: chosen as a user chooses them.
    HWND view = GetDlgItem(dialog, IDC_DRIVER_VIEW);
    CHECK(ComboBoxRows(view).size() == 2, Joined(ComboBoxRows(view)));
    SendMessageW(view, CB_SETCURSEL, 1 - SendMessageW(view, CB_GETCURSEL, 0, 0), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DRIVER_VIEW, CBN_SELCHANGE), reinterpret_cast<LPARAM>(view));
    rows = DriverCodecRows(program, dialog);
    CHECK(State(rows, soundInOther.name) == L"в порядке" &&
              State(rows, ownInOther.name) == L"другая разрядность (" + ownWidthFile + L")" &&
              RowNamed(rows, otherInOwn.name) < 0,
          TableText(rows));
    const Table checked = CheckDriverCodecs(program, dialog);
    CHECK(State(checked, soundInOther.name) == L"Проверить загрузку: программа другой разрядности" &&
              State(checked, ownInOther.name) == ownWidthFile,
          TableText(checked));
    LookPoint(L"driver-codecs-other-width");
    // Deleted in that view: its backup names the key where those programs read it.
    const std::vector<std::wstring> before = BackupFiles();
    SetListViewRowSelected(GetDlgItem(dialog, IDC_DRIVER_LIST), program.processId, -1, false);
    SelectListViewRow(GetDlgItem(dialog, IDC_DRIVER_LIST), program.processId, RowNamed(checked, soundInOther.name));
    PressButton(dialog, IDC_DRIVER_DELETE);
    HWND confirm = WaitForMessageBox(program, {dialog});
    if (confirm) PressButton(confirm, IDYES);
    // The deletion is over once the value is gone (its backup is written first, and may still be open then).
    CHECK(WaitUntil([&] { return MachineValue(kDrivers32Key, soundInOther.name.c_str(), kOtherView).empty(); }),
          program.Dialogs());
    CHECK(!MachineValue(kDrivers32Key, otherInOwn.name.c_str()).empty(), L"the wrong view's value went");
    const std::wstring backup = WaitForNewBackup(before);
    const std::wstring text = backup.empty() ? L"" : RegFileText(backup);
    const std::wstring key = std::wstring(L"[HKEY_LOCAL_MACHINE\\Software\\") + (sizeof(void*) == 8 ? L"Wow6432Node\\" : L"") +
                             L"Microsoft\\Windows NT\\CurrentVersion\\Drivers32]\r\n\"vidc.VTos\"=";
    CHECK(text.find(key) != std::wstring::npos, text);
    PressButton(dialog, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog), program.Dialogs());
}
