// Explorer's handlers of media files: command 40047 and dialog 138, with
// handlers planted for extensions of their own (PerceivedType "video", or a
// Content Type "audio/..."), in the user's classes and the machine's, at each
// place of the shell's lookup, each judged without being loaded.
#include "list_view_rows.h"
#include "test_codec.h"

#include <algorithm>

namespace {

const wchar_t kShellTitle[] = L"Обработчики файлов Проводника";
const wchar_t kThumbnailKey[] = L"{E357FCCD-A995-4576-B01F-234630154E96}";
const wchar_t kExtractImageKey[] = L"{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}";
const wchar_t kPreviewKey[] = L"{8895B1C6-B41F-4C1C-A562-0D564250836F}";
const wchar_t kPropertyHandlers[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers";
const wchar_t kBlocked[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked";
const wchar_t kApproved[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const wchar_t kExplorerPolicy[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const wchar_t kUserClasses[] = L"Software\\Classes\\";
const wchar_t kMachineClasses[] = L"Software\\Classes\\";

enum ShellColumn { kShellExtension, kShellKind, kShellState, kShellHandler, kShellFile, kShellWhere, kShellColumns };

// Keys written for one scenario under a root, in a view (0: the driver's
// own), each removed with its subtree at the end (last first).
struct PlantedKeys {
    struct Owned {
        HKEY root;
        std::wstring path;
        REGSAM view;
        bool operator==(const Owned&) const = default;
    };
    std::vector<Owned> owned;
    PlantedKeys() = default;
    PlantedKeys(const PlantedKeys&) = delete;
    PlantedKeys& operator=(const PlantedKeys&) = delete;
    ~PlantedKeys() {
        for (auto at = owned.rbegin(); at != owned.rend(); ++at) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(at->root, at->path.c_str(), 0, KEY_ALL_ACCESS | at->view, &key) == ERROR_SUCCESS) {
                RegDeleteTreeW(key, nullptr);
                RegCloseKey(key);
            }
            RegDeleteKeyExW(at->root, at->path.c_str(), at->view, 0);
        }
    }
    // Writes a text value (name null: the default value), owning the key.
    void Text(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value, REGSAM view = 0) {
        Own(root, path, view);
        HKEY key = nullptr;
        LONG status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr);
        if (status == ERROR_SUCCESS) {
            status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
        CHECK(status == ERROR_SUCCESS, path);
    }
    void Own(HKEY root, const std::wstring& path, REGSAM view = 0) {
        const Owned key{root, path, view};
        if (std::find(owned.begin(), owned.end(), key) == owned.end()) owned.push_back(key);
    }
};

// A value of an existing key of the machine or the user, removed at the end.
struct PlantedHandlerValue {
    HKEY root;
    std::wstring path, name;
    PlantedHandlerValue(HKEY at, const std::wstring& key, const std::wstring& valueName, const void* data, DWORD size,
                 DWORD type)
        : root(at), path(key), name(valueName) {
        CHECK(RegSetKeyValueW(root, path.c_str(), name.c_str(), type, data, size) == ERROR_SUCCESS, path + L": " + name);
    }
    ~PlantedHandlerValue() { RegDeleteKeyValueW(root, path.c_str(), name.c_str()); }
};

// A registry link under HKEY_LOCAL_MACHINE (the driver's own view) to another
// key of the machine, named below SOFTWARE; removed (the link alone) at the end.
struct MachineLink {
    std::wstring path;
    bool made = false;
    MachineLink(const std::wstring& at, const std::wstring& targetBelowSoftware) : path(at) {
        HKEY link = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                            KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr) != ERROR_SUCCESS) {
            return;
        }
        const std::wstring target = std::wstring(L"\\Registry\\Machine\\SOFTWARE\\") +
                                    (sizeof(void*) == 4 ? L"Wow6432Node\\" : L"") + targetBelowSoftware;
        made = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                              static_cast<DWORD>(target.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
        RegCloseKey(link);
    }
    ~MachineLink() {
        using NtDeleteKeyFunction = LONG(WINAPI*)(HANDLE);
        const auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFunction>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
        HKEY link = nullptr;
        if (ntDeleteKey && RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS,
                                         &link) == ERROR_SUCCESS) {
            ntDeleteKey(link);
            RegCloseKey(link);
        }
    }
};

// A handler's class in the machine's classes of a view: its name and server
// file; under a fresh class id unless one is given.
std::wstring PlantClass(PlantedKeys& keys, const std::wstring& name, const std::wstring& file, REGSAM view = 0,
                        const std::wstring& givenClassId = NewGuidText()) {
    const std::wstring classId = givenClassId;
    keys.Text(HKEY_LOCAL_MACHINE, kMachineClasses + std::wstring(L"CLSID\\") + classId, nullptr, name, view);
    keys.Text(HKEY_LOCAL_MACHINE, kMachineClasses + std::wstring(L"CLSID\\") + classId + L"\\InprocServer32", nullptr,
              file, view);
    return classId;
}

HWND OpenShellHandlers(const ProgramUnderTest& program) {
    program.PostCommand(IDM_SHELL_HANDLERS);
    HWND dialog = program.WaitForDialog(kShellTitle);
    CHECK(dialog != nullptr, L"no dialog 138: " + program.Dialogs());
    return dialog;
}

Table ShellRows(const ProgramUnderTest& program, HWND dialog) {
    program.Settle();
    return ListViewRows(GetDlgItem(dialog, IDC_SHELL_LIST), program.processId, kShellColumns);
}

// The row of the extension and kind, or -1.
int ShellRow(const Table& rows, const std::wstring& extension, const std::wstring& kind) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i][kShellExtension] == extension && rows[i][kShellKind] == kind) return static_cast<int>(i);
    }
    return -1;
}

