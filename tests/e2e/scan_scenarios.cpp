// The broken-codec scan, property pages and the about box, driven from outside.
#include "test_codec.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

const wchar_t kRemovalQuestion[] = L"Найден некорректно зарегистрированный кодек. Удалить его из реестра?";
const wchar_t kManageQuestion[] = L"Кодек, возможно, зарегистрирован некорректно. Активировать управление?";

struct Prompt {
    std::wstring caption, text;
};

// A message box of the program: a dialog with the static that carries its text.
HWND FindMessageBox(const ProgramUnderTest& program) {
    for (HWND dialog : program.VisibleDialogs()) {
        if (GetDlgItem(dialog, kMessageBoxTextId) && WindowText(dialog) != kScanTitle &&
            WindowText(dialog) != kManageTitle) {
            return dialog;
        }
    }
    return nullptr;
}

// Runs the scan to its end. `answer` decides each prompt (IDYES or IDNO);
// `manage` is called with a management dialog that the scan opened, and
// must close it. Returns the prompts seen, in order. The final
// "Поиск завершен." box is acknowledged and its caption checked.
using PromptHandler = std::function<int(const Prompt&, HWND box)>;
using ManageHandler = std::function<void(HWND dialog)>;
std::vector<Prompt> RunScan(ProgramUnderTest& program, const PromptHandler& answer,
                            const ManageHandler& manage = nullptr) {
    std::vector<Prompt> prompts;
    program.PostCommand(IDM_SCAN);
    const ULONGLONG end = GetTickCount64() + 60000;
    while (GetTickCount64() < end) {
        HWND box = nullptr;
        HWND management = nullptr;
        WaitUntil([&] {
            box = FindMessageBox(program);
            management = program.FindDialog(kManageTitle);
            return box != nullptr || management != nullptr;
        }, 30000);
        if (management && !box) {
            if (manage) manage(management);
            if (!program.WaitDialogGone(management)) break;
            continue;
        }
        if (!box) break;
        const Prompt prompt{WindowText(box), MessageBoxText(box)};
        if (prompt.text == kFinished) {
            CHECK(prompt.caption == L"Сообщение", prompt.caption);
            PressButton(box, IDOK);
            program.WaitDialogGone(box);
            return prompts;
        }
        prompts.push_back(prompt);
        PressButton(box, answer(prompt, box));
        program.WaitDialogGone(box);
    }
    CheckFailed(__FILE__, __LINE__, "scan finished with its closing message", program.Dialogs());
    return prompts;
}

bool Seen(const std::vector<Prompt>& prompts, const std::wstring& caption, const std::wstring& text) {
    return std::any_of(prompts.begin(), prompts.end(),
                       [&](const Prompt& p) { return p.caption == caption && p.text == text; });
}

std::wstring Listed(const std::vector<Prompt>& prompts) {
    std::wstring all;
    for (const Prompt& p : prompts) all += L"[" + p.caption + L": " + p.text + L"]";
    return all;
}

// An Instance entry of the legacy category whose class has no key.
struct OrphanEntry {
    RegistryScratch keys;
    std::wstring name, path;
    explicit OrphanEntry(const std::wstring& classValue, const std::wstring& prefix = L"Vantrel Orphan") {
        const std::wstring entry = NewGuidText();
        name = prefix + L" " + entry.substr(1, 8);
        path = kLegacyInstance + entry;
        keys.Own(path);
        WriteText(path, L"FriendlyName", name);
        WriteText(path, L"CLSID", classValue);
    }
};

}  // namespace

