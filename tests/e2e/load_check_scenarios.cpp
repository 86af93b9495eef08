// The codec load check: command 40045 and dialog 135, with codecs of our own
// that fail at each step (test DLLs: the test codec's load= faults, and the
// DLLs of missing imports), driven as a user drives them.
#include "../common/test_images.h"
#include "list_view_rows.h"
#include "report_saving.h"
#include "test_codec.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

const wchar_t kLoadTitle[] = L"Проверка загрузки кодеков";
const wchar_t kLegacyCategory[] = L"{083863F1-70DE-11D0-BD40-00A0C911CE86}";
enum LoadColumn { kCodec, kKind, kFile, kResult, kLoadColumns };

bool WriteTextIn(REGSAM view, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const LONG status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// A codec registered by writing its keys, as an installer would, in a view
// (0: the driver's own): its class key naming `file` (none when empty), and
// its registration as a filter of the legacy category, a DMO or a Media
// Foundation video decoder. Removed at the end.
// Its class id is a fresh one, or one given.
struct PlantedCodec {
    std::wstring classId;
    std::wstring name;
    REGSAM view;
    std::vector<std::wstring> keys;

    PlantedCodec(const std::wstring& namePrefix, const std::wstring& kind, const std::wstring& file, REGSAM inView = 0,
                 const std::wstring& givenClassId = NewGuidText())
        : classId(givenClassId), name(namePrefix + L" " + classId.substr(1, 8)), view(inView) {
        if (!file.empty()) {
            Own(L"CLSID\\" + classId);
            Write(L"CLSID\\" + classId, nullptr, name + L" Object");
            Write(L"CLSID\\" + classId + L"\\InprocServer32", nullptr, file);
        }
        std::wstring bare = classId.substr(1, 36);
        if (kind == L"filter") {
            Own(kLegacyInstance + classId);
            Write(kLegacyInstance + classId, L"FriendlyName", name);
            Write(kLegacyInstance + classId, L"CLSID", classId);
        } else if (kind == L"dmo") {
            Own(L"DirectShow\\MediaObjects\\" + bare);
            Write(L"DirectShow\\MediaObjects\\" + bare, nullptr, name);
        } else {
            CharLowerBuffW(bare.data(), static_cast<DWORD>(bare.size()));
            Own(L"MediaFoundation\\Transforms\\" + bare);
            Write(L"MediaFoundation\\Transforms\\" + bare, nullptr, name);
            const std::wstring entry =
                L"MediaFoundation\\Transforms\\Categories\\" + std::wstring(kVideoDecoderTransforms) + L"\\" + bare;
            Own(entry);
            Write(entry, nullptr, L"");
        }
    }
    ~PlantedCodec() {
        for (auto key = keys.rbegin(); key != keys.rend(); ++key) DeleteTree(*key, view);
    }
    PlantedCodec(const PlantedCodec&) = delete;
    PlantedCodec& operator=(const PlantedCodec&) = delete;

private:
    void Own(const std::wstring& key) { keys.push_back(key); }
    void Write(const std::wstring& key, const wchar_t* value, const std::wstring& data) {
        CHECK(WriteTextIn(view, key, value, data), key);
    }
};

struct LoadDialog {
    HWND window = nullptr;
    HWND List() const { return GetDlgItem(window, IDC_LOAD_LIST); }
    std::wstring Summary() const { return ControlText(window, IDC_LOAD_SUMMARY); }
    std::wstring Current() const { return ControlText(window, IDC_LOAD_CURRENT); }
    bool Running() const { return IsWindowVisible(GetDlgItem(window, IDC_LOAD_STOP)) != FALSE; }
};

LoadDialog OpenLoadCheck(const ProgramUnderTest& program) {
    program.PostCommand(IDM_LOAD_CHECK);
    LoadDialog dialog{program.WaitForDialog(kLoadTitle)};
    CHECK(dialog.window != nullptr, program.Dialogs());
    return dialog;
}

// Waits until the check is over; its rows. (A check started by a command
// posted before has begun once the program has handled what was posted.)
Table WaitForLoadCheck(const ProgramUnderTest& program, const LoadDialog& dialog, DWORD deadlineMs = 90000) {
    if (!dialog.window) return {};
    program.Settle();
    CHECK(WaitUntil([&] { return !dialog.Running(); }, deadlineMs), dialog.Current() + L" " + program.Dialogs());
    return ListViewRows(dialog.List(), program.processId, kLoadColumns);
}

// The heading row of the other width's view, "Кодеки 32-разрядных программ" in the x64 build.
std::wstring OtherViewHeading() {
    return Format(L"Кодеки %d-разрядных программ", sizeof(void*) == 8 ? 32 : 64);
}

// The rows of the program's own view, before the other view's heading.
Table OwnRows(const Table& rows) {
    const int heading = RowNamed(rows, OtherViewHeading());
    return heading < 0 ? rows : Table(rows.begin(), rows.begin() + heading);
}

// The row of the codec: its kind, file and result, for comparing whole.
std::wstring RowText(const Table& rows, const std::wstring& name) {
    const auto* row = Row(rows, name);
    return row ? (*row)[kKind] + L" | " + (*row)[kFile] + L" | " + (*row)[kResult] : L"(no row " + name + L")";
}

// The saved report's rows: each numbered name with its labelled fields, as
// [name, kind, file, result]; the heading of the other view as a row of its own.
Table ReportRows(const std::wstring& text) {
    Table rows;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = text.substr(start, end - start);
        start = end + 2;
        const std::size_t dot = line.find(L". ");
        const std::size_t first = line.find_first_not_of(L' ');
        if (line.rfind(OtherViewHeading(), 0) == 0) {
            rows.push_back({OtherViewHeading(), L"", L"", L""});
        } else if (first != std::wstring::npos && dot != std::wstring::npos && first < dot &&
                   line.find_first_not_of(L"0123456789", first) == dot) {
            rows.push_back({line.substr(dot + 2), L"", L"", L""});
        } else if (!rows.empty() && first == 7) {
            const std::size_t colon = line.find(L':');
            const std::wstring label = line.substr(first, colon - first);
            const std::size_t value = line.find_first_not_of(L' ', colon + 1);
            const std::wstring field = value == std::wstring::npos ? L"" : line.substr(value);
            if (label == L"Вид") rows.back()[kKind] = field;
            if (label == L"Файл") rows.back()[kFile] = field;
            if (label == L"Результат") rows.back()[kResult] = field;
        }
    }
    return rows;
}