// "<state> | <handler> | <file>" of a row, and the key it was found in.
std::wstring ShellRowText(const Table& rows, const std::wstring& extension, const std::wstring& kind) {
    const int at = ShellRow(rows, extension, kind);
    if (at < 0) return L"(no row " + extension + L" " + kind + L")";
    const auto& row = rows[static_cast<std::size_t>(at)];
    return row[kShellState] + L" | " + row[kShellHandler] + L" | " + row[kShellFile];
}

std::wstring ShellWhere(const Table& rows, const std::wstring& extension, const std::wstring& kind) {
    const int at = ShellRow(rows, extension, kind);
    return at < 0 ? L"(no row)" : rows[static_cast<std::size_t>(at)][kShellWhere];
}

// The details the dialog shows for the row, selected.
std::wstring ShellDetails(const ProgramUnderTest& program, HWND dialog, const Table& rows,
                          const std::wstring& extension, const std::wstring& kind) {
    const int at = ShellRow(rows, extension, kind);
    if (at < 0) return L"(no row)";
    SetListViewRowSelected(GetDlgItem(dialog, IDC_SHELL_LIST), program.processId, at, true);
    program.Settle();
    return ControlText(dialog, IDC_SHELL_DETAILS);
}

bool EndsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() && _wcsicmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

// Closes the dialog and opens it again, so that it reads the registry afresh.
HWND Reopen(const ProgramUnderTest& program, HWND dialog) {
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    program.WaitDialogGone(dialog);
    return OpenShellHandlers(program);
}

// The names and texts of the values of a key of the machine (or the user), sorted.
std::vector<std::wstring> ValuesOf(HKEY root, const std::wstring& path, REGSAM view = 0) {
    std::vector<std::wstring> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        BYTE data[1024] = {};
        DWORD nameLength = 256, size = sizeof(data) - sizeof(wchar_t), type = 0;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        values.push_back(std::wstring(name) + L"=" + (type == REG_SZ ? reinterpret_cast<const wchar_t*>(data) : L"?"));
    }
    RegCloseKey(key);
    std::sort(values.begin(), values.end());
    return values;
}

// Selects the row of the extension and kind, presses a button of the dialog,
// and answers the question that follows with Yes; the question's text ("" when none came).
std::wstring PressForRow(const ProgramUnderTest& program, HWND dialog, const std::wstring& extension,
                         const std::wstring& kind, int button) {
    const Table rows = ShellRows(program, dialog);
    const int at = ShellRow(rows, extension, kind);
    if (at < 0) return CheckFailed(__FILE__, __LINE__, "row listed", TableText(rows)), L"";
    SelectListViewRow(GetDlgItem(dialog, IDC_SHELL_LIST), program.processId, at);
    program.Settle();
    PressButton(dialog, button);
    HWND question = WaitForMessageBox(program, {dialog});
    if (!question) return CheckFailed(__FILE__, __LINE__, "a question", program.Dialogs()), L"";
    const std::wstring text = WindowText(question) + L": " + MessageBoxText(question);
    PressButton(question, IDYES);
    CHECK(program.WaitDialogGone(question), program.Dialogs());
    return text;
}

// Restores a backup from dialog 134, answering its question with Yes; the restore's own backup.
std::wstring RestoreThroughBackupsDialog(const ProgramUnderTest& program, const std::wstring& backup) {
    const std::vector<std::wstring> before = BackupFiles();
    program.PostCommand(IDM_REGISTRY_BACKUPS);
    HWND dialog = program.WaitForDialog(L"Резервные копии реестра");
    if (!dialog) return CheckFailed(__FILE__, __LINE__, "dialog 134", program.Dialogs()), L"";
    HWND list = GetDlgItem(dialog, IDC_BACKUP_LIST);
    const Table rows = ListViewRows(list, program.processId, 4);
    const std::wstring file = backup.substr(backup.rfind(L'\\') + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i][3] == file) SelectListViewRow(list, program.processId, static_cast<int>(i));
    }
    PressButton(dialog, IDC_BACKUP_RESTORE);
    HWND question = WaitForMessageBox(program, {dialog});
    CHECK(question && MessageBoxText(question).rfind(L"Восстановить записи реестра из резервной копии?", 0) == 0,
          program.Dialogs());
    if (question) PressButton(question, IDYES);
    const std::wstring own = WaitForNewBackup(before);
    CHECK(!own.empty(), L"the restore took no backup: " + program.Dialogs());
    program.Settle();
    PressButton(dialog, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog), program.Dialogs());
    return own;
}
}  // namespace

