// Codec management with the real test codec DLL and the system's regsvr32:
// registering, the management dialog, merit changes, checks, unregistering
// and deleting registry entries.
#include "test_codec.h"

#include <dlgs.h>

#include <algorithm>

namespace {

// Answers the message box that appears next (a dialog other than the known
// ones) with the button `answer`; returns its text.
std::wstring AnswerBox(const ProgramUnderTest& program, int answer, std::initializer_list<HWND> known,
                       std::wstring* caption = nullptr) {
    HWND box = WaitForMessageBox(program, known);
    if (!box) return L"(no message box)";
    const std::wstring text = MessageBoxText(box);
    if (caption) *caption = WindowText(box);
    PressButton(box, answer);
    program.WaitDialogGone(box);
    return text;
}

// What the deletion says when keys stayed: the box "Удаление не завершено",
// owned by the management dialog, naming the keys left and the cause.
std::wstring KeysLeftText(const std::vector<std::wstring>& paths, const std::wstring& cause) {
    std::wstring text = L"Не все записи кодека удалось удалить из реестра. Остались:";
    for (const std::wstring& path : paths) text += L"\nHKEY_CLASSES_ROOT\\" + path;
    return text + L"\n" + cause;
}
const wchar_t kLinkCause[] = L"Раздел является ссылкой реестра; программа ссылки не удаляет.";

// Answers the box about the keys left with OK; returns its text, or what is on screen.
std::wstring AnswerKeysLeft(const ProgramUnderTest& program, HWND manage) {
    HWND box = program.WaitForDialog(L"Удаление не завершено");
    if (!box) return program.Dialogs();
    const std::wstring text = MessageBoxText(box);
    CHECK(GetWindow(box, GW_OWNER) == manage, L"owned by " + WindowText(GetWindow(box, GW_OWNER)));
    PressButton(box, IDOK);
    program.WaitDialogGone(box);
    return text;
}

}  // namespace

SCENARIO(register_new_codec) {
    TestCodec codec(L"Vantrel Fresh Codec");
    // A "regsvr32.exe" planted beside the program and in its current directory
    // (here this driver under that name, which registers nothing) must never
    // be the one started.
    ScratchFolder current(L"Vantrel planted");
    wchar_t driver[MAX_PATH];
    GetModuleFileNameW(nullptr, driver, MAX_PATH);
    CHECK(CopyFileW(driver, (current.path + L"\\regsvr32.exe").c_str(), FALSE), Format(L"error %lu", GetLastError()));
    const std::wstring copiedExe = current.path + L"\\PelmoraVantrel.exe";
    CHECK(CopyFileW(exePath.c_str(), copiedExe.c_str(), FALSE), Format(L"error %lu", GetLastError()));
    ProgramUnderTest program;
    if (!program.Start(copiedExe, current.path)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());

    // Cancelling starts nothing.
    program.PostCommand(IDM_REGISTER_NEW);
    HWND open = program.WaitForDialog(L"Выберите кодек для регистрации");
    CHECK(open != nullptr, program.Dialogs());
    if (!open) return;
    LookPoint(L"open-file-dialog");
    HWND types = GetDlgItem(open, cmb1);
    CHECK(SendMessageW(types, CB_GETCURSEL, 0, 0) == 0, Format(L"%d", (int)SendMessageW(types, CB_GETCURSEL, 0, 0)));
    CHECK(SendMessageW(types, CB_GETCOUNT, 0, 0) == 4, Format(L"%d", (int)SendMessageW(types, CB_GETCOUNT, 0, 0)));
    wchar_t typeText[128] = {};
    SendMessageW(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(typeText));
    CHECK(std::wstring(typeText) == L"All files", typeText);
    SendMessageW(types, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(typeText));
    CHECK(std::wstring(typeText) == L"All supported types (*.dll;*.ax)", typeText);
    PressButton(open, IDCANCEL);
    CHECK(program.WaitDialogGone(open), program.Dialogs());
    program.Settle();
    CHECK(!KeyExists(codec.ClassKey()), codec.ClassKey());
    CHECK(program.RowIndex(codec.name) < 0, Joined(program.ListRows()));

    // Choosing the file registers it through regsvr32 and refreshes the list.
    program.PostCommand(IDM_REGISTER_NEW);
    open = program.WaitForDialog(L"Выберите кодек для регистрации");
    if (!open) return CheckFailed(__FILE__, __LINE__, "open-file dialog again", program.Dialogs());
    HWND fileName = GetDlgItem(open, edt1);
    if (!fileName) fileName = GetDlgItem(open, cmb13);
    SendMessageW(fileName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(codec.dllPath.c_str()));
    PressButton(open, IDOK);
    CHECK(program.WaitDialogGone(open), program.Dialogs());
    CHECK(program.WaitForRow(codec.name, true, 15000), Joined(program.ListRows()));
    CHECK(KeyExists(codec.InstancePath()), codec.InstancePath());
}