SCENARIO(scan_removal_prompt) {
    OrphanEntry orphan(NewGuidText());
    OrphanEntry emptyClass(L"", L"Vantrel Empty Class");
    // A class id longer than the 255 characters a lookup gives: cut, it would
    // name no key of this codec, so it is taken as no class id at all.
    OrphanEntry longClass(std::wstring(300, L'7'), L"Vantrel Long Class");
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());

    // First scan: No leaves the registry as it was. The progress fields are read while the prompt is up.
    const std::vector<std::wstring> before = CodecKeySnapshot();
    std::wstring categoryText, rowText;
    int bar = -1;
    int expectedRow = -1, rowCount = 0;
    std::vector<Prompt> prompts = RunScan(program, [&](const Prompt& prompt, HWND) {
        if (prompt.caption == orphan.name) {
            HWND progress = program.FindDialog(kScanTitle);
            categoryText = ControlText(progress, IDC_SCAN_CATEGORY);
            rowText = ControlText(progress, IDC_SCAN_ITEM);
            bar = static_cast<int>(SendMessageW(GetDlgItem(progress, IDC_SCAN_BAR), PBM_GETPOS, 0, 0));
            expectedRow = program.RowIndex(orphan.name);
            rowCount = static_cast<int>(program.ListRows().size());
            LookPoint(L"scan-removal-prompt");
        }
        return IDNO;
    });
    CHECK(Seen(prompts, orphan.name, kRemovalQuestion), Listed(prompts));
    CHECK(Seen(prompts, emptyClass.name, kRemovalQuestion), Listed(prompts));
    CHECK(Seen(prompts, longClass.name, kRemovalQuestion), Listed(prompts));
    CHECK(categoryText == L"2 / 5", categoryText);
    CHECK(rowText == Format(L"%d / %d - ", expectedRow, rowCount) + orphan.name, rowText);
    // The bar follows the row (its rounding is the component test's): within one point of the row's share.
    CHECK(rowCount > 0 && std::abs(bar * rowCount - expectedRow * 100) <= rowCount,
          Format(L"bar at %d for row %d of %d", bar, expectedRow, rowCount));
    const std::vector<std::wstring> afterNo = CodecKeySnapshot();
    CHECK(afterNo == before, SnapshotChange(before, afterNo));
    // A complete scan ends on the last category.
    CHECK(program.ComboSelection() == 4, Format(L"%d", program.ComboSelection()));
    CHECK(program.FindDialog(kScanTitle) == nullptr, program.Dialogs());

    // Second scan: Yes removes exactly the entries of those three codecs,
    // and their backups give back what went.
    const std::vector<std::wstring> files = BackupFiles();
    prompts = RunScan(program, [&](const Prompt& prompt, HWND) {
        return prompt.caption == orphan.name || prompt.caption == emptyClass.name || prompt.caption == longClass.name
                   ? IDYES
                   : IDNO;
    });
    const std::vector<std::wstring> gone = MissingKeys(before, CodecKeySnapshot());
    std::vector<std::wstring> expected = {orphan.path, emptyClass.path, longClass.path};
    std::sort(expected.begin(), expected.end());
    CHECK(gone == expected, Joined(gone));
    std::vector<std::wstring> backups;
    for (const std::wstring& name : BackupFiles()) {
        if (std::find(files.begin(), files.end(), name) == files.end()) backups.push_back(BackupFolder() + L"\\" + name);
    }
    CHECK(backups.size() == 3, Joined(backups));
    for (const std::wstring& backup : backups) {
        const int code = ImportRegFile(backup);
        CHECK(code == 0, Format(L"reg import exit code %d for ", code) + backup);
    }
    const std::vector<std::wstring> restored = CodecKeySnapshot();
    CHECK(restored == before, SnapshotChange(before, restored));
}

SCENARIO(scan_management_prompt) {
    TestCodec missing(L"Vantrel Missing File", L"none");
    CHECK(missing.Regsvr32(L"/s") == 0, missing.Regsvr32Result());
    CHECK(DeleteFileW(missing.dllPath.c_str()), Format(L"error %lu", GetLastError()));
    // A codec whose server path holds an environment variable in an
    // expandable value is never tested.
    TestCodec expanded(L"Vantrel Expanded Path", L"none");
    CHECK(expanded.Regsvr32(L"/s") == 0, expanded.Regsvr32Result());
    WriteText(expanded.ClassKey() + L"\\InprocServer32", nullptr, L"%SystemRoot%\\system32\\vantrel-none.dll",
              REG_EXPAND_SZ);

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    std::wstring managedName;
    const std::vector<Prompt> prompts = RunScan(
        program,
        [&](const Prompt& prompt, HWND) {
            if (prompt.text != kManageQuestion || prompt.caption != missing.object) return IDNO;
            // The suspect row is selected before the question.
            const int selected = program.ListSelection();
            const std::vector<std::wstring> rows = program.ListRows();
            CHECK(selected >= 0 && selected < static_cast<int>(rows.size()) && rows[selected] == missing.name,
                  Format(L"row %d selected of ", selected) + Joined(rows));
            return IDYES;
        },
        [&](HWND dialog) {
            // Deleting the codec here refills the list under the scan, which
            // goes on with the row after this one (scan_goes_on_after_refill).
            managedName = ControlText(dialog, IDC_FRIENDLY_NAME);
            PressButton(dialog, IDC_DELETE_CODEC);
            HWND confirm = program.WaitForDialog(kConfirmTitle);
            if (confirm) PressButton(confirm, IDYES);
        });
    CHECK(managedName == missing.name, managedName);
    CHECK(!KeyExists(missing.InstancePath()), missing.InstancePath());
    int missingPrompts = 0;
    for (const Prompt& prompt : prompts) missingPrompts += prompt.caption == missing.object;
    CHECK(missingPrompts == 1, Listed(prompts));
    CHECK(Seen(prompts, missing.object, kManageQuestion), Listed(prompts));
    for (const Prompt& prompt : prompts) CHECK(prompt.caption != expanded.object || prompt.text != kManageQuestion, prompt.caption);
}