// Selects the row of the list and presses "Управление..".
void ManageRow(const ProgramUnderTest& program, const LoadDialog& dialog, const Table& rows, const std::wstring& name) {
    const int row = RowNamed(rows, name);
    CHECK(row >= 0, L"no row " + name);
    SelectListViewRow(dialog.List(), program.processId, row);
    PressButton(dialog.window, IDC_LOAD_MANAGE);
}

// The saved report without its "Дата:" line, the one line two reports of
// the same check may differ in.
std::wstring WithoutDateLine(const std::wstring& text) {
    const std::size_t line = text.find(L"\r\nДата: ");
    if (line == std::wstring::npos) return text;
    return text.substr(0, line) + text.substr(text.find(L"\r\n", line + 2));
}

}  // namespace

// Codecs of ours that fail at every step the check takes, among the
// system's own and after two that crash and one that hangs: each named with
// its step and cause, the failing ones first and each group by name, the
// summary counted; the child's token restricted; the main window answering
// meanwhile; the saved report row for row the list; the registry unchanged
// byte for byte; then "Управление.." on a filter and on a transform, each
// codec checked again when its dialog closes.
SCENARIO(load_check_names_each_failure) {
    // Loaded and created in the child: refused, without the interfaces of
    // its kinds (as a filter, a DMO and a transform), DllMain failing, a
    // crash in DllGetClassObject and in CreateInstance, a hang.
    TestCodec refuse(L"Vantrel Load Refuse", L"none");
    TestCodec bare(L"Vantrel Load Bare", L"none");
    bare.AddExtras();
    TestCodec dllMain(L"Vantrel Load DllMain", L"none");
    TestCodec crashFactory(L"Vantrel Load Crash Factory", L"none");
    TestCodec crashCreate(L"Vantrel Load Crash Create", L"none");
    TestCodec hang(L"Vantrel Load Hang", L"none");
    // One that loads, as a filter, a DMO and a transform, and writes its token.
    TestCodec sound(L"Vantrel Load Sound", L"none");
    sound.AddExtras();
    // Codecs that write into the check's journal while they are made: each
    // is named with its own fault, and no other codec is blamed or lost.
    struct Forger {
        const wchar_t* fault;
        const wchar_t* result;
    };
    const Forger forgers[] = {
        {L"forge_own_pass", L"аварийно завершил работу при создании объекта (0xC0000005)"},
        {L"forge_next_failure", L"вмешался в работу проверки при создании объекта"},
        {L"forge_next_step", L"вмешался в работу проверки при создании объекта"},
        {L"forge_done", L"вмешался в работу проверки при создании объекта"},
        {L"forge_same_step", L"вмешался в работу проверки при создании объекта"},
        {L"forge_huge_count", L"вмешался в работу проверки при создании объекта"},
    };
    std::vector<std::unique_ptr<TestCodec>> forging;
    for (const Forger& forger : forgers) {
        forging.push_back(std::make_unique<TestCodec>(L"Vantrel Load Forge " + std::wstring(forger.fault + 6), L"none"));
    }
    std::vector<const TestCodec*> registered = {&refuse, &bare, &dllMain, &crashFactory, &crashCreate, &hang, &sound};
    for (const auto& codec : forging) registered.push_back(codec.get());
    for (const TestCodec* codec : registered) {
        CHECK(codec->Regsvr32(L"/s") == 0, codec->name + L": " + codec->Regsvr32Result());
    }
    for (std::size_t i = 0; i < forging.size(); ++i) {
        forging[i]->AppendConfig(L"load=" + std::wstring(forgers[i].fault) + L"\n", OPEN_EXISTING);
    }
    refuse.AppendConfig(L"load=refuse\n", OPEN_EXISTING);
    bare.AppendConfig(L"load=no_interface\n", OPEN_EXISTING);
    dllMain.AppendConfig(L"load=dllmain_false\n", OPEN_EXISTING);
    crashFactory.AppendConfig(L"load=crash_factory\n", OPEN_EXISTING);
    crashCreate.AppendConfig(L"load=crash_create\n", OPEN_EXISTING);
    hang.AppendConfig(L"load=hang_create\n", OPEN_EXISTING);
    const std::wstring tokenFile = sound.folder.path + L"\\token.txt";
    sound.AppendConfig(L"token_file=" + tokenFile + L"\n", OPEN_EXISTING);
    // Read as data, never loaded: a DLL whose import is not there, the same
    // two levels deep (as a DMO), a DLL without DllGetClassObject (as a
    // transform), a file that is no DLL, a file that is not there, a class
    // key that is not there.
    const CopiedFiles missing(L"Vantrel missing", {MissingImportDll(L"vantrel_needs_absent.dll")});
    const PlantedCodec missingImport(L"Vantrel Load Missing", L"filter", missing.Path(L"vantrel_needs_absent.dll"));
    const CopiedFiles chained(L"Vantrel chained", {MissingImportDll(L"vantrel_needs_needs.dll"),
                                                   MissingImportDll(L"vantrel_needs_absent.dll")});
    const PlantedCodec chain(L"Vantrel Load Chain", L"dmo", chained.Path(L"vantrel_needs_needs.dll"));
    const CopiedFiles noEntry(L"Vantrel no entry", {MissingImportDll(L"vantrel_needs_absent.dll"),
                                                   MissingImportDll(L"vantrel_absent.dll")});
    const PlantedCodec withoutEntry(L"Vantrel Load No Entry", L"mft", noEntry.Path(L"vantrel_needs_absent.dll"));
    const PlantedCodec notDll(L"Vantrel Load Not Dll", L"filter", refuse.folder.path + L"\\testcodec.cfg");
    const PlantedCodec gone(L"Vantrel Load Gone", L"filter", missing.folder.path + L"\\gone.dll");
    const PlantedCodec noClass(L"Vantrel Load No Class", L"filter", L"");

    const std::vector<const wchar_t*> trees = {L"CLSID", L"DirectShow", L"MediaFoundation", L"Media Type"};
    std::vector<RegistrySnapshot> before;
    for (const wchar_t* tree : trees) before.push_back(TreeSnapshot(tree));

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    const LoadDialog dialog = OpenLoadCheck(program);
    if (!dialog.window) return;
    CHECK(ListViewHeadings(dialog.List(), program.processId) ==
              (std::vector<std::wstring>{L"Кодек", L"Вид", L"Файл", L"Результат"}),
          Joined(ListViewHeadings(dialog.List(), program.processId)));
    // The hang: named within 10 s of its start, the main window answering meanwhile.
    CHECK(WaitUntil([&] { return dialog.Current() == hang.name || !dialog.Running(); }, 60000), dialog.Current());
    const ULONGLONG hangStarted = GetTickCount64();
    bool answered = true;
    while (dialog.Running() && dialog.Current() == hang.name && GetTickCount64() - hangStarted < 15000) {
        answered = answered && program.MainWindowAnswers();
        Sleep(20);  // asked 50 times a second: the other lanes' tests need the CPU
    }
    const ULONGLONG hangTook = GetTickCount64() - hangStarted;
    CHECK(answered, L"the main window stopped answering while a codec hung");
    // 5 s among other codecs, and 5 s more alone unless it was its child's first.
    CHECK(hangTook >= 4000 && hangTook < 16000, Format(L"%llu ms", hangTook));
    const Table all = WaitForLoadCheck(program, dialog);
    LookPoint(L"load-check");
    SendMessageW(dialog.List(), LVM_SCROLL, 2000, 0);  // to the results
    LookPoint(L"load-check-results");
    SendMessageW(dialog.List(), LVM_SCROLL, static_cast<WPARAM>(-2000), 0);
    const Table rows = OwnRows(all);

    const std::wstring filter = L"фильтр DirectShow";
    CHECK(RowText(rows, refuse.name) == filter + L" | " + refuse.dllPath +
                                            L" | фабрика класса не получена: CLASS_E_CLASSNOTAVAILABLE (0x80040111)",
          RowText(rows, refuse.name));
    CHECK(RowText(rows, bare.name) == filter + L" | " + bare.dllPath + L" | объект не поддерживает интерфейс IBaseFilter",
          RowText(rows, bare.name));
    CHECK(RowText(rows, bare.name + L" (DMO)") ==
              L"DMO | " + bare.dllPath + L" | объект не поддерживает интерфейс IMediaObject",
          RowText(rows, bare.name + L" (DMO)"));
    CHECK(RowText(rows, bare.name + L" (MFT)") ==
              L"Media Foundation | " + bare.dllPath + L" | объект не поддерживает интерфейс IMFTransform",
          RowText(rows, bare.name + L" (MFT)"));
    const auto* dllMainRow = Row(rows, dllMain.name);
    CHECK(dllMainRow && (*dllMainRow)[kResult].rfind(L"не загружается: ", 0) == 0 &&
              (*dllMainRow)[kResult].find(L"(ошибка 1114)") != std::wstring::npos,
          RowText(rows, dllMain.name));
    CHECK(RowText(rows, crashFactory.name) ==
              filter + L" | " + crashFactory.dllPath +
                  L" | аварийно завершил работу при получении фабрики класса (0xC0000005)",
          RowText(rows, crashFactory.name));
    CHECK(RowText(rows, crashCreate.name) ==
              filter + L" | " + crashCreate.dllPath + L" | аварийно завершил работу при создании объекта (0xC0000005)",
          RowText(rows, crashCreate.name));
    CHECK(RowText(rows, hang.name) == filter + L" | " + hang.dllPath + L" | не ответил за 5 секунд при создании объекта",
          RowText(rows, hang.name));
    for (const std::wstring& name : {sound.name, sound.name + L" (2)"}) {
        CHECK(RowText(rows, name) == filter + L" | " + sound.dllPath + L" | " + kLoads, RowText(rows, name));
    }
    CHECK(RowText(rows, sound.name + L" (DMO)") == L"DMO | " + sound.dllPath + L" | " + kLoads,
          RowText(rows, sound.name + L" (DMO)"));
    CHECK(RowText(rows, sound.name + L" (MFT)") == L"Media Foundation | " + sound.dllPath + L" | " + kLoads,
          RowText(rows, sound.name + L" (MFT)"));
    CHECK(RowText(rows, missingImport.name) ==
              filter + L" | " + missing.Path(L"vantrel_needs_absent.dll") +
                  L" | не найдена библиотека: vantrel_absent.dll (для vantrel_needs_absent.dll)",
          RowText(rows, missingImport.name));
    CHECK(RowText(rows, chain.name) == L"DMO | " + chained.Path(L"vantrel_needs_needs.dll") +
                                           L" | не найдена библиотека: vantrel_absent.dll (для vantrel_needs_absent.dll, "
                                           L"нужной для vantrel_needs_needs.dll)",
          RowText(rows, chain.name));
    CHECK(RowText(rows, withoutEntry.name) ==
              L"Media Foundation | " + noEntry.Path(L"vantrel_needs_absent.dll") + L" | нет функции DllGetClassObject",
          RowText(rows, withoutEntry.name));
    CHECK(RowText(rows, notDll.name) ==
              filter + L" | " + refuse.folder.path + L"\\testcodec.cfg | файл не является библиотекой DLL",
          RowText(rows, notDll.name));
    CHECK(RowText(rows, gone.name) == filter + L" | " + missing.folder.path + L"\\gone.dll | файл не найден",
          RowText(rows, gone.name));
    CHECK(RowText(rows, noClass.name) == filter + L" |  | нет раздела класса", RowText(rows, noClass.name));
    for (std::size_t i = 0; i < forging.size(); ++i) {
        CHECK(RowText(rows, forging[i]->name) == filter + L" | " + forging[i]->dllPath + L" | " + forgers[i].result,
              RowText(rows, forging[i]->name));
    }
    // No other codec is blamed for what they wrote.
    CHECK(std::count_if(rows.begin(), rows.end(),
                        [](const auto& row) { return row[kResult].find(L"вмешался") != std::wstring::npos; }) == 5,
          TableText(rows));

    // The system's own codecs load, but for the decoders of winegstreamer.dll
    // where no GStreamer decoder of theirs is installed (README).
    for (const auto& row : rows) {
        if (row[kFile].find(L"\\windows\\") == std::wstring::npos) continue;
        const bool gstreamer = row[kFile].find(L"winegstreamer.dll") != std::wstring::npos &&
                               row[kResult].rfind(L"объект не создан: ", 0) == 0;
        CHECK(row[kResult] == kLoads || gstreamer, row[kCodec] + L" | " + row[kFile] + L" | " + row[kResult]);
    }
    // Failing first, each group by name; the summary counts them.
    std::size_t failing = 0;
    while (failing < rows.size() && rows[failing][kResult] != kLoads) ++failing;
    for (std::size_t i = failing; i < rows.size(); ++i) CHECK(rows[i][kResult] == kLoads, TableText(rows));
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (i == failing) continue;
        CHECK(lstrcmpiW(rows[i - 1][kCodec].c_str(), rows[i][kCodec].c_str()) <= 0,
              rows[i - 1][kCodec] + L" before " + rows[i][kCodec]);
    }
    CHECK(dialog.Summary() == Format(L"Проверено кодеков: %zu из %zu, с ошибками: %zu, не проверено: 0.", rows.size(),
                                     rows.size(), failing),
          dialog.Summary());
    // The child ran with the program's token restricted (Wine runs every process elevated).
    const std::wstring token = Utf8FileText(tokenFile);
    CHECK(token.find(L"enabled_privileges=0\r\n") == 0, token);
    const std::size_t attributes = token.find(L"administrators=0x");
    const unsigned long administrators =
        attributes == std::wstring::npos ? 0 : std::wcstoul(token.c_str() + attributes + 17, nullptr, 16);
    CHECK((administrators & SE_GROUP_USE_FOR_DENY_ONLY) != 0 && (administrators & SE_GROUP_ENABLED) == 0, token);
    // None left behind; a child may still be ending (or walking the codecs for a refill) just now.
    CHECK(WaitUntil([&] { return program.ChildProcessCount() == 0; }, kChildrenEndMs),
          Format(L"%d children", program.ChildProcessCount()));
    for (std::size_t i = 0; i < trees.size(); ++i) {
        CHECK(TreeSnapshot(trees[i]) == before[i], SnapshotDifference(before[i], TreeSnapshot(trees[i])));
    }

    // Saved: the report holds the list's rows, in its order, with the same texts.
    ScratchFolder saved(L"Vantrel load report");
    const std::wstring reportPath = saved.path + L"\\load check.txt";
    const SaveOutcome outcome =
        SaveReportThrough(program, [&] { PressButton(dialog.window, IDC_LOAD_SAVE); }, reportPath);
    CHECK(outcome.caption == kSavedCaption && outcome.defaultName.rfind(L"Проверка загрузки кодеков ", 0) == 0,
          Describe(outcome) + L" " + outcome.defaultName);
    const Table reported = ReportRows(Utf8FileText(reportPath));
    CHECK(reported.size() == all.size(), Format(L"%zu report rows, %zu list rows", reported.size(), all.size()));
    for (std::size_t i = 0; i < reported.size() && i < all.size(); ++i) {
        const bool heading = all[i][kCodec] == OtherViewHeading();
        CHECK(heading ? reported[i][kCodec] == all[i][kCodec] : reported[i] == all[i],
              Joined(reported[i]) + L" against " + Joined(all[i]));
    }
    const std::wstring reportText = Utf8FileText(reportPath);
    CHECK(reportText.find(dialog.Summary()) != std::wstring::npos, reportText.substr(0, 400));
    // The same check from the command line, without a window: the same
    // report but for its date, and exit code 1 for the codecs that fail.
    const std::wstring commandPath = saved.path + L"\\command.txt";
    const CommandRun command = RunProgramCommand(exePath, L"/loadcheck \"" + commandPath + L"\"", 90000);
    CHECK(command.leftovers == 0 && command.exitCode == 1 && command.windowsSeen.empty() && command.output.empty(), Describe(command));
    const std::wstring commandText = Utf8FileText(commandPath);
    CHECK(WithoutDateLine(commandText) == WithoutDateLine(reportText) && WithoutDateLine(reportText) != reportText,
          FirstDifference(WithoutDateLine(commandText), WithoutDateLine(reportText)));

    // "Управление.." on a filter: the management dialog of its own class id,
    // while dialog 135 waits disabled; deleted there, the codec is checked
    // again and its row goes.
    ManageRow(program, dialog, all, refuse.name);
    HWND manage = program.WaitForDialog(kManageTitle);
    CHECK(manage && ControlText(manage, IDC_CLASS_ID) == refuse.classId, program.Dialogs());
    if (!manage) return;
    CHECK(!IsWindowEnabled(dialog.window), L"dialog 135 enabled under the management dialog");
    PressButton(manage, IDC_DELETE_CODEC);
    HWND confirm = WaitForMessageBox(program, {manage, dialog.window});
    if (confirm) PressButton(confirm, IDYES);
    CHECK(program.WaitDialogGone(manage), program.Dialogs());
    Table again = WaitForLoadCheck(program, dialog);
    CHECK(RowNamed(again, refuse.name) < 0 && again.size() == all.size() - 1, TableText(again));
    CHECK(IsWindowEnabled(dialog.window) && !IsWindowEnabled(program.mainWindow), L"dialog 135 not back on top");

    // On a DMO: the management dialog of its class key.
    ManageRow(program, dialog, again, chain.name);
    manage = program.WaitForDialog(kManageTitle);
    CHECK(manage && ControlText(manage, IDC_CLASS_ID) == chain.classId &&
              ControlText(manage, IDC_FRIENDLY_NAME) == chain.name,
          program.Dialogs());
    if (manage) PressButton(manage, IDOK);
    CHECK(program.WaitDialogGone(manage), program.Dialogs());
    again = WaitForLoadCheck(program, dialog);
    CHECK(RowText(again, chain.name) == RowText(rows, chain.name), RowText(again, chain.name));

    // On a transform: dialog 133 on its category with its row selected.
    ManageRow(program, dialog, again, bare.name + L" (MFT)");
    HWND transforms = program.WaitForDialog(kTransformsTitle);
    CHECK(transforms != nullptr, program.Dialogs());
    if (!transforms) return;
    const Table transformRows = TransformRows(program, transforms);
    const LRESULT selected = SendMessageW(GetDlgItem(transforms, IDC_TRANSFORM_LIST), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                          LVNI_SELECTED);
    CHECK(ControlText(transforms, IDC_TRANSFORM_CATEGORY) == L"Видеодекодеры" && selected >= 0 &&
              static_cast<std::size_t>(selected) < transformRows.size() &&
              transformRows[static_cast<std::size_t>(selected)][kTransformName] == bare.name + L" (MFT)",
          ControlText(transforms, IDC_TRANSFORM_CATEGORY) + Format(L" row %ld of ", static_cast<long>(selected)) +
              TableText(transformRows));
    PressButton(transforms, IDCANCEL);
    CHECK(program.WaitDialogGone(transforms), program.Dialogs());
    again = WaitForLoadCheck(program, dialog);
    CHECK(RowText(again, bare.name + L" (MFT)") == RowText(rows, bare.name + L" (MFT)"),
          RowText(again, bare.name + L" (MFT)"));
    PressButton(dialog.window, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog.window), program.Dialogs());
}