SCENARIO(manage_codec_and_merit) {
    TestCodec codec(L"Vantrel Managed Codec");
    CHECK(codec.Regsvr32(L"/s") == 0, codec.Regsvr32Result());
    ProgramUnderTest program;
    HWND manage = OpenManagement(program, codec.name, exePath);
    if (!manage) return;
    CHECK(ControlText(manage, IDC_FRIENDLY_NAME) == codec.name, ControlText(manage, IDC_FRIENDLY_NAME));
    CHECK(ControlText(manage, IDC_OBJECT_NAME) == codec.object, ControlText(manage, IDC_OBJECT_NAME));
    CHECK(ControlText(manage, IDC_CLASS_ID) == codec.classId, ControlText(manage, IDC_CLASS_ID));
    CHECK(ControlText(manage, IDC_SERVER_PATH) == codec.dllPath, ControlText(manage, IDC_SERVER_PATH));
    CHECK(ControlText(manage, IDC_MERIT_TEXT) == L"Средний (MERIT_NORMAL)", ControlText(manage, IDC_MERIT_TEXT));
    LookPoint(L"manage-dialog");

    // A preset and OK: the registry holds the new merit word and the dialog shows it.
    // (The value of each preset button is the component test's.)
    PressButton(manage, IDC_CHANGE_MERIT);
    HWND merit = program.WaitForDialog(kMeritTitle);
    if (!merit) return CheckFailed(__FILE__, __LINE__, "merit dialog", program.Dialogs());
    CHECK(ControlText(merit, IDC_MERIT_NUMBER) == L"0x00600000", ControlText(merit, IDC_MERIT_NUMBER));
    LookPoint(L"merit-dialog");
    PressButton(merit, IDC_MERIT_DO_NOT_USE);
    program.Settle();
    CHECK(ControlText(merit, IDC_MERIT_NUMBER) == L"0x00200000", ControlText(merit, IDC_MERIT_NUMBER));
    PressButton(merit, IDOK);
    CHECK(program.WaitDialogGone(merit), program.Dialogs());
    program.Settle();
    CHECK(FilterDataMerit(codec.InstancePath()) == L"0x00200000", FilterDataMerit(codec.InstancePath()));
    CHECK(ControlText(manage, IDC_MERIT_TEXT) == L"Отключен (MERIT_DO_NOT_USE)", ControlText(manage, IDC_MERIT_TEXT));

    // A typed value with OK.
    PressButton(manage, IDC_CHANGE_MERIT);
    merit = program.WaitForDialog(kMeritTitle);
    if (!merit) return CheckFailed(__FILE__, __LINE__, "merit dialog", program.Dialogs());
    SendMessageW(GetDlgItem(merit, IDC_MERIT_NUMBER), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"0x00123456"));
    PressButton(merit, IDOK);
    CHECK(program.WaitDialogGone(merit), program.Dialogs());
    program.Settle();
    CHECK(FilterDataMerit(codec.InstancePath()) == L"0x00123456", FilterDataMerit(codec.InstancePath()));
    CHECK(ControlText(manage, IDC_MERIT_TEXT) == L"0x00123456", ControlText(manage, IDC_MERIT_TEXT));

    // An empty text warns and keeps the dialog open; "Отмена" and Esc write nothing.
    PressButton(manage, IDC_CHANGE_MERIT);
    merit = program.WaitForDialog(kMeritTitle);
    if (!merit) return CheckFailed(__FILE__, __LINE__, "merit dialog", program.Dialogs());
    SendMessageW(GetDlgItem(merit, IDC_MERIT_NUMBER), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    PressButton(merit, IDOK);
    const std::wstring warning = AnswerBox(program, IDOK, {manage, merit});
    CHECK(warning == L"Нужно ввести правильное шестнадцатеричное число с префиксом 0\u0445, или выбрать "
                     L"предопределенное значение",
          warning);
    program.Settle();
    CHECK(IsWindowVisible(merit), program.Dialogs());
    PressButton(merit, IDC_MERIT_PREFERRED);
    PressButton(merit, IDCANCEL);
    CHECK(program.WaitDialogGone(merit), program.Dialogs());
    PressButton(manage, IDC_CHANGE_MERIT);
    merit = program.WaitForDialog(kMeritTitle, 10000);
    if (!merit) return CheckFailed(__FILE__, __LINE__, "merit dialog", program.Dialogs());
    PressButton(merit, IDC_MERIT_PREFERRED);
    program.Settle();
    program.PressKey(VK_ESCAPE);
    CHECK(program.WaitDialogGone(merit), program.Dialogs());
    program.Settle();
    CHECK(FilterDataMerit(codec.InstancePath()) == L"0x00123456", FilterDataMerit(codec.InstancePath()));

    // Esc leaves the management dialog open; OK closes it.
    program.PressKey(VK_ESCAPE);
    program.Settle();
    CHECK(IsWindowVisible(manage), program.Dialogs());
    PressButton(manage, IDOK);
    CHECK(program.WaitDialogGone(manage), program.Dialogs());
}