// The shell's lookup, one place at a time from its last: each place found
// while those before it are empty, the first place winning over the later
// ones (named in the row's details), the user's classes over the machine's;
// the extensions of video and audio files only; a link in the way not gone
// through; each state judged without loading (no class key, no file, a DLL
// missing, turned off, not approved); the rows with a problem first, the state
// column on screen.
SCENARIO(shell_handlers_found_where_explorer_looks) {
    const std::wstring tag = NewGuidText().substr(1, 8);
    const std::wstring ext = L".vantrel" + tag, audioExt = L".vantrela" + tag, textExt = L".vantrelt" + tag;
    const std::wstring linkedExt = L".vantrell" + tag, progId = L"Vantrel.Video." + tag;
    const std::wstring machine = kMachineClasses;
    const CopiedFiles files(L"Vantrel_shell", {DriverCodecDll(), MissingImportDll(L"vantrel_needs_absent.dll")}, L"_");
    const std::wstring sound = files.Path(L"vantrel_drivercodec.dll");
    PlantedKeys keys;
    keys.Text(HKEY_LOCAL_MACHINE, machine + ext, nullptr, progId);
    keys.Text(HKEY_LOCAL_MACHINE, machine + ext, L"PerceivedType", L"video");
    keys.Text(HKEY_LOCAL_MACHINE, machine + audioExt, L"Content Type", L"audio/x-vantrel");
    keys.Text(HKEY_LOCAL_MACHINE, machine + textExt, L"PerceivedType", L"text");
    keys.Text(HKEY_LOCAL_MACHINE, machine + linkedExt, L"PerceivedType", L"video");
    keys.Own(HKEY_LOCAL_MACHINE, machine + progId);
    keys.Own(HKEY_LOCAL_MACHINE, machine + L"SystemFileAssociations\\" + ext);
    // The places in the shell's order, and a handler of its own for each.
    const std::wstring places[] = {progId, ext, L"SystemFileAssociations\\" + ext, L"SystemFileAssociations\\video", L"*",
                                   L"AllFileSystemObjects"};
    std::wstring names[6], ids[6];
    for (int i = 0; i < 6; ++i) {
        names[i] = L"Vantrel place " + std::to_wstring(i) + L" " + tag;
        ids[i] = PlantClass(keys, names[i], sound);
    }

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    HWND dialog = OpenShellHandlers(program);
    if (!dialog) return;
    CHECK(GetWindow(dialog, GW_OWNER) == program.mainWindow && !IsWindowEnabled(program.mainWindow),
          L"dialog 138 is not modal to the main window");
    CHECK(ListViewHeadings(GetDlgItem(dialog, IDC_SHELL_LIST), program.processId) ==
              (std::vector<std::wstring>{L"Расширение", L"Вид", L"Состояние", L"Обработчик", L"Файл",
                                         L"Где зарегистрирован"}),
          L"headings");
    for (int i = 5; i >= 0; --i) {
        const std::wstring key = machine + places[i] + L"\\ShellEx\\" + kThumbnailKey;
        // The shared places are the machine's own keys: only the handler's key is the scenario's.
        keys.Text(HKEY_LOCAL_MACHINE, key, nullptr, ids[i]);
        dialog = Reopen(program, dialog);
        if (!dialog) return;
        const Table rows = ShellRows(program, dialog);
        CHECK(ShellRowText(rows, ext, L"эскизы") == L"в порядке | " + names[i] + L" | " + sound,
              places[i] + L": " + ShellRowText(rows, ext, L"эскизы"));
        CHECK(EndsWith(ShellWhere(rows, ext, L"эскизы"), L"\\Classes\\" + places[i] + L"\\ShellEx\\" + kThumbnailKey),
              ShellWhere(rows, ext, L"эскизы"));
        // Every later place's handler named as never reached.
        const std::wstring details = ShellDetails(program, dialog, rows, ext, L"эскизы");
        for (int later = i + 1; later < 6; ++later) {
            CHECK(details.find(names[later] + L" (") != std::wstring::npos, places[i] + L": " + details);
        }
        CHECK(details.find(names[i] + L" (") == std::wstring::npos, details);
    }
    // The user's classes over the machine's, at the first place.
    const std::wstring userName = L"Vantrel user " + tag;
    const std::wstring userId = NewGuidText();
    keys.Text(HKEY_CURRENT_USER, kUserClasses + std::wstring(L"CLSID\\") + userId, nullptr, userName);
    keys.Text(HKEY_CURRENT_USER, kUserClasses + std::wstring(L"CLSID\\") + userId + L"\\InprocServer32", nullptr, sound);
    keys.Text(HKEY_CURRENT_USER, kUserClasses + progId + L"\\ShellEx\\" + kThumbnailKey, nullptr, userId);
    keys.Own(HKEY_CURRENT_USER, kUserClasses + progId);
    // The states, each of another kind or extension; a text file's handler and
    // one behind a link are not listed.
    keys.Text(HKEY_LOCAL_MACHINE, machine + ext + L"\\ShellEx\\" + kPreviewKey, nullptr, NewGuidText());
    keys.Text(HKEY_LOCAL_MACHINE, machine + ext + L"\\ShellEx\\" + kExtractImageKey, nullptr,
              PlantClass(keys, L"Vantrel needs " + tag, files.Path(L"vantrel_needs_absent.dll")));
    keys.Text(HKEY_LOCAL_MACHINE, std::wstring(kPropertyHandlers) + L"\\" + ext, nullptr,
              PlantClass(keys, L"Vantrel gone " + tag, files.Path(L"gone.dll")));
    const std::wstring blockedId = PlantClass(keys, L"Vantrel blocked " + tag, sound);
    keys.Text(HKEY_LOCAL_MACHINE, machine + audioExt + L"\\ShellEx\\" + kPreviewKey, nullptr, blockedId);
    const PlantedHandlerValue blocked(HKEY_CURRENT_USER, kBlocked, blockedId, L"", sizeof(wchar_t), REG_SZ);
    keys.Text(HKEY_LOCAL_MACHINE, machine + textExt + L"\\ShellEx\\" + kPreviewKey, nullptr, ids[0]);
    keys.Own(HKEY_LOCAL_MACHINE, machine + linkedExt + L"\\ShellEx");
    const ScratchLink link(linkedExt + L"\\ShellEx\\" + kPreviewKey, audioExt + L"\\ShellEx\\" + kPreviewKey);
    CHECK(link.made, link.path);
    const std::wstring handlersBelowSoftware = std::wstring(kPropertyHandlers).substr(9);  // after "SOFTWARE\\"
    const MachineLink propertyLink(std::wstring(kPropertyHandlers) + L"\\" + linkedExt, handlersBelowSoftware + L"\\" + ext);
    CHECK(propertyLink.made, propertyLink.path);
    dialog = Reopen(program, dialog);
    if (!dialog) return;
    Table rows = ShellRows(program, dialog);
    CHECK(ShellRowText(rows, ext, L"эскизы") == L"в порядке | " + userName + L" | " + sound,
          ShellRowText(rows, ext, L"эскизы"));
    CHECK(ShellWhere(rows, ext, L"эскизы").rfind(L"HKEY_CURRENT_USER\\", 0) == 0, ShellWhere(rows, ext, L"эскизы"));
    CHECK(ShellDetails(program, dialog, rows, ext, L"эскизы").find(names[0] + L" (HKEY_LOCAL_MACHINE\\") !=
              std::wstring::npos,
          ShellDetails(program, dialog, rows, ext, L"эскизы"));
    LookPoint(L"shell-details");
    CHECK(ShellRowText(rows, ext, L"просмотр").rfind(L"нет раздела класса | ", 0) == 0,
          ShellRowText(rows, ext, L"просмотр"));
    CHECK(ShellRowText(rows, ext, L"эскизы (IExtractImage)") ==
              L"не найдена библиотека: vantrel_absent.dll (для vantrel_needs_absent.dll) | Vantrel needs " + tag +
                  L" | " + files.Path(L"vantrel_needs_absent.dll"),
          ShellRowText(rows, ext, L"эскизы (IExtractImage)"));
    CHECK(ShellRowText(rows, ext, L"свойства") == L"файл не найден | Vantrel gone " + tag + L" | " + files.Path(L"gone.dll"),
          ShellRowText(rows, ext, L"свойства"));
    CHECK(EndsWith(ShellWhere(rows, ext, L"свойства"), std::wstring(L"PropertyHandlers\\") + ext),
          ShellWhere(rows, ext, L"свойства"));
    CHECK(ShellRowText(rows, audioExt, L"просмотр") == L"отключен | Vantrel blocked " + tag + L" | " + sound,
          ShellRowText(rows, audioExt, L"просмотр"));
    CHECK(ShellRow(rows, textExt, L"просмотр") < 0 && ShellRow(rows, linkedExt, L"просмотр") < 0 &&
              ShellRow(rows, linkedExt, L"свойства") < 0,
          TableText(rows));
    // Problems first: no row in order after it is ahead of a problem.
    const int lastProblem = ShellRow(rows, ext, L"свойства");
    const int firstSound = ShellRow(rows, ext, L"эскизы");
    CHECK(lastProblem >= 0 && lastProblem < firstSound && ShellRow(rows, ext, L"просмотр") < firstSound &&
              ShellRow(rows, audioExt, L"просмотр") > ShellRow(rows, ext, L"эскизы (IExtractImage)"),
          TableText(rows));
    // The report names them in each view, the problems among the view's.
    {
        const ScratchFolder reports(L"Vantrel shell report");
        const CommandRun command = RunProgramCommand(exePath, L"/report \"" + reports.path + L"\\report.txt\"");
        const std::wstring report = Utf8FileText(reports.path + L"\\report.txt");
        std::size_t sections = 0;
        for (std::size_t at = report.find(L"\r\nОбработчики файлов Проводника ("); at != std::wstring::npos;
             at = report.find(L"\r\nОбработчики файлов Проводника (", at + 1)) {
            ++sections;
        }
        CHECK(command.exitCode >= 0 && sections == 2 &&
                  report.find(L"  Обработчики файлов Проводника: " + ext + L": свойства, Vantrel gone " + tag +
                              L" - файл не найден\r\n") != std::wstring::npos &&
                  report.find(L". " + ext + L": эскизы\r\n       Состояние:  в порядке\r\n       Обработчик: " + userName +
                              L" (" + userId + L")\r\n") != std::wstring::npos &&
                  report.find(L"Скрыты им:  " + names[0] + L" (HKEY_LOCAL_MACHINE\\") != std::wstring::npos,
              Describe(command) + L"\n" + report.substr(report.find(L"Обработчики файлов Проводника (") == std::wstring::npos
                                                                 ? 0
                                                                 : report.find(L"Обработчики файлов Проводника ("),
                                                             3000));
    }
    // The state column ends inside the list's client area, with nothing scrolled.
    HWND list = GetDlgItem(dialog, IDC_SHELL_LIST);
    RECT client{};
    GetClientRect(list, &client);
    LRESULT stateEnd = 0;
    for (int column = 0; column <= kShellState; ++column) stateEnd += SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0);
    CHECK(stateEnd <= client.right, L"state column ends at " + std::to_wstring(stateEnd) + L" of " +
                                        std::to_wstring(client.right));
    // Where the policy asks for approval, only the approved handler is in order.
    {
        const DWORD one = 1;
        const PlantedHandlerValue enforce(HKEY_CURRENT_USER, kExplorerPolicy, L"EnforceShellExtensionSecurity", &one,
                                   sizeof(one), REG_DWORD);
        const PlantedHandlerValue approved(HKEY_LOCAL_MACHINE, kApproved, userId, L"", sizeof(wchar_t), REG_SZ);
        dialog = Reopen(program, dialog);
        if (!dialog) return;
        rows = ShellRows(program, dialog);
        CHECK(ShellRowText(rows, ext, L"эскизы").rfind(L"в порядке | ", 0) == 0 &&
                  ShellRowText(rows, audioExt, L"просмотр").rfind(L"отключен | ", 0) == 0,
              TableText(rows));
        keys.Text(HKEY_LOCAL_MACHINE, machine + audioExt + L"\\ShellEx\\" + kThumbnailKey, nullptr, ids[1]);
        dialog = Reopen(program, dialog);
        if (!dialog) return;
        rows = ShellRows(program, dialog);
        CHECK(ShellRowText(rows, audioExt, L"эскизы").rfind(L"не одобрен | ", 0) == 0, TableText(rows));
    }
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    program.WaitDialogGone(dialog);
    CHECK(program.MainWindowAnswers(), program.State());
}