SCENARIO(scan_management_keeps_its_codec) {
    // A, whose file is missing, is offered for management; B is a sound codec
    // in the same list. While the question is up, B becomes the list's
    // selection. In A's dialog the scan is cancelled, and B's management runs
    // in between (a posted command, handled by the dialog's own loop): A's
    // deletion must still delete A's keys and leave B's as they were.
    TestCodec chosen(L"Vantrel Chosen Codec", L"none");
    CHECK(chosen.Regsvr32(L"/s") == 0, chosen.Regsvr32Result());
    CHECK(DeleteFileW(chosen.dllPath.c_str()), Format(L"error %lu", GetLastError()));
    TestCodec other(L"Vantrel Bystander Codec", L"none");
    CHECK(other.Regsvr32(L"/s") == 0, other.Regsvr32Result());
    const RegistrySnapshot otherClass = TreeSnapshot(other.ClassKey());
    const RegistrySnapshot otherEntry = TreeSnapshot(other.InstancePath());

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    std::wstring managedName, nestedName;
    bool enabledAfterCancel = true;
    RunScan(
        program,
        [&](const Prompt& prompt, HWND) {
            if (prompt.text != kManageQuestion || prompt.caption != chosen.object) return IDNO;
            CHECK(program.SelectRowNamed(other.name), Joined(program.ListRows()));
            return IDYES;
        },
        [&](HWND dialog) {
            managedName = ControlText(dialog, IDC_FRIENDLY_NAME);
            HWND progress = program.FindDialog(kScanTitle);
            PressButton(progress, IDCANCEL);
            program.WaitDialogGone(progress);
            program.Settle();
            enabledAfterCancel = IsWindowEnabled(program.mainWindow) != FALSE;
            program.SelectRowNamed(other.name);
            program.PostCommand(IDM_MANAGE);
            HWND nested = program.WaitForDialog(kManageTitle, 10000, dialog);
            if (nested) {
                nestedName = ControlText(nested, IDC_FRIENDLY_NAME);
                PressButton(nested, IDOK);
                program.WaitDialogGone(nested);
            }
            PressButton(dialog, IDC_DELETE_CODEC);
            HWND confirm = program.WaitForDialog(kConfirmTitle);
            if (confirm) PressButton(confirm, IDYES);
        });
    CHECK(managedName == chosen.name, managedName);
    CHECK(!enabledAfterCancel, L"the main window was enabled under the management dialog");
    CHECK(nestedName == other.name, nestedName);
    CHECK(!KeyExists(chosen.ClassKey()) && !KeyExists(chosen.InstancePath()), L"A's keys stayed");
    CHECK(TreeSnapshot(other.ClassKey()) == otherClass, SnapshotDifference(otherClass, TreeSnapshot(other.ClassKey())));
    CHECK(TreeSnapshot(other.InstancePath()) == otherEntry, SnapshotDifference(otherEntry, TreeSnapshot(other.InstancePath())));
}