SCENARIO(check_server_file) {
    TestCodec codec(L"Vantrel Checked Codec", L"none");
    CHECK(codec.Regsvr32(L"/s") == 0, codec.Regsvr32Result());
    ProgramUnderTest program;
    HWND manage = OpenManagement(program, codec.name, exePath);
    if (!manage) return;
    PressButton(manage, IDC_CHECK_FILE);
    std::wstring caption;
    std::wstring text = AnswerBox(program, IDOK, {manage}, &caption);
    CHECK(text == L"Кодек зарегистрирован корректно", text);
    CHECK(caption == L"Результат проверки", caption);

    CHECK(DeleteFileW(codec.dllPath.c_str()), Format(L"error %lu", GetLastError()));
    PressButton(manage, IDC_CHECK_FILE);
    text = AnswerBox(program, IDOK, {manage}, &caption);
    CHECK(text == L"Возможно, кодек зарегистрирован некорректно", text);
    CHECK(IsWindowVisible(manage), program.Dialogs());
    PressButton(manage, IDOK);
}

SCENARIO(unregister_codec) {
    TestCodec codec(L"Vantrel Unregistered Codec");
    CHECK(codec.Regsvr32(L"/s") == 0, codec.Regsvr32Result());
    // Registered through an environment variable, as system codecs often are:
    // regsvr32 must be given the path that the variable points to.
    SetEnvironmentVariableW(L"VANTREL_CODEC_DIR", codec.folder.path.c_str());
    const std::wstring variablePath = L"%VANTREL_CODEC_DIR%" + codec.dllPath.substr(codec.folder.path.size());
    CHECK(WriteText(codec.ClassKey() + L"\\InprocServer32", nullptr, variablePath, REG_EXPAND_SZ), variablePath);
    ProgramUnderTest program;
    HWND manage = OpenManagement(program, codec.name, exePath);
    if (!manage) return;

    PressButton(manage, IDC_UNREGISTER);
    std::wstring caption;
    std::wstring question = AnswerBox(program, IDNO, {manage}, &caption);
    CHECK(caption == kConfirmTitle, caption);
    CHECK(question.find(L"Данная операция удалит из системы все записи о выбранном кодеке") == 0, question);
    program.Settle();
    CHECK(IsWindowVisible(manage), program.Dialogs());
    CHECK(KeyExists(codec.InstancePath()), codec.InstancePath());

    PressButton(manage, IDC_UNREGISTER);
    AnswerBox(program, IDYES, {manage});
    CHECK(program.WaitDialogGone(manage), program.Dialogs());
    const auto left = [&] {
        std::vector<std::wstring> keys;
        for (const std::wstring& key : {codec.InstancePath(), codec.ClassKey()}) {
            if (KeyExists(key)) keys.push_back(key);
        }
        return keys;
    };
    CHECK(WaitUntil([&] { return left().empty(); }), L"still there: " + Joined(left()));
    program.PostCommand(IDM_REFRESH);
    CHECK(program.WaitForRow(codec.name, false), Joined(program.ListRows()));
}