// A codec that hangs keeps a child at work: "Остановить" half-way keeps the
// results so far and leaves no child; "Закрыть" while a child runs leaves
// none; nor does closing the main window while a child runs, and the
// program ends normally.
SCENARIO(load_check_stop_and_close) {
    TestCodec hang(L"Vantrel Load Hang", L"none");
    CHECK(hang.Regsvr32(L"/s") == 0, hang.Regsvr32Result());
    hang.AppendConfig(L"load=hang_create\n", OPEN_EXISTING);
    // A filter whose entry the registry lists first (its class id sorts
    // first), so that one codec at least is checked before the hang.
    TestCodec sound(L"Vantrel Load Sound", L"none");
    sound.AppendConfig(L"any_class=1\n", OPEN_EXISTING);
    const PlantedCodec first(L"Vantrel Load First", L"filter", sound.dllPath, 0,
                             L"{00000000" + NewGuidText().substr(9));
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());

    LoadDialog dialog = OpenLoadCheck(program);
    if (!dialog.window) return;
    CHECK(WaitUntil([&] { return dialog.Current() == hang.name; }, 60000), dialog.Current());
    const std::wstring progress = ControlText(dialog.window, IDC_LOAD_PROGRESS_TEXT);
    LookPoint(L"load-check-running");
    CHECK(progress.rfind(L"Проверено ", 0) == 0 && progress.find(L" из ") != std::wstring::npos, progress);
    PressButton(dialog.window, IDC_LOAD_STOP);
    const Table rows = WaitForLoadCheck(program, dialog);
    const std::size_t total = static_cast<std::size_t>(std::wcstoul(progress.c_str() + progress.find(L" из ") + 4,
                                                                     nullptr, 10));
    // Every codec has a row: those not checked say why, after the failing ones.
    const Table own = OwnRows(rows);
    const std::wstring stopped = L"не проверен: проверка остановлена";
    const auto count = [&](auto predicate) {
        return static_cast<std::size_t>(std::count_if(own.begin(), own.end(), predicate));
    };
    const std::size_t unchecked = count([&](const auto& row) { return row[kResult] == stopped; });
    const std::size_t failing = count([&](const auto& row) { return row[kResult] != kLoads && row[kResult] != stopped; });
    CHECK(RowText(own, hang.name) == L"фильтр DirectShow | " + hang.dllPath + L" | " + stopped &&
              RowText(own, first.name) == L"фильтр DirectShow | " + sound.dllPath + L" | " + kLoads &&
              own.size() == total && unchecked > 0,
          TableText(rows));
    for (std::size_t i = 0; i < own.size(); ++i) {
        CHECK((own[i][kResult] == stopped) == (i >= failing && i < failing + unchecked), TableText(rows));
    }
    CHECK(dialog.Summary() ==
              Format(L"Проверено кодеков: %zu из %zu, с ошибками: %zu, не проверено: %zu.\nПроверка остановлена: не "
                     L"проверено кодеков: %zu.",
                     total - unchecked, total, failing, unchecked, unchecked),
          dialog.Summary());
    CHECK(WaitUntil([&] { return program.ChildProcessCount() == 0; }, kChildrenEndMs),
          Format(L"%d children after Остановить", program.ChildProcessCount()));

    // Checked again, and closed while the hang holds its child.
    PressButton(dialog.window, IDC_LOAD_AGAIN);
    CHECK(WaitUntil([&] { return dialog.Current() == hang.name; }, 60000), dialog.Current());
    PressButton(dialog.window, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog.window), program.Dialogs());
    CHECK(WaitUntil([&] { return program.ChildProcessCount() == 0; }, kChildrenEndMs),
          Format(L"%d children after Закрыть", program.ChildProcessCount()));

    // The main window closed while the hang holds a child.
    dialog = OpenLoadCheck(program);
    if (!dialog.window) return;
    CHECK(WaitUntil([&] { return dialog.Current() == hang.name; }, 60000), dialog.Current());
    PostMessageW(program.mainWindow, WM_CLOSE, 0, 0);
    const int exitCode = program.WaitExit();
    CHECK(exitCode >= 0 && static_cast<DWORD>(exitCode) < 0xC0000000, Format(L"exit code 0x%08X", exitCode));
    CHECK(WaitUntil([&] { return program.ChildProcessCount() == 0; }, kChildrenEndMs),
          Format(L"%d children after the main window closed", program.ChildProcessCount()));
}