SCENARIO(scan_goes_on_after_refill) {
    // The rows sort in this order: A, an orphan whose removal is answered
    // Yes (its row stays until the list is refilled); B, a codec whose file is
    // missing, deleted in the management dialog, whose refill takes both rows
    // away, and B's twin, an orphan entry of the same name enumerated after
    // B's own; then the orphans C1, C2, C3, and C4 with its twin. During C4's
    // first prompt the check box brings the system filters into the list:
    // another refill, with rows added before.
    const std::wstring prefix = L"Vantrel Refill " + NewGuidText().substr(1, 8);
    OrphanEntry removed(NewGuidText(), prefix + L" A");
    TestCodec deleted(prefix + L" B", L"none");
    CHECK(deleted.Regsvr32(L"/s") == 0, deleted.Regsvr32Result());
    CHECK(DeleteFileW(deleted.dllPath.c_str()), Format(L"error %lu", GetLastError()));
    RegistryScratch twins;
    const auto addTwin = [&](const std::wstring& entryName, const std::wstring& name) {
        const std::wstring path = kLegacyInstance + entryName;
        twins.Own(path);
        WriteText(path, L"FriendlyName", name);
        WriteText(path, L"CLSID", NewGuidText());
    };
    addTwin(L"~Vantrel twin " + NewGuidText(), deleted.name);  // "~" sorts after B's "{class id}"
    OrphanEntry c1(NewGuidText(), prefix + L" C1");
    OrphanEntry c2(NewGuidText(), prefix + L" C2");
    OrphanEntry c3(NewGuidText(), prefix + L" C3");
    OrphanEntry c4(NewGuidText(), prefix + L" C4");
    addTwin(NewGuidText(), c4.name);

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    std::vector<std::wstring> rowsBefore, rowsAfter;
    const std::vector<Prompt> prompts = RunScan(
        program,
        [&](const Prompt& prompt, HWND) {
            if (prompt.caption == removed.name) return IDYES;
            if (prompt.caption == deleted.object && prompt.text == kManageQuestion) return IDYES;
            if (prompt.caption == c4.name && rowsBefore.empty()) {
                rowsBefore = program.ListRows();
                program.PostCommand(IDC_SHOW_SYSTEM, BN_CLICKED, program.checkBox);
                program.Settle();
                rowsAfter = program.ListRows();
            }
            return IDNO;
        },
        [&](HWND dialog) {
            PressButton(dialog, IDC_DELETE_CODEC);
            HWND confirm = program.WaitForDialog(kConfirmTitle);
            if (confirm) PressButton(confirm, IDYES);
        });
    CHECK(!KeyExists(deleted.InstancePath()), deleted.InstancePath());
    CHECK(rowsAfter.size() > rowsBefore.size(), Joined(rowsBefore) + L" then " + Joined(rowsAfter));
    // Every row after the deleted codec is checked once, in order: the twin
    // too, and none twice.
    std::vector<std::wstring> ours;
    for (const Prompt& prompt : prompts) {
        if (prompt.caption.compare(0, prefix.size(), prefix) == 0) ours.push_back(prompt.caption);
    }
    const std::vector<std::wstring> expected = {removed.name, deleted.object, deleted.name, c1.name,
                                                c2.name,      c3.name,        c4.name,      c4.name};
    CHECK(ours == expected, Listed(prompts));
}

SCENARIO(scan_cancel) {
    OrphanEntry orphan(NewGuidText());
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    const int orphanRow = program.RowIndex(orphan.name);
    CHECK(orphanRow >= 0, Joined(program.ListRows()));
    std::wstring rowAfterCancel;
    const std::vector<Prompt> prompts = RunScan(program, [&](const Prompt& prompt, HWND) {
        if (prompt.caption == orphan.name) {
            // Cancel while the prompt is up: the scan stops before its next row.
            HWND progress = program.FindDialog(kScanTitle);
            PressButton(progress, IDCANCEL);
            program.WaitDialogGone(progress);
            rowAfterCancel = ControlText(progress, IDC_SCAN_ITEM);
        }
        return IDNO;
    });
    CHECK(Seen(prompts, orphan.name, kRemovalQuestion), Listed(prompts));
    // Nothing was asked after the cancel, and the combobox stays on the category being scanned.
    CHECK(!prompts.empty() && prompts.back().caption == orphan.name, Listed(prompts));
    CHECK(program.ComboSelection() == 2, Format(L"%d", program.ComboSelection()));
    CHECK(program.FindDialog(kScanTitle) == nullptr, program.Dialogs());
    CHECK(program.Running(), program.State());
}

SCENARIO(scan_close_main_window) {
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    // The close request waits in the queue and is handled by the scan's own pump.
    program.PostCommand(IDM_SCAN);
    PostMessageW(program.mainWindow, WM_CLOSE, 0, 0);
    const int code = program.WaitExit(10000);
    CHECK(code == 0, Format(L"%d", code));
}