SCENARIO(delete_codec_entries) {
    TestCodec codec(L"Vantrel Deleted Codec", L"none");
    CHECK(codec.Regsvr32(L"/s") == 0, codec.Regsvr32Result());
    ProgramUnderTest program;
    HWND manage = OpenManagement(program, codec.name, exePath);
    if (!manage) return;

    PressButton(manage, IDC_DELETE_CODEC);
    std::wstring question = AnswerBox(program, IDNO, {manage});
    CHECK(question ==
              L"Данная операция удалит записи о кодеке из реестра. Ее следует применять только если нельзя  удалить "
              L"кодек другим способом. Вы хотите продолжить?",
          question);
    CHECK(IsWindowVisible(manage), program.Dialogs());

    const std::vector<std::wstring> before = CodecKeySnapshot();
    PressButton(manage, IDC_DELETE_CODEC);
    AnswerBox(program, IDYES, {manage});
    CHECK(program.WaitDialogGone(manage), program.Dialogs());
    CHECK(program.WaitForRow(codec.name, false), Joined(program.ListRows()));
    // Exactly the codec's class key and its Instance entry are gone.
    const std::vector<std::wstring> gone = MissingKeys(before, CodecKeySnapshot());
    std::vector<std::wstring> expected = {codec.ClassKey(), codec.InstancePath()};
    std::sort(expected.begin(), expected.end());
    CHECK(gone == expected, Joined(gone));
}

SCENARIO(delete_codec_with_broken_link) {
    // A subkey of the class key that is listed but cannot be opened (a link to
    // a missing key) stays; the deletion still ends and removes everything else.
    TestCodec codec(L"Vantrel Linked Codec", L"none");
    CHECK(codec.Regsvr32(L"/s") == 0, codec.Regsvr32Result());
    const std::wstring link = codec.ClassKey() + L"\\Broken link";
    CHECK(CreateBrokenLink(link), link);
    CHECK(WriteText(codec.ClassKey() + L"\\Pins\\Output", nullptr, L"leaf"), codec.ClassKey() + L"\\Pins\\Output");
    ProgramUnderTest program;
    HWND manage = OpenManagement(program, codec.name, exePath);
    if (manage) {
        PressButton(manage, IDC_DELETE_CODEC);
        AnswerBox(program, IDYES, {manage});
        const std::wstring said = AnswerKeysLeft(program, manage);
        CHECK(said == KeysLeftText({codec.ClassKey(), link}, kLinkCause), said);
        CHECK(program.WaitDialogGone(manage), program.Dialogs());
        CHECK(program.WaitForRow(codec.name, false), Joined(program.ListRows()));
        CHECK(!KeyExists(codec.InstancePath()), codec.InstancePath());
        const std::vector<std::wstring> left = SubkeyNames(codec.ClassKey());
        CHECK(left == std::vector<std::wstring>{L"Broken link"}, Joined(left));
    }
    CHECK(DeleteLink(link), link);
}