// "Отключить" and "Включить": a thumbnail handler's one Blocked value of the
// machine, with a backup first, taken away again by "Включить" and by the
// backup's restore in dialog 134; a property handler's default removed and
// written back byte for byte; the machine's key refused, the user's own
// offered and written instead; what Explorer makes of it said.
SCENARIO(shell_handlers_turned_off_and_on) {
    const std::wstring tag = NewGuidText().substr(1, 8);
    const std::wstring ext = L".vantrel" + tag;
    const CopiedFiles files(L"Vantrel_shell", {DriverCodecDll()}, L"_");
    const std::wstring sound = files.Path(L"vantrel_drivercodec.dll");
    PlantedKeys keys;
    keys.Text(HKEY_LOCAL_MACHINE, kMachineClasses + ext, L"PerceivedType", L"video");
    const std::wstring thumbName = L"Vantrel thumbnails " + tag, propertyName = L"Vantrel properties " + tag;
    const std::wstring thumbId = PlantClass(keys, thumbName, sound);
    const std::wstring propertyId = PlantClass(keys, propertyName, sound);
    keys.Text(HKEY_LOCAL_MACHINE, kMachineClasses + ext + L"\\ShellEx\\" + kThumbnailKey, nullptr, thumbId);
    const std::wstring propertyKey = std::wstring(kPropertyHandlers) + L"\\" + ext;
    keys.Text(HKEY_LOCAL_MACHINE, propertyKey, nullptr, propertyId);
    DWORD propertyType = 0;
    const std::vector<BYTE> propertyBefore = MachineValue(propertyKey, L"", 0, &propertyType);
    const std::vector<std::wstring> blockedBefore = ValuesOf(HKEY_LOCAL_MACHINE, kBlocked);
    const std::vector<std::wstring> userBlockedBefore = ValuesOf(HKEY_CURRENT_USER, kBlocked);
    std::vector<std::wstring> blockedOff = blockedBefore;
    blockedOff.push_back(thumbId + L"=" + thumbName);
    std::sort(blockedOff.begin(), blockedOff.end());

    RefuseKeys({L"MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions",
                L"MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions"});
    ProgramUnderTest program;
    const bool started = program.Start(exePath);
    RefuseKeys({});
    if (!started) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    HWND dialog = OpenShellHandlers(program);
    if (!dialog) return;
    std::vector<std::wstring> before = BackupFiles();
    std::wstring asked = PressForRow(program, dialog, ext, L"эскизы", IDC_SHELL_OFF);
    CHECK(asked == L"Подтвердите действие: Обработчик «" + thumbName +
                       L"» будет отключен: Проводник перестанет загружать его для всех файлов. Вы хотите продолжить?",
          asked);
    const std::wstring off = WaitForNewBackup(before);
    CHECK(!off.empty(), L"no backup: " + program.Dialogs());
    program.Settle();
    CHECK(Joined(ValuesOf(HKEY_LOCAL_MACHINE, kBlocked)) == Joined(blockedOff), Joined(ValuesOf(HKEY_LOCAL_MACHINE, kBlocked)));
    Table rows = ShellRows(program, dialog);
    CHECK(ShellRowText(rows, ext, L"эскизы").rfind(L"отключен | ", 0) == 0, ShellRowText(rows, ext, L"эскизы"));
    CHECK(ControlText(dialog, IDC_SHELL_STATUS) ==
              L"Проводник применит изменение при следующем запуске. Эскизы, уже сохраненные в кэше Проводника, "
              L"останутся до очистки кэша (программа «Очистка диска», пункт «Эскизы»).",
          ControlText(dialog, IDC_SHELL_STATUS));
    // "Включить" takes it away; the restore of its backup puts it back, and the first backup's takes it away again.
    before = BackupFiles();
    PressForRow(program, dialog, ext, L"эскизы", IDC_SHELL_ON);
    const std::wstring on = WaitForNewBackup(before);
    program.Settle();
    CHECK(Joined(ValuesOf(HKEY_LOCAL_MACHINE, kBlocked)) == Joined(blockedBefore), Joined(ValuesOf(HKEY_LOCAL_MACHINE, kBlocked)));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    program.WaitDialogGone(dialog);
    if (on.empty()) return CheckFailed(__FILE__, __LINE__, "a backup of the change", program.Dialogs());
    const std::wstring restoredOn = RestoreThroughBackupsDialog(program, on);
    CHECK(Joined(ValuesOf(HKEY_LOCAL_MACHINE, kBlocked)) == Joined(blockedOff), Joined(ValuesOf(HKEY_LOCAL_MACHINE, kBlocked)));
    const std::wstring restoredOff = RestoreThroughBackupsDialog(program, off);
    CHECK(Joined(ValuesOf(HKEY_LOCAL_MACHINE, kBlocked)) == Joined(blockedBefore), Joined(ValuesOf(HKEY_LOCAL_MACHINE, kBlocked)));

    // The property handler: its default removed, its key left, and written back from the backup byte for byte.
    dialog = OpenShellHandlers(program);
    if (!dialog) return;
    before = BackupFiles();
    asked = PressForRow(program, dialog, ext, L"свойства", IDC_SHELL_OFF);
    CHECK(asked.find(L"«" + propertyName + L"» будет отключен для расширения " + ext) != std::wstring::npos, asked);
    const std::wstring propertyOff = WaitForNewBackup(before);
    program.Settle();
    HKEY kept = nullptr;
    const bool keyKept = RegOpenKeyExW(HKEY_LOCAL_MACHINE, propertyKey.c_str(), 0, KEY_READ, &kept) == ERROR_SUCCESS;
    if (keyKept) RegCloseKey(kept);
    CHECK(MachineValue(propertyKey, L"").empty() && keyKept && ValuesOf(HKEY_LOCAL_MACHINE, propertyKey).empty(),
          Joined(ValuesOf(HKEY_LOCAL_MACHINE, propertyKey)));
    rows = ShellRows(program, dialog);
    CHECK(ShellRowText(rows, ext, L"свойства").rfind(L"отключен | " + propertyName, 0) == 0, TableText(rows));
    // Found again from its backup when the dialog is opened anew.
    dialog = Reopen(program, dialog);
    if (!dialog) return;
    rows = ShellRows(program, dialog);
    CHECK(ShellRowText(rows, ext, L"свойства").rfind(L"отключен | " + propertyName, 0) == 0 &&
              EndsWith(ShellWhere(rows, ext, L"свойства"), L"\\PropertyHandlers\\" + ext),
          TableText(rows));
    asked = PressForRow(program, dialog, ext, L"свойства", IDC_SHELL_ON);
    CHECK(asked.find(L"Восстановить записи реестра из резервной копии?") != std::wstring::npos, asked);
    program.Settle();
    DWORD typeAfter = 0;
    CHECK(MachineValue(propertyKey, L"", 0, &typeAfter) == propertyBefore && typeAfter == propertyType,
          L"the default not written back: " + Joined(ValuesOf(HKEY_LOCAL_MACHINE, propertyKey)));
    rows = ShellRows(program, dialog);
    CHECK(ShellRowText(rows, ext, L"свойства").rfind(L"в порядке | " + propertyName, 0) == 0, TableText(rows));

    // The machine's key refused: the user's own offered, and written alone.
    if (!program.LoadRefusals()) return CheckFailed(__FILE__, __LINE__, "refusals loaded", program.State());
    const Table refusedRows = ShellRows(program, dialog);
    const int at = ShellRow(refusedRows, ext, L"эскизы");
    SelectListViewRow(GetDlgItem(dialog, IDC_SHELL_LIST), program.processId, at);
    program.Settle();
    PressButton(dialog, IDC_SHELL_OFF);
    HWND question = WaitForMessageBox(program, {dialog});
    if (question) PressButton(question, IDYES);
    HWND userOnly = question ? WaitForMessageBox(program, {dialog, question}) : nullptr;
    const std::wstring offered = userOnly ? MessageBoxText(userOnly) : program.Dialogs();
    CHECK(offered == L"Изменять раздел компьютера (HKEY_LOCAL_MACHINE) программе запрещено. Отключить обработчик только "
                     L"для текущего пользователя?",
          offered);
    if (userOnly) PressButton(userOnly, IDYES);
    program.Settle();
    WaitUntil([&] { return ValuesOf(HKEY_CURRENT_USER, kBlocked).size() == userBlockedBefore.size() + 1; });
    std::vector<std::wstring> userOff = userBlockedBefore;
    userOff.push_back(thumbId + L"=" + thumbName);
    std::sort(userOff.begin(), userOff.end());
    CHECK(Joined(ValuesOf(HKEY_CURRENT_USER, kBlocked)) == Joined(userOff) &&
              Joined(ValuesOf(HKEY_LOCAL_MACHINE, kBlocked)) == Joined(blockedBefore),
          Joined(ValuesOf(HKEY_CURRENT_USER, kBlocked)) + L" / " + Joined(ValuesOf(HKEY_LOCAL_MACHINE, kBlocked)));
    rows = ShellRows(program, dialog);
    CHECK(ShellRowText(rows, ext, L"эскизы").rfind(L"отключен | ", 0) == 0, TableText(rows));
    HKEY user = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kBlocked, 0, KEY_SET_VALUE, &user) == ERROR_SUCCESS) {
        RegDeleteValueW(user, thumbId.c_str());
        RegCloseKey(user);
    }
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    CHECK(program.WaitDialogGone(dialog) && program.MainWindowAnswers(), program.Dialogs());
    for (const std::wstring& file : {off, on, restoredOn, restoredOff, propertyOff}) DeleteFileW(file.c_str());
}