SCENARIO(scan_chosen_twice) {
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    // The second command arrives inside the first scan's pump and must do nothing.
    program.PostCommand(IDM_SCAN);
    int finishedBoxes = 0;
    int mostProgressDialogs = 0;
    program.PostCommand(IDM_SCAN);
    const ULONGLONG end = GetTickCount64() + 30000;
    while (GetTickCount64() < end) {
        int progressDialogs = 0;
        for (HWND dialog : program.VisibleDialogs()) progressDialogs += WindowText(dialog) == kScanTitle;
        mostProgressDialogs = std::max(mostProgressDialogs, progressDialogs);
        HWND box = FindMessageBox(program);
        if (box) {
            if (MessageBoxText(box) == kFinished) ++finishedBoxes;
            PressButton(box, MessageBoxText(box) == kFinished ? IDOK : IDNO);
            program.WaitDialogGone(box);
            if (finishedBoxes) break;
        }
        Sleep(10);
    }
    CHECK(finishedBoxes == 1, Format(L"%d", finishedBoxes));
    CHECK(program.Settle(), L"not settled");
    CHECK(FindMessageBox(program) == nullptr, program.Dialogs());
    CHECK(program.FindDialog(kScanTitle) == nullptr, program.Dialogs());
    CHECK(mostProgressDialogs <= 1, Format(L"%d", mostProgressDialogs));
}

SCENARIO(property_pages) {
    TestCodec withPage(L"Vantrel Paged Codec", L"1");
    TestCodec zeroPages(L"Vantrel Pageless Codec", L"0");
    TestCodec noInterface(L"Vantrel Plain Codec", L"none");
    for (const TestCodec* codec : {&withPage, &zeroPages, &noInterface}) {
        CHECK(codec->Regsvr32(L"/s") == 0, codec->Regsvr32Result());
    }
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());

    // No row selected: nothing appears.
    program.PostCommand(IDM_PROPERTIES);
    CHECK(program.Settle(), L"not settled");
    CHECK(program.VisibleDialogs().empty(), program.Dialogs());

    CHECK(program.SelectRowNamed(withPage.name), Joined(program.ListRows()));
    program.PostCommand(IDM_PROPERTIES);
    HWND frame = program.WaitForDialog();
    CHECK(frame != nullptr, program.Dialogs());
    if (frame) {
        CHECK(WindowText(frame).find(withPage.name) != std::wstring::npos, WindowText(frame));
        CHECK(HasChildText(frame, L"Test codec page"), Joined(ChildTexts(frame)));
        LookPoint(L"property-frame");
        PressButton(frame, IDOK);
        CHECK(program.WaitDialogGone(frame), program.Dialogs());
    }

    for (const TestCodec* codec : {&zeroPages, &noInterface}) {
        CHECK(program.SelectRowNamed(codec->name), Joined(program.ListRows()));
        program.PostCommand(IDM_PROPERTIES);
        HWND box = program.WaitForDialog();
        CHECK(box && MessageBoxText(box) == L"Кодек не имеет настраиваемых свойств", program.Dialogs());
        if (box) PressButton(box, IDOK);
        program.WaitDialogGone(box);
    }

    // A row that the current category no longer lists.
    CHECK(program.SelectRowNamed(zeroPages.name), Joined(program.ListRows()));
    DeleteTree(zeroPages.InstancePath());
    program.PostCommand(IDM_PROPERTIES);
    HWND box = program.WaitForDialog();
    CHECK(box && MessageBoxText(box) == L"Произошла ошибка", program.Dialogs());
    if (box) PressButton(box, IDOK);
}