// Files made to cost the reading as much as a file can: a codec file with
// 2,047 load-time and 2,047 delay-loaded imports of 250 characters each
// (1 MB), and one that imports itself under 200 spellings of its path
// ("\\." and "/." inserted) before a DLL that is not there. The main window
// answers within 1 s throughout, and the files are read within 5 s, each
// named with what the loader would meet. Beside them: a name with a TAB and
// U+202E, shown with "?"; and a server path with a variable in a REG_SZ
// value, looked for as written, while the same in REG_EXPAND_SZ is expanded.
SCENARIO(load_check_hostile_files) {
    ScratchFolder folder(L"Vantrel hostile");
    std::vector<std::string> imports, delayed;
    for (int i = 0; i < 2047; ++i) {
        char number[16];
        std::snprintf(number, sizeof(number), "%04d.dll", i);
        // All alike but for their end, so that no comparison of two stops early.
        imports.push_back(std::string(242, 'a') + number);
        delayed.push_back(std::string(241, 'a') + "d" + number);
    }
    const std::wstring many = folder.path + L"\\vantrel_many.dll";
    CHECK(WriteImageFile(many, DllImage(imports, delayed)), many);
    const std::wstring self = folder.path + L"\\vantrel_self.dll";
    std::string selfPath(self.begin(), self.end());  // the scratch folder's path is ASCII
    const std::size_t slash = selfPath.rfind('\\');
    std::vector<std::string> spellings;
    for (int i = 0; i < 200; ++i) {
        std::string spelling = selfPath.substr(0, slash);
        for (int a = 0; a < i % 20; ++a) spelling += "\\.";
        for (int b = 0; b < i / 20; ++b) spelling += "/.";
        spellings.push_back(spelling + selfPath.substr(slash));
    }
    spellings.push_back("vantrel_hostile_gone.dll");
    CHECK(WriteImageFile(self, DllImage(spellings)), self);
    const PlantedCodec manyImports(L"Vantrel Load Many", L"filter", many);
    const PlantedCodec selfImports(L"Vantrel Load Self", L"dmo", self);
    const PlantedCodec unsafeName(L"Vantrel\tLoad\u202EName", L"filter", folder.path + L"\\gone.dll");
    const std::wstring variablePath = L"%SystemRoot%\\system32\\quartz.dll";
    const PlantedCodec literal(L"Vantrel Load Literal", L"filter", variablePath);
    const PlantedCodec expandable(L"Vantrel Load Expandable", L"filter", variablePath);
    CHECK(WriteText(L"CLSID\\" + expandable.classId + L"\\InprocServer32", nullptr, variablePath, REG_EXPAND_SZ),
          expandable.classId);
    wchar_t expanded[MAX_PATH] = {};
    ExpandEnvironmentStringsW(variablePath.c_str(), expanded, MAX_PATH);

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    const ULONGLONG opened = GetTickCount64();
    const LoadDialog dialog = OpenLoadCheck(program);
    if (!dialog.window) return;
    // Until the files are read the progress says so; the main window answers all the while.
    ULONGLONG slowest = 0, read = 0;
    while (dialog.Running() && GetTickCount64() - opened < 90000) {
        const ULONGLONG sent = GetTickCount64();
        DWORD_PTR result = 0;
        const bool answered = SendMessageTimeoutW(program.mainWindow, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result);
        slowest = std::max(slowest, answered ? GetTickCount64() - sent : 1000);
        // The reading is over once the progress no longer says it reads.
        if (read == 0 && ControlText(dialog.window, IDC_LOAD_PROGRESS_TEXT).rfind(L"Чтение файлов: ", 0) != 0) {
            read = GetTickCount64() - opened;
        }
        Sleep(20);
    }
    if (read == 0) read = GetTickCount64() - opened;
    CHECK(slowest < 1000, Format(L"the main window took %llu ms to answer", slowest));
    CHECK(read > 0 && read < 5000, Format(L"the files were read in %llu ms", read));
    const Table rows = OwnRows(WaitForLoadCheck(program, dialog));
    CHECK(RowText(rows, manyImports.name) == L"фильтр DirectShow | " + many + L" | не найдена библиотека: " +
                                                 std::wstring(imports[0].begin(), imports[0].end()) +
                                                 L" (для vantrel_many.dll)",
          RowText(rows, manyImports.name));
    CHECK(RowText(rows, selfImports.name) ==
              L"DMO | " + self + L" | не найдена библиотека: vantrel_hostile_gone.dll (для vantrel_self.dll)",
          RowText(rows, selfImports.name));
    std::wstring shownName = unsafeName.name;
    std::replace(shownName.begin(), shownName.end(), L'\t', L'?');
    std::replace(shownName.begin(), shownName.end(), L'\u202E', L'?');
    CHECK(RowText(rows, shownName) == L"фильтр DirectShow | " + folder.path + L"\\gone.dll | файл не найден",
          RowText(rows, shownName) + L" in " + TableText(rows));
    CHECK(RowText(rows, literal.name) == L"фильтр DirectShow | " + variablePath + L" | файл не найден",
          RowText(rows, literal.name));
    const auto* expandedRow = Row(rows, expandable.name);
    CHECK(expandedRow && (*expandedRow)[kFile] == expanded && (*expandedRow)[kResult] != L"файл не найден",
          RowText(rows, expandable.name));
}