namespace {

// The test handler DLL (fixtures/shellhandler), of this width or the other (its build tree's).
std::wstring ShellHandlerDll(bool otherWidth = false) {
    const std::wstring& codec = otherWidth ? g_otherWidthTestCodecDll : g_testCodecDll;
    return codec.substr(0, codec.rfind(L"\\testcodec\\")) + L"\\shellhandler\\vantrel_shellhandler.dll";
}

// Presses "Проверить на файле..", chooses the file in the open-file dialog,
// and waits until the check is over, checking meanwhile that the main window
// answers; the rows then.
Table CheckOnFile(const ProgramUnderTest& program, HWND dialog, const std::wstring& file, bool* answered) {
    PressButton(dialog, IDC_SHELL_CHECK_FILE);
    HWND open = program.WaitForDialog(L"Выберите файл для проверки");
    if (!open) return CheckFailed(__FILE__, __LINE__, "open-file dialog", program.Dialogs()), Table{};
    HWND fileName = GetDlgItem(open, edt1);
    if (!fileName) fileName = GetDlgItem(open, cmb13);
    SendMessageW(fileName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.c_str()));
    PressButton(open, IDOK);
    CHECK(program.WaitDialogGone(open), program.Dialogs());
    program.Settle();
    CHECK(WaitUntil(
              [&] {
                  if (answered) *answered = *answered && program.MainWindowAnswers();
                  return IsWindowEnabled(GetDlgItem(dialog, IDC_SHELL_CHECK)) != FALSE;
              },
              90000),
          ControlText(dialog, IDC_SHELL_STATUS));
    return ShellRows(program, dialog);
}