SCENARIO(about_box) {
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    program.PostCommand(IDM_ABOUT);
    HWND about = program.WaitForDialog(L"О программе");
    if (!about) return CheckFailed(__FILE__, __LINE__, "about box", program.Dialogs());
    const std::wstring text = ControlText(about, IDC_ABOUT_TEXT);
    CHECK(text == L"Утилита для управления кодеками. Поддерживает DirectShow и DMO кодеки\r\n"
                  L"ВНИМАНИЕ! Всегда удаляйте кодеки с осторожностью! Перед удалением\r\n"
                  L"смотрите, какой файл ему соответсвует. Если это файл из папки WINDOWS, не удаляйте кодек\r\n",
          text);
    for (const wchar_t* label : {L"Pelmora Vantrel v1.2", L"Разработчик:", L"(4.10.2012)", L"Сайт программы:",
                                 L"E-Mail:", L"Форум:", L"https://pelmora.example/vantrel/",
                                 L"https://forum.pelmora.example/"}) {
        CHECK(HasChildText(about, label), Joined(ChildTexts(about)));
    }
    CHECK(ControlText(about, IDOK) == L"Закрыть", ControlText(about, IDOK));
    LookPoint(L"about-box");
    program.PressKey(VK_ESCAPE);
    CHECK(program.Settle(), L"not settled");
    CHECK(IsWindowVisible(about), program.Dialogs());
    program.PressKey(VK_RETURN);
    CHECK(program.WaitDialogGone(about), program.Dialogs());

    // The "Информация" button opens the same box; "Закрыть" closes it.
    PostMessageW(GetDlgItem(program.mainWindow, IDM_ABOUT), BM_CLICK, 0, 0);
    about = program.WaitForDialog(L"О программе");
    CHECK(about != nullptr, program.Dialogs());
    if (about) {
        PressButton(about, IDOK);
        CHECK(program.WaitDialogGone(about), program.Dialogs());
    }
}

SCENARIO(help_opens_readme) {
    // "Справка" hands readme.txt, from the current directory, to the shell,
    // which opens it with the text editor.
    ProgramUnderTest program;
    const std::wstring folder = exePath.substr(0, exePath.find_last_of(L'\\'));
    if (!program.Start(exePath, folder)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    program.PostCommand(IDM_HELP);
    HWND editor = nullptr;
    WaitUntil([&] {
        editor = FindWindowW(L"Notepad", nullptr);
        return editor != nullptr;
    }, 20000);
    CHECK(editor != nullptr, L"no window of class Notepad within 20 s");
    if (editor) {
        CHECK(WindowText(editor).find(L"readme") != std::wstring::npos, WindowText(editor));
        // The editor shows the help exactly as written: Russian letters, not
        // the ANSI code page's reading of their UTF-8 bytes, and its lines.
        const std::wstring written = Utf8FileText(folder + L"\\readme.txt");
        std::wstring shown;
        WaitUntil([&] {
            shown = WindowText(FindWindowExW(editor, nullptr, L"Edit", nullptr));
            return !shown.empty();
        });
        CHECK(!written.empty() && shown == written, L"shown: " + shown.substr(0, 120));
        LookPoint(L"help_file");
        PostMessageW(editor, WM_CLOSE, 0, 0);
    }
}

SCENARIO(backup_scan_removal_round_trip) {
    // An entry named by its class id, whose class has no key, with values of
    // several types and a subkey: the scan offers to remove it.
    const std::wstring classId = NewGuidText();
    const std::wstring name = L"Vantrel Backup Scan " + classId.substr(1, 8);
    const std::wstring entry = kLegacyInstance + classId;
    RegistryScratch keys;
    keys.Own(entry);
    WriteText(entry, L"FriendlyName", name);
    WriteText(entry, L"CLSID", classId);
    WriteText(entry, L"Path \"quoted\" \\", L"C:\\codecs\\\"old\" codec.ax\r\n", REG_EXPAND_SZ);
    const DWORD number = 0xDEADBEEF;
    WriteValue(entry, L"Number", REG_DWORD, &number, 4);
    WriteValue(entry, L"Bytes", REG_BINARY, "\x00\x01\x02\xfe\xff", 5);
    WriteValue(entry, L"Short text", REG_SZ, L"xyz", 8);
    WriteText(entry + L"\\Pins\\Выход", L"Types", std::wstring(L"vids\0yuy2\0", 10), REG_MULTI_SZ);
    const RegistrySnapshot before = TreeSnapshot(entry);

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", L"no window");
    const std::vector<std::wstring> files = BackupFiles();
    const std::vector<Prompt> prompts =
        RunScan(program, [&](const Prompt& prompt, HWND) { return prompt.caption == name ? IDYES : IDNO; });
    CHECK(Seen(prompts, name, kRemovalQuestion), Listed(prompts));
    const std::wstring backup = WaitForNewBackup(files);
    CHECK(!backup.empty(), L"no new backup");
    if (backup.empty()) return;
    std::printf("backup: %s\n", Utf8(backup).c_str());
    CHECK(!KeyExists(entry), L"the entry was not removed");

    const int code = ImportRegFile(backup);
    CHECK(code == 0, Format(L"reg import exit code %d", code));
    const RegistrySnapshot after = TreeSnapshot(entry);
    const std::wstring difference = SnapshotDifference(before, after);
    CHECK(difference.empty(), difference);
    std::printf("%lu items before, %lu after the import: %s\n", static_cast<unsigned long>(before.size()),
                static_cast<unsigned long>(after.size()), difference.empty() ? "identical" : "different");
}

namespace {

// A real FilterData of 160 bytes, as the runtime's mapper writes it for a
// filter with two pins of one media type each: registered under a fresh
// class id, read back and unregistered again.
std::vector<BYTE> RealFilterData() {
    ComPtr<IFilterMapper2> mapper;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                mapper.PutVoid()))) {
        return {};
    }
    const REGPINTYPES input = {&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM};
    const REGPINTYPES output = {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24};
    const REGFILTERPINS2 pins[] = {{0, 1, 1, &input, 0, nullptr, nullptr},
                                   {REG_PINFLAG_B_OUTPUT, 1, 1, &output, 0, nullptr, nullptr}};
    REGFILTER2 filter{};
    filter.dwVersion = 2;
    filter.dwMerit = 0x00600000;
    filter.cPins2 = 2;
    filter.rgPins2 = pins;
    const std::wstring classId = NewGuidText();
    const GUID clsid = GuidFromText(classId);
    if (FAILED(mapper->RegisterFilter(clsid, L"Vantrel Real Record", nullptr, &CLSID_LegacyAmFilterCategory,
                                      nullptr, &filter))) {
        return {};
    }
    std::vector<BYTE> data = ReadBytes(kLegacyInstance + classId, L"FilterData");
    mapper->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, clsid);
    return data;
}