SCENARIO(delete_codec_with_link_to_other_codec) {
    // A link under the class key that points at another codec's class key: the
    // deletion leaves the link, never touches what it points to, and the backup
    // holds neither.
    TestCodec codec(L"Vantrel Linking Codec", L"none");
    CHECK(codec.Regsvr32(L"/s") == 0, codec.Regsvr32Result());
    RegistryScratch keys;
    const std::wstring otherId = NewGuidText();
    const std::wstring other = L"CLSID\\" + otherId;
    keys.Own(other);
    WriteText(other, nullptr, L"Vantrel Other Codec Object");
    WriteText(other + L"\\InprocServer32", nullptr, L"C:\\codecs\\vantrel other.ax");
    WriteText(other + L"\\InprocServer32", L"ThreadingModel", L"Both");
    WriteText(other + L"\\Pins\\Output", L"Types", L"leaf");
    const RegistrySnapshot before = TreeSnapshot(other);
    ScratchLink link(codec.ClassKey() + L"\\Other codec", other);
    CHECK(link.made, link.path);
    ProgramUnderTest program;
    HWND manage = OpenManagement(program, codec.name, exePath);
    if (!manage) return;
    const std::vector<std::wstring> files = BackupFiles();
    PressButton(manage, IDC_DELETE_CODEC);
    AnswerBox(program, IDYES, {manage});
    // The link stays, and with it the class key: the box names both and why.
    const std::wstring said = AnswerKeysLeft(program, manage);
    CHECK(said == KeysLeftText({codec.ClassKey(), link.path}, kLinkCause), said);
    CHECK(program.WaitDialogGone(manage), program.Dialogs());
    CHECK(program.WaitForRow(codec.name, false), Joined(program.ListRows()));
    const std::wstring difference = SnapshotDifference(before, TreeSnapshot(other));
    CHECK(difference.empty(), other + L": " + difference);
    CHECK(!KeyExists(codec.InstancePath()), codec.InstancePath());
    const std::vector<std::wstring> left = SubkeyNames(codec.ClassKey());
    CHECK(left == std::vector<std::wstring>{L"Other codec"}, Joined(left));
    const std::wstring backup = WaitForNewBackup(files);
    const std::wstring text = RegFileText(backup);
    CHECK(text.find(codec.classId) != std::wstring::npos, L"no backup of the codec: " + backup);
    CHECK(text.find(otherId) == std::wstring::npos && text.find(L"Other codec") == std::wstring::npos,
          L"the backup holds the link or what it points to: " + text.substr(0, 400));
}

SCENARIO(delete_codec_with_link_to_itself) {
    // A link under the class key back to the class key: the deletion ends,
    // leaves the link (and so the class key), and the program answers.
    TestCodec codec(L"Vantrel Self-linked Codec", L"none");
    CHECK(codec.Regsvr32(L"/s") == 0, codec.Regsvr32Result());
    CHECK(WriteText(codec.ClassKey() + L"\\Pins\\Output", nullptr, L"leaf"), codec.ClassKey());
    ScratchLink link(codec.ClassKey() + L"\\Itself", codec.ClassKey());
    CHECK(link.made, link.path);
    ProgramUnderTest program;
    HWND manage = OpenManagement(program, codec.name, exePath);
    if (!manage) return;
    PressButton(manage, IDC_DELETE_CODEC);
    AnswerBox(program, IDYES, {manage});
    const std::wstring said = AnswerKeysLeft(program, manage);
    CHECK(said == KeysLeftText({codec.ClassKey(), link.path}, kLinkCause), said);
    // A program that hangs would block every message sent to it: nothing is
    // sent before it has shown that it is still there and done.
    const bool ended = program.WaitDialogGone(manage, 20000) && program.Running();
    CHECK(ended, L"20 s after Yes the program is " + program.State() +
                     (IsWindowVisible(manage) ? L", the management dialog still open" : L""));
    if (!ended) return;
    if (!program.Settle()) return CheckFailed(__FILE__, __LINE__, "program.Settle()", L"the program does not answer");
    CHECK(program.WaitForRow(codec.name, false), Joined(program.ListRows()));
    CHECK(!KeyExists(codec.InstancePath()), codec.InstancePath());
    const std::vector<std::wstring> left = SubkeyNames(codec.ClassKey());
    CHECK(left == std::vector<std::wstring>{L"Itself"}, Joined(left));
}