// The colour at the middle of a control as the screen shows it (0x00BBGGRR).
COLORREF MiddleColour(HWND control) {
    RECT box{};
    GetWindowRect(control, &box);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, (box.left + box.right) / 2, (box.top + box.bottom) / 2);
    ReleaseDC(nullptr, screen);
    return colour;
}

}  // namespace

// Copies of the test handler, each for a kind of its own: loaded and made in
// the load check's child by "Проверить загрузку" and by the load check (40045),
// as "обработчик Проводника"; then driven with a file of their extension as
// Explorer drives them, in that child: the thumbnail made shown with its size
// and colour, the property count shown, a crash and a hang named at the
// handler and its step, the main window answering meanwhile, the file never
// written.
SCENARIO(shell_handlers_loaded_and_checked_on_a_file) {
    const std::wstring tag = NewGuidText().substr(1, 8);
    const std::wstring ext = L".vantrel" + tag, ext2 = L".vantrelb" + tag;
    const CopiedFiles files(L"Vantrel_shell", {}, L"_");
    const std::wstring sound = files.Copy(ShellHandlerDll(), L"vantrel_sound.dll");
    const std::wstring crash = files.Copy(ShellHandlerDll(), L"vantrel_crash.dll");
    const std::wstring hang = files.Copy(ShellHandlerDll(), L"vantrel_hang.dll");
    const std::wstring refuse = files.Copy(ShellHandlerDll(), L"vantrel_refuse.dll");
    PlantedKeys keys;
    const std::wstring soundName = L"Vantrel sound " + tag, crashName = L"Vantrel crash " + tag;
    const std::wstring hangName = L"Vantrel hang " + tag, refuseName = L"Vantrel refuse " + tag;
    const std::wstring propertiesName = L"Vantrel properties " + tag;
    const std::wstring soundId = PlantClass(keys, soundName, sound), crashId = PlantClass(keys, crashName, crash);
    const std::wstring hangId = PlantClass(keys, hangName, hang);
    // One class in the user's classes alone: the checks find it there, as the shell does.
    const std::wstring refuseId = NewGuidText();
    keys.Text(HKEY_CURRENT_USER, kUserClasses + std::wstring(L"CLSID\\") + refuseId, nullptr, refuseName);
    keys.Text(HKEY_CURRENT_USER, kUserClasses + std::wstring(L"CLSID\\") + refuseId + L"\\InprocServer32", nullptr,
              refuse);
    const std::wstring propertiesId = PlantClass(keys, propertiesName, sound);
    for (const std::wstring& extension : {ext, ext2}) {
        keys.Text(HKEY_LOCAL_MACHINE, kMachineClasses + extension, L"PerceivedType", L"video");
    }
    const std::wstring shellEx = kMachineClasses + ext + L"\\ShellEx\\";
    keys.Text(HKEY_LOCAL_MACHINE, shellEx + kThumbnailKey, nullptr, soundId);
    keys.Text(HKEY_LOCAL_MACHINE, shellEx + kPreviewKey, nullptr, soundId);
    keys.Text(HKEY_LOCAL_MACHINE, shellEx + kExtractImageKey, nullptr, crashId);
    keys.Text(HKEY_LOCAL_MACHINE, std::wstring(kPropertyHandlers) + L"\\" + ext, nullptr, hangId);
    keys.Text(HKEY_LOCAL_MACHINE, kMachineClasses + ext2 + L"\\ShellEx\\" + kPreviewKey, nullptr, refuseId);
    keys.Text(HKEY_LOCAL_MACHINE, std::wstring(kPropertyHandlers) + L"\\" + ext2, nullptr, propertiesId);
    // The files to check, of bytes a handler would read as a header.
    const ScratchFolder media(L"Vantrel media");
    const std::wstring clip = media.path + L"\\clip" + ext, clip2 = media.path + L"\\clip" + ext2;
    for (const std::wstring& file : {clip, clip2}) {
        HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        const char bytes[] = "VANTREL-MEDIA-0123456789abcdef";
        DWORD written = 0;
        WriteFile(out, bytes, sizeof(bytes), &written, nullptr);
        CloseHandle(out);
    }
    const std::vector<BYTE> clipBytes = FileBytes(clip);
    WIN32_FILE_ATTRIBUTE_DATA clipBefore{};
    GetFileAttributesExW(clip.c_str(), GetFileExInfoStandard, &clipBefore);

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    HWND dialog = OpenShellHandlers(program);
    if (!dialog) return;
    PressButton(dialog, IDC_SHELL_CHECK);
    program.Settle();
    CHECK(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(dialog, IDC_SHELL_CHECK)) != FALSE; }, 60000),
          ControlText(dialog, IDC_SHELL_STATUS));
    Table rows = ShellRows(program, dialog);
    CHECK(ShellRowText(rows, ext, L"эскизы") == L"загружается | " + soundName + L" | " + sound &&
              ShellRowText(rows, ext, L"свойства") == L"загружается | " + hangName + L" | " + hang &&
              ShellRowText(rows, ext2, L"просмотр").rfind(L"фабрика класса не получена: ", 0) == 0,
          TableText(rows));

    bool answered = true;
    rows = CheckOnFile(program, dialog, clip, &answered);
    CHECK(answered, L"the main window did not answer during the file's check");
    CHECK(ShellRowText(rows, ext, L"эскизы") == L"эскиз 16 × 16 | " + soundName + L" | " + sound &&
              ShellRowText(rows, ext, L"просмотр") == L"инициализирован файлом | " + soundName + L" | " + sound &&
              ShellRowText(rows, ext, L"эскизы (IExtractImage)") ==
                  L"аварийно завершил работу при создании эскиза (0xC0000005) | " + crashName + L" | " + crash &&
              ShellRowText(rows, ext, L"свойства") ==
                  L"не ответил за 10 секунд при чтении свойств | " + hangName + L" | " + hang,
          TableText(rows));
    // The handlers that failed go first.
    CHECK(ShellRow(rows, ext, L"эскизы (IExtractImage)") < ShellRow(rows, ext, L"эскизы") &&
              ShellRow(rows, ext, L"свойства") < ShellRow(rows, ext, L"эскизы"),
          TableText(rows));
    // Another extension's rows keep their own state.
    CHECK(ShellRowText(rows, ext2, L"свойства").rfind(L"в порядке | ", 0) == 0, TableText(rows));
    CHECK(ControlText(dialog, IDC_SHELL_THUMBNAIL_TEXT) == L"Эскиз: 16 × 16", ControlText(dialog, IDC_SHELL_THUMBNAIL_TEXT));
    const COLORREF colour = MiddleColour(GetDlgItem(dialog, IDC_SHELL_THUMBNAIL));
    CHECK(colour == RGB(0x20, 0xA0, 0x60), Format(L"thumbnail colour 0x%06lX", static_cast<unsigned long>(colour)));
    LookPoint(L"shell-file-check");
    WIN32_FILE_ATTRIBUTE_DATA clipAfter{};
    GetFileAttributesExW(clip.c_str(), GetFileExInfoStandard, &clipAfter);
    CHECK(FileBytes(clip) == clipBytes &&
              CompareFileTime(&clipBefore.ftLastWriteTime, &clipAfter.ftLastWriteTime) == 0,
          L"the checked file was written");
    rows = CheckOnFile(program, dialog, clip2, nullptr);
    CHECK(ShellRowText(rows, ext2, L"свойства") == L"свойств: 2 | " + propertiesName + L" | " + sound, TableText(rows));
    PressButton(dialog, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog), program.Dialogs());

    // The load check names them as Explorer's handlers.
    program.PostCommand(IDM_LOAD_CHECK);
    HWND load = program.WaitForDialog(L"Проверка загрузки кодеков");
    if (!load) return CheckFailed(__FILE__, __LINE__, "dialog 135", program.Dialogs());
    program.Settle();
    CHECK(WaitUntil([&] { return !IsWindowVisible(GetDlgItem(load, IDC_LOAD_STOP)); }, 90000), program.Dialogs());
    const Table loadRows = ListViewRows(GetDlgItem(load, IDC_LOAD_LIST), program.processId, 4);
    const auto loadRow = [&](const std::wstring& name) {
        const int at = RowNamed(loadRows, name);
        if (at < 0) return L"(no row " + name + L")";
        const auto& row = loadRows[static_cast<std::size_t>(at)];
        return row[1] + L" | " + row[2] + L" | " + row[3];
    };
    CHECK(loadRow(soundName) == L"обработчик Проводника | " + sound + L" | загружается" &&
              loadRow(refuseName).rfind(L"обработчик Проводника | " + refuse + L" | фабрика класса не получена: ", 0) == 0,
          TableText(loadRows));
    PressButton(load, IDCANCEL);
    CHECK(program.WaitDialogGone(load), program.Dialogs());
}