// A filter of the legacy category with the given FilterData, whose class key
// names an existing server file: only its FilterData is wrong.
struct DamagedFilter {
    RegistryScratch keys;
    std::wstring classId = NewGuidText();
    std::wstring name, object;
    DamagedFilter(const std::wstring& what, const std::vector<BYTE>& data, const std::wstring& serverFile)
        : name(L"Vantrel Damaged " + what + L" " + classId.substr(1, 8)), object(name + L" Object") {
        const std::wstring entry = kLegacyInstance + classId;
        keys.Own(entry);
        keys.Own(L"CLSID\\" + classId);
        keys.SetText(entry, L"FriendlyName", name);
        keys.SetText(entry, L"CLSID", classId);
        keys.SetBytes(entry, L"FilterData", data.data(), static_cast<DWORD>(data.size()));
        keys.SetText(L"CLSID\\" + classId, nullptr, object);
        keys.SetText(L"CLSID\\" + classId + L"\\InprocServer32", nullptr, serverFile);
    }
};

// Opens the management dialog on a row by a double click; returns its merit text and closes it.
std::wstring ManagedMeritText(ProgramUnderTest& program, const std::wstring& row, const wchar_t* lookPoint) {
    const int index = program.RowIndex(row);
    if (index < 0) return L"no row " + row + L" among " + Joined(program.ListRows());
    program.DoubleClickRow(index);
    HWND dialog = program.WaitForDialog(kManageTitle);
    if (!dialog) return L"no management dialog: " + program.State() + L" " + program.Dialogs();
    LookPoint(lookPoint);
    const std::wstring merit = ControlText(dialog, IDC_MERIT_TEXT);
    PressButton(dialog, IDOK);
    program.WaitDialogGone(dialog);
    return merit;
}

}  // namespace