// Codecs of both widths: one of the other width's registered in the
// program's own view ends at its header, never loaded; the other view's are
// judged by their files alone, under a heading, and are not managed here.
OTHER_WIDTH_SCENARIO(load_check_other_width) {
    const std::wstring otherWidthFile = sizeof(void*) == 8 ? L"32-разрядный файл" : L"64-разрядный файл";
    const std::wstring ownWidthFile = sizeof(void*) == 8 ? L"64-разрядный файл" : L"32-разрядный файл";
    const CopiedFiles other(L"Vantrel other width", {g_otherWidthTestCodecDll,
                                                     MissingImportDll(L"vantrel_needs_absent.dll", true)});
    const CopiedFiles ownWidth(L"Vantrel own width", {g_testCodecDll});
    const PlantedCodec otherInOwnView(L"Vantrel Load Other Width", L"filter", other.Path(L"testcodec.dll"));
    const PlantedCodec ownInOtherView(L"Vantrel Load Own Width", L"dmo", ownWidth.Path(L"testcodec.dll"), kOtherView);
    const PlantedCodec missingInOtherView(L"Vantrel Load Other Missing", L"filter",
                                          other.Path(L"vantrel_needs_absent.dll"), kOtherView);
    const PlantedCodec soundInOtherView(L"Vantrel Load Other Sound", L"mft", other.Path(L"testcodec.dll"), kOtherView);

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    const LoadDialog dialog = OpenLoadCheck(program);
    const Table all = WaitForLoadCheck(program, dialog);
    const Table ownRows = OwnRows(all);
    const Table otherRows(all.begin() + static_cast<std::ptrdiff_t>(ownRows.size()), all.end());
    CHECK(RowText(ownRows, otherInOwnView.name) ==
              L"фильтр DirectShow | " + other.Path(L"testcodec.dll") + L" | " + otherWidthFile,
          RowText(ownRows, otherInOwnView.name));
    CHECK(!otherRows.empty() && otherRows[0][kCodec] == OtherViewHeading(), TableText(all));
    CHECK(RowText(otherRows, ownInOtherView.name) == L"DMO | " + ownWidth.Path(L"testcodec.dll") + L" | " + ownWidthFile,
          RowText(otherRows, ownInOtherView.name));
    CHECK(RowText(otherRows, missingInOtherView.name) ==
              L"фильтр DirectShow | " + other.Path(L"vantrel_needs_absent.dll") +
                  L" | не найдена библиотека: vantrel_absent.dll (для vantrel_needs_absent.dll)",
          RowText(otherRows, missingInOtherView.name));
    CHECK(RowText(otherRows, soundInOtherView.name) == L"Media Foundation | " + other.Path(L"testcodec.dll") +
                                                           L" | Проверить загрузку: программа другой разрядности",
          RowText(otherRows, soundInOtherView.name));
    // The other view's heading counts its codecs; its failing ones come first.
    std::size_t failing = 1;
    while (failing < otherRows.size() &&
           otherRows[failing][kResult] != L"Проверить загрузку: программа другой разрядности") {
        ++failing;
    }
    CHECK(!otherRows.empty() && otherRows[0][kResult] == Format(L"кодеков: %zu, с ошибками в файлах: %zu",
                                                                otherRows.size() - 1, failing - 1),
          TableText(otherRows));
    // The other view's heading at the top of the list, its rows below it.
    SendMessageW(dialog.List(), LVM_ENSUREVISIBLE, all.size() - 1, FALSE);
    SendMessageW(dialog.List(), LVM_ENSUREVISIBLE, ownRows.size(), FALSE);
    LookPoint(L"load-check-other-width");

    // Not managed here: the other width's build sees them as its own.
    const int row = RowNamed(all, soundInOtherView.name);
    SelectListViewRow(dialog.List(), program.processId, row);
    PressButton(dialog.window, IDC_LOAD_MANAGE);
    HWND box = WaitForMessageBox(program, {dialog.window});
    const int otherWidth = sizeof(void*) == 8 ? 32 : 64;
    CHECK(box && MessageBoxText(box) == Format(L"Кодеками %d-разрядных программ управляет %d-разрядная версия программы.",
                                               otherWidth, otherWidth),
          program.Dialogs());
    if (box) PressButton(box, IDOK);
    PressButton(dialog.window, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog.window), program.Dialogs());
}
