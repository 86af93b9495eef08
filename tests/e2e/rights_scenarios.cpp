// Changes that the registry refuses for lack of rights, as Windows refuses a
// user who started the program without administrator rights. Wine refuses
// nothing and runs every process elevated, so the test DLL refusals.dll,
// loaded into the running program, refuses the named keys at the program's
// imports and makes its token read as not elevated.
#include "test_codec.h"

#include <algorithm>

namespace {

const wchar_t kUnfinishedTitle[] = L"Удаление не завершено";
const wchar_t kKeysLeft[] = L"Не все записи кодека удалось удалить из реестра. Остались:";
const wchar_t kNoRights[] = L"Недостаточно прав для изменения реестра.";
const wchar_t kRestartQuestion[] = L"Перезапустить программу с правами администратора?";

// A message box of the program other than the known dialogs, waited for.
HWND NextBox(const ProgramUnderTest& program, std::initializer_list<HWND> known = {}) {
    HWND box = nullptr;
    WaitUntil([&] {
        for (HWND dialog : program.VisibleDialogs()) {
            if (std::find(known.begin(), known.end(), dialog) == known.end() && GetDlgItem(dialog, kMessageBoxTextId) &&
                WindowText(dialog) != kScanTitle && WindowText(dialog) != kManageTitle) {
                box = dialog;
            }
        }
        return box != nullptr;
    });
    return box;
}

// "HKEY_CLASSES_ROOT\path" for every key of the tree at path, parents first
// (a snapshot names each key by the rest of its path, "\Sub").
std::vector<std::wstring> KeyLines(const std::wstring& path) {
    std::vector<std::wstring> lines;
    for (const RegistryItem& item : TreeSnapshot(path)) {
        if (!item.isValue) lines.push_back(L"HKEY_CLASSES_ROOT\\" + path + item.key);
    }
    return lines;
}

// The main window of another instance of the program than `pid`, or null.
HWND OtherInstanceWindow(DWORD pid) {
    HWND found = nullptr;
    for (HWND window = FindWindowExW(nullptr, nullptr, L"MyClass", nullptr); window;
         window = FindWindowExW(nullptr, window, L"MyClass", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != pid && IsWindowVisible(window)) found = window;
    }
    return found;
}

}  // namespace