SCENARIO(damaged_filter_data) {
    TestCodec sound(L"Vantrel Sound Codec", L"none");
    CHECK(sound.Regsvr32(L"/s") == 0, sound.Regsvr32Result());
    const std::vector<BYTE> real = RealFilterData();
    if (real.size() != 160) return CheckFailed(__FILE__, __LINE__, "a real FilterData of 160 bytes", Format(L"%u bytes", (unsigned)real.size()));
    // Cut as a failed installer leaves it, and whole but with the major type
    // offset of the second pin's media type far past the end.
    std::vector<BYTE> farOffset = real;
    farOffset[16 + 24 + 16 + 24 + 8 + 3] = 0x7F;
    std::vector<std::unique_ptr<DamagedFilter>> damaged;
    for (std::size_t size : {4, 47, 64, 80}) {
        damaged.push_back(std::make_unique<DamagedFilter>(Format(L"%u", (unsigned)size),
                                                          std::vector<BYTE>(real.begin(), real.begin() + size),
                                                          sound.dllPath));
    }
    damaged.push_back(std::make_unique<DamagedFilter>(L"offset", farOffset, sound.dllPath));

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    // A sound codec of the same category shows its merit; the damaged one opens too, its merit unknown.
    std::wstring merit = ManagedMeritText(program, sound.name, L"damaged-data-sound-codec");
    CHECK(merit == L"Средний (MERIT_NORMAL)", merit);
    merit = ManagedMeritText(program, damaged[1]->name, L"damaged-data-manage");
    CHECK(merit == L"Не определен", merit);

    // Two entries of one name, the damaged one enumerated first: the dialog
    // manages that one, and a new merit reaches neither, with no backup.
    {
        RegistryScratch twins;
        const std::wstring twinName = L"Vantrel Damaged Twin " + NewGuidText().substr(1, 8);
        const std::wstring damagedTwin = std::wstring(kLegacyInstance) + L"{00000000" + NewGuidText().substr(9);
        const std::wstring wholeTwin = std::wstring(kLegacyInstance) + L"{FFFFFFFF" + NewGuidText().substr(9);
        for (const std::wstring* entry : {&damagedTwin, &wholeTwin}) {
            const std::vector<BYTE> data = entry == &damagedTwin ? std::vector<BYTE>(real.begin(), real.begin() + 47) : real;
            twins.Own(*entry);
            twins.SetText(*entry, L"FriendlyName", twinName);
            twins.SetText(*entry, L"CLSID", sound.classId);
            twins.SetBytes(*entry, L"FilterData", data.data(), static_cast<DWORD>(data.size()));
        }
        const RegistrySnapshot before = TreeSnapshot(damagedTwin), wholeBefore = TreeSnapshot(wholeTwin);
        const std::vector<std::wstring> backupsBefore = BackupFiles();
        program.PostCommand(IDM_REFRESH);
        program.Settle();
        const int index = program.RowIndex(twinName);
        CHECK(index >= 0, Joined(program.ListRows()));
        if (index >= 0) program.DoubleClickRow(index);
        HWND manage = program.WaitForDialog(kManageTitle);
        if (!manage) return CheckFailed(__FILE__, __LINE__, "management dialog", program.Dialogs());
        CHECK(ControlText(manage, IDC_MERIT_TEXT) == L"Не определен", ControlText(manage, IDC_MERIT_TEXT));
        PressButton(manage, IDC_CHANGE_MERIT);
        HWND meritDialog = program.WaitForDialog(kMeritTitle);
        if (!meritDialog) return CheckFailed(__FILE__, __LINE__, "merit dialog", program.Dialogs());
        PressButton(meritDialog, IDC_MERIT_DO_NOT_USE);
        program.Settle();
        PressButton(meritDialog, IDOK);
        HWND box = WaitForMessageBox(program, {manage, meritDialog});
        const std::wstring said = box ? MessageBoxText(box) : program.Dialogs();
        CHECK(said == L"Не удалось изменить приоритет (Неопознанная ошибка)\n", said);
        if (box) PressButton(box, IDOK);
        CHECK(program.WaitDialogGone(meritDialog), program.Dialogs());
        CHECK(TreeSnapshot(damagedTwin) == before && TreeSnapshot(wholeTwin) == wholeBefore,
              SnapshotDifference(wholeBefore, TreeSnapshot(wholeTwin)));
        CHECK(BackupFiles() == backupsBefore, Joined(BackupFiles()));
        PressButton(manage, IDOK);
        program.WaitDialogGone(manage);
    }

    // The scan offers each damaged one for management; Yes opens the dialog.
    std::wstring managed;
    const std::vector<Prompt> prompts = RunScan(
        program,
        [&](const Prompt& prompt, HWND) {
            if (prompt.caption != damaged[4]->object) return IDNO;
            LookPoint(L"damaged-data-scan-prompt");
            return IDYES;
        },
        [&](HWND dialog) {
            managed = ControlText(dialog, IDC_FRIENDLY_NAME);
            PressButton(dialog, IDOK);
        });
    for (const auto& filter : damaged) CHECK(Seen(prompts, filter->object, kManageQuestion), Listed(prompts));
    CHECK(managed == damaged[4]->name, managed);
    for (const Prompt& prompt : prompts) CHECK(prompt.caption != sound.object, Listed(prompts));

    PostMessageW(program.mainWindow, WM_CLOSE, 0, 0);
    const int code = program.WaitExit(10000);
    CHECK(code == 0, Format(L"%d", code));
}