// The other width's copy of the test handler: of the other width in the
// program's own view; sound in the other view, chosen with the view switch,
// where "Проверить загрузку" judges it by its file alone.
OTHER_WIDTH_SCENARIO(shell_handlers_of_both_widths) {
    const std::wstring otherWidthFile = sizeof(void*) == 8 ? L"32-разрядный файл" : L"64-разрядный файл";
    const std::wstring tag = NewGuidText().substr(1, 8);
    const std::wstring ext = L".vantrel" + tag;
    const CopiedFiles files(L"Vantrel_widths", {}, L"_");
    const std::wstring other = files.Copy(ShellHandlerDll(true), L"vantrel_other.dll");
    PlantedKeys keys;
    const std::wstring name = L"Vantrel other " + tag;
    // One class id in both views, as a pack that installs both widths registers it: the class keys are
    // each view's own, an extension's key may be shared by both.
    const std::wstring classId = NewGuidText();
    for (const REGSAM view : {REGSAM{0}, kOtherView}) {
        keys.Text(HKEY_LOCAL_MACHINE, kMachineClasses + ext, L"PerceivedType", L"video", view);
        keys.Text(HKEY_LOCAL_MACHINE, kMachineClasses + ext + L"\\ShellEx\\" + kThumbnailKey, nullptr,
                  PlantClass(keys, name, other, view, classId), view);
    }

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    HWND dialog = OpenShellHandlers(program);
    if (!dialog) return;
    Table rows = ShellRows(program, dialog);
    CHECK(ShellRowText(rows, ext, L"эскизы") == L"другая разрядность (" + otherWidthFile + L") | " + name + L" | " + other,
          TableText(rows));
    HWND view = GetDlgItem(dialog, IDC_SHELL_VIEW);
    CHECK(ComboBoxRows(view) == (std::vector<std::wstring>{L"64-разрядные программы", L"32-разрядные программы"}),
          Joined(ComboBoxRows(view)));
    SendMessageW(view, CB_SETCURSEL, 1 - SendMessageW(view, CB_GETCURSEL, 0, 0), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SHELL_VIEW, CBN_SELCHANGE), reinterpret_cast<LPARAM>(view));
    rows = ShellRows(program, dialog);
    CHECK(ShellRowText(rows, ext, L"эскизы") == L"в порядке | " + name + L" | " + other, TableText(rows));
    PressButton(dialog, IDC_SHELL_CHECK);
    program.Settle();
    CHECK(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(dialog, IDC_SHELL_CHECK)) != FALSE; }, 30000),
          ControlText(dialog, IDC_SHELL_STATUS));
    rows = ShellRows(program, dialog);
    CHECK(ShellRowText(rows, ext, L"эскизы") ==
              L"Проверить загрузку: программа другой разрядности | " + name + L" | " + other,
          TableText(rows));
    PressButton(dialog, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog), program.Dialogs());
}