SCENARIO(management_messages) {
    ProgramUnderTest program;
    RegistryScratch keys;
    // An Instance entry whose class has no key, and one whose CLSID value is empty.
    const std::wstring orphanName = L"Vantrel Orphan " + NewGuidText().substr(1, 8);
    const std::wstring orphanEntry = kLegacyInstance + NewGuidText();
    keys.Own(orphanEntry);
    WriteText(orphanEntry, L"FriendlyName", orphanName);
    WriteText(orphanEntry, L"CLSID", NewGuidText());
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());

    program.PostCommand(IDM_MANAGE);
    std::wstring caption;
    std::wstring text = AnswerBox(program, IDOK, {}, &caption);
    CHECK(text == L"Не выбран кодек", text);

    const int row = program.RowIndex(orphanName);
    CHECK(row >= 0, Joined(program.ListRows()));
    if (row >= 0) {
        program.DoubleClickRow(row);
        text = AnswerBox(program, IDOK, {});
        CHECK(text == L"Невозможно активировать управление для данного кодека:\nДанные в реестре повреждены", text);
    }

    // Video compressors of this runtime are found under no Instance key of HKEY_CLASSES_ROOT.
    program.ChooseCategory(3);
    program.Settle();
    CHECK(!program.ListRows().empty(), L"no rows");
    SendMessageW(program.list, LB_SETCURSEL, 0, 0);
    program.PostCommand(IDM_MANAGE);
    text = AnswerBox(program, IDOK, {});
    CHECK(text == L"Невозможно активировать управление для данного кодека:\nТип кодека не поддерживается", text);
    program.Settle();
    CHECK(program.FindDialog(kManageTitle) == nullptr, program.Dialogs());
}

SCENARIO(register_system_codecs) {
    // Remove the registration of "File Source (Async.)", which quartz.dll brings back.
    std::wstring entry;
    for (const std::wstring& name : SubkeyNames(kLegacyInstance)) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (kLegacyInstance + name).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        wchar_t value[256] = {};
        DWORD size = sizeof(value) - sizeof(wchar_t);
        if (RegQueryValueExW(key, L"FriendlyName", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
                ERROR_SUCCESS &&
            std::wstring(value) == L"File Source (Async.)") {
            entry = kLegacyInstance + name;
        }
        RegCloseKey(key);
    }
    CHECK(!entry.empty(), L"no legacy Instance entry of that name");
    if (entry.empty()) return;
    DeleteTree(entry);
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    PostMessageW(program.checkBox, BM_CLICK, 0, 0);
    CHECK(program.WaitForRow(L"Null Renderer", true), Joined(program.ListRows()));
    CHECK(program.RowIndex(L"File Source (Async.)") < 0, Joined(program.ListRows()));
    program.PostCommand(IDM_REGISTER_MAIN);
    CHECK(program.WaitForRow(L"File Source (Async.)", true, 60000), Joined(program.ListRows()));
    CHECK(KeyExists(entry), entry);
    CHECK(program.Running(), program.State());
}