SCENARIO(refused_changes_say_so_and_offer_restart) {
    // A codec whose every key is refused, with more keys than the message
    // names; and a broken registration the scan offers to remove, refused too.
    TestCodec codec(L"Vantrel Refused Codec", L"none");
    CHECK(codec.Regsvr32(L"/s") == 0, codec.Regsvr32Result());
    for (int i = 1; i <= 9; ++i) WriteText(codec.ClassKey() + Format(L"\\Extra %d", i), nullptr, L"leaf");
    RegistryScratch keys;
    const std::wstring orphanEntry = NewGuidText();
    const std::wstring orphanPath = kLegacyInstance + orphanEntry;
    const std::wstring orphanName = L"Vantrel Refused Orphan " + orphanEntry.substr(1, 8);
    keys.Own(orphanPath);
    WriteText(orphanPath, L"FriendlyName", orphanName);
    WriteText(orphanPath, L"CLSID", NewGuidText());
    const RegistrySnapshot classBefore = TreeSnapshot(codec.ClassKey());
    const RegistrySnapshot entryBefore = TreeSnapshot(codec.InstancePath());
    const RegistrySnapshot orphanBefore = TreeSnapshot(orphanPath);

    RefuseKeys({codec.classId, orphanEntry});
    ProgramUnderTest program;
    const bool started = program.Start(exePath);
    RefuseKeys({});
    if (!started) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    if (!program.LoadRefusals()) return CheckFailed(__FILE__, __LINE__, "refusals loaded", program.State());

    // The deletion in the management dialog: every key stays, the first ten
    // are named, the cause is the rights, and the restart is offered in the
    // same box, owned by the dialog. No leaves all as it was.
    const int row = program.RowIndex(codec.name);
    CHECK(row >= 0, Joined(program.ListRows()));
    if (row < 0) return;
    program.DoubleClickRow(row);
    HWND manage = program.WaitForDialog(kManageTitle);
    if (!manage) return CheckFailed(__FILE__, __LINE__, "management dialog", program.Dialogs());
    PressButton(manage, IDC_DELETE_CODEC);
    HWND confirm = program.WaitForDialog(kConfirmTitle);
    if (confirm) PressButton(confirm, IDYES);
    HWND box = program.WaitForDialog(kUnfinishedTitle);
    if (!box) return CheckFailed(__FILE__, __LINE__, "box \"Удаление не завершено\"", program.Dialogs());
    std::vector<std::wstring> left = KeyLines(codec.ClassKey());
    for (const std::wstring& line : KeyLines(codec.InstancePath())) left.push_back(line);
    std::wstring expected = kKeysLeft;
    for (size_t i = 0; i < left.size() && i < 10; ++i) expected += L"\n" + left[i];
    expected += Format(L"\nи еще %d\n", static_cast<int>(left.size()) - 10) + kNoRights + L"\n" + kRestartQuestion;
    CHECK(left.size() == 12, Joined(left));
    CHECK(MessageBoxText(box) == expected, MessageBoxText(box) + L"\nexpected:\n" + expected);
    CHECK(GetWindow(box, GW_OWNER) == manage, L"owned by " + WindowText(GetWindow(box, GW_OWNER)));
    CHECK(GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO), L"not a Yes/No box");
    LookPoint(L"removal-unfinished");
    PressButton(box, IDNO);
    CHECK(program.WaitDialogGone(manage), program.Dialogs());
    CHECK(program.Settle() && program.RowIndex(codec.name) >= 0, Joined(program.ListRows()));
    CHECK(TreeSnapshot(codec.ClassKey()) == classBefore, SnapshotDifference(classBefore, TreeSnapshot(codec.ClassKey())));
    CHECK(TreeSnapshot(codec.InstancePath()) == entryBefore, codec.InstancePath());

    // The scan's removal: the box is owned by the main window; No goes on
    // with the scan.
    program.PostCommand(IDM_SCAN);
    bool removalAsked = false, unfinishedShown = false;
    const ULONGLONG end = GetTickCount64() + 60000;
    while (GetTickCount64() < end) {
        box = NextBox(program);
        if (!box) break;
        const std::wstring text = MessageBoxText(box);
        const std::wstring caption = WindowText(box);
        if (text == kFinished) {
            PressButton(box, IDOK);
            program.WaitDialogGone(box);
            break;
        }
        int answer = IDNO;
        if (caption == orphanName) {
            removalAsked = true;
            answer = IDYES;
        } else if (caption == kUnfinishedTitle) {
            unfinishedShown = true;
            const std::wstring orphanExpected = std::wstring(kKeysLeft) + L"\nHKEY_CLASSES_ROOT\\" + orphanPath + L"\n" +
                                                kNoRights + L"\n" + kRestartQuestion;
            CHECK(text == orphanExpected, text);
            CHECK(GetWindow(box, GW_OWNER) == program.mainWindow, L"owned by " + WindowText(GetWindow(box, GW_OWNER)));
        }
        PressButton(box, answer);
        program.WaitDialogGone(box);
    }
    CHECK(removalAsked && unfinishedShown, program.Dialogs());
    CHECK(TreeSnapshot(orphanPath) == orphanBefore, orphanPath);

    // The merit write: its own write failure message, then the restart is offered
    // in a box of its own; Yes starts a new instance and this one ends as
    // "Выход" ends it.
    // The scan ends on the last category: back to the codec's own.
    program.ChooseCategory(2);
    program.Settle();
    const int again = program.RowIndex(codec.name);
    program.SelectRowNamed(codec.name);
    CHECK(again >= 0, Joined(program.ListRows()));
    program.PostCommand(IDM_MANAGE);
    manage = program.WaitForDialog(kManageTitle);
    if (!manage) return CheckFailed(__FILE__, __LINE__, "management dialog", program.Dialogs());
    PressButton(manage, IDC_CHANGE_MERIT);
    HWND merit = program.WaitForDialog(kMeritTitle);
    if (!merit) return CheckFailed(__FILE__, __LINE__, "merit dialog", program.Dialogs());
    PressButton(merit, IDOK);
    box = NextBox(program, {manage, merit});
    const std::wstring writeFailed = box ? MessageBoxText(box) : program.Dialogs();
    CHECK(writeFailed.find(L"Не удалось изменить приоритет (Ошибка записи данных в реестр)") == 0, writeFailed);
    if (box) PressButton(box, IDOK);
    program.WaitDialogGone(box);
    box = NextBox(program, {manage, merit});
    const std::wstring question = box ? MessageBoxText(box) : program.Dialogs();
    CHECK(question == kRestartQuestion, question);
    CHECK(!box || WindowText(box) == kConfirmTitle, WindowText(box));
    // Owned by the merit dialog, which takes no second OK while it is up.
    CHECK(!box || GetWindow(box, GW_OWNER) == merit, L"owned by " + WindowText(GetWindow(box, GW_OWNER)));
    CHECK(!IsWindowEnabled(merit) && !IsWindowEnabled(manage), L"the merit or management dialog is enabled");
    CHECK(!box || (GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO)), L"not a Yes/No box");
    CHECK(TreeSnapshot(codec.InstancePath()) == entryBefore, L"the merit was written");
    if (!box) return;
    LookPoint(L"restart-question");
    PressButton(box, IDYES);
    HWND other = nullptr;
    CHECK(WaitUntil([&] { return (other = OtherInstanceWindow(program.processId)) != nullptr; }, 20000),
          L"no new instance; the program is " + program.State());
    const int code = program.WaitExit(20000);
    CHECK(code == 0, Format(L"exit code %d", code));
    if (!other) return;
    DWORD otherId = 0;
    GetWindowThreadProcessId(other, &otherId);
    HANDLE otherProcess = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, otherId);
    PostMessageW(other, WM_CLOSE, 0, 0);
    if (otherProcess) {
        if (WaitForSingleObject(otherProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(otherProcess, 99);
        CloseHandle(otherProcess);
    }
}
