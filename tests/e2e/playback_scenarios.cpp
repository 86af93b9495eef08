// The playback check: the menu command, the open-file dialog, and dialog 130
// with the chain of filters that the child process builds for a file, driven
// as a user drives them.
#include "list_view_rows.h"
#include "test_codec.h"

#include "../common/test_media.h"

#include <dlgs.h>
#include <mmsystem.h>

#include <commctrl.h>

namespace {

const wchar_t kOpenTitle[] = L"Выберите файл для проверки";
const wchar_t kCheckTitle[] = L"Проверка воспроизведения";
const wchar_t kRunning[] = L"Идет проверка..";
const wchar_t kNoFilter[] = L"(нет подходящего фильтра)";
const wchar_t kCannotPlay[] = L"Файл не может быть воспроизведен.\n";
const wchar_t kNoFilterFound[] = L"Не найден фильтр, который может открыть или декодировать этот формат.";
const wchar_t kNoAudioDevice[] = L"\nВ системе нет устройства воспроизведения звука.";
const wchar_t* const kWidthText = sizeof(void*) == 8 ? L"Проверены 64-разрядные кодеки" : L"Проверены 32-разрядные кодеки";

struct CheckDialog {
    HWND window = nullptr;
    std::wstring Result() const { return ControlText(window, IDC_PLAYBACK_RESULT); }
    HWND Chain() const { return GetDlgItem(window, IDC_PLAYBACK_CHAIN); }
    bool Idle() const {
        return Result() != kRunning && IsWindowEnabled(GetDlgItem(window, IDC_PLAYBACK_AGAIN));
    }
};

// Chooses the file in the open-file dialog of the command; returns the check dialog.
CheckDialog StartCheck(ProgramUnderTest& program, const std::wstring& path) {
    program.PostCommand(IDM_PLAYBACK_CHECK);
    HWND open = program.WaitForDialog(kOpenTitle);
    if (!open) return CheckFailed(__FILE__, __LINE__, "open-file dialog", program.Dialogs()), CheckDialog{};
    HWND fileName = GetDlgItem(open, edt1);
    if (!fileName) fileName = GetDlgItem(open, cmb13);
    SendMessageW(fileName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PressButton(open, IDOK);
    CHECK(program.WaitDialogGone(open), program.Dialogs());
    CheckDialog dialog{program.WaitForDialog(kCheckTitle)};
    CHECK(dialog.window != nullptr, program.Dialogs());
    return dialog;
}

// Waits until the check in the dialog is over; its rows.
Table WaitForCheck(const ProgramUnderTest& program, const CheckDialog& dialog, DWORD deadlineMs = 30000) {
    if (!dialog.window) return {};
    CHECK(WaitUntil([&] { return dialog.Idle(); }, deadlineMs), dialog.Result() + L" " + program.Dialogs());
    return ListViewRows(dialog.Chain(), program.processId, 5);
}

void CloseCheck(const ProgramUnderTest& program, const CheckDialog& dialog) {
    if (!dialog.window) return;
    PressButton(dialog.window, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog.window), program.Dialogs());
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// 0.1 s of 16-bit mono PCM silence at 44.1 kHz.
std::string WavFile() {
    const uint32_t data = 8820;
    std::string b = "RIFF";
    Put32(b, 36 + data);
    b += "WAVEfmt ";
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, 1);
    Put32(b, 44100);
    Put32(b, 88200);
    Put16(b, 2);
    Put16(b, 16);
    b += "data";
    Put32(b, data);
    b.append(data, '\0');
    return b;
}

const wchar_t kAviExtension[] = L".vtsavi";
const wchar_t kPreferredKey[] = L"SOFTWARE\\Microsoft\\DirectShow\\Preferred";
const wchar_t kVts1Subtype[] = L"{31535456-0000-0010-8000-00AA00389B71}";
const wchar_t kRgb32Subtype[] = L"{E436EB7E-524F-11CE-9F53-0020AF0BA770}";

const wchar_t kBlockedKey[] = L"SOFTWARE\\Microsoft\\DirectShow\\DoNotUse";

// A text value under HKEY_LOCAL_MACHINE for one scenario; the value it
// replaced (if any) comes back at the end.
struct PlantedMachineText {
    std::wstring key, name;
    std::vector<BYTE> before;
    bool existed = false;
    PlantedMachineText(const wchar_t* keyPath, const std::wstring& valueName, const std::wstring& data)
        : key(keyPath), name(valueName) {
        DWORD size = 0;
        existed = RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_ANY, nullptr, nullptr, &size) ==
                  ERROR_SUCCESS;
        before.resize(size);
        if (existed) {
            RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_ANY, nullptr, before.data(), &size);
        }
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), REG_SZ, data.c_str(),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
    ~PlantedMachineText() {
        if (existed) {
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), REG_SZ, before.data(),
                            static_cast<DWORD>(before.size()));
        } else {
            RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str());
        }
    }
};

// The test AVI's splitter and decoder, each a copy of the test codec DLL at
// MERIT_PREFERRED, and the Media Type\Extensions entry that ties the file's
// extension to the runtime's file source, made as the runtime's own entries
// are: the source filter, and the stream's major type and subtype, which
// decide what the file source offers (here the splitter's own subtype). The
// whole chain is the runtime's and ours, with no parser of the runtime's
// (the 32-bit runtime has none).
struct AviPlayback {
    ScratchFolder folder{L"Vantrel film"};
    std::wstring file = folder.path + L"\\film" + kAviExtension;
    TestCodec splitter{L"Vantrel Film Splitter", L"none"};
    TestCodec decoder{L"Vantrel VTS1 Decoder", L"none"};
    explicit AviPlayback(const std::wstring& decoderFault = L"none") {
        WriteBytes(file, TestAviFile());
        splitter.AppendConfig(L"media=splitter\nmerit=0x00800000\n", OPEN_EXISTING);
        decoder.AppendConfig(L"media=decoder\nmerit=0x00800000\nfault=" + decoderFault + L"\n", OPEN_EXISTING);
        CHECK(splitter.Regsvr32(L"/s") == 0, splitter.Regsvr32Result());
        CHECK(decoder.Regsvr32(L"/s") == 0, decoder.Regsvr32Result());
        CHECK(PlantTestAviExtension(), kTestAviExtensionKey);
    }
    ~AviPlayback() { DeleteTree(kTestAviExtensionKey); }
};

// A second registration with the decoder's friendly name, whose Instance
// entry the registry enumerates first (its class id sorts first), so that a
// lookup by the name finds it: a twin. It has no pins, so no graph takes it.
struct Twin {
    RegistryScratch keys;
    std::wstring classId = L"{00000000" + NewGuidText().substr(9);
    explicit Twin(const std::wstring& name) {
        keys.Own(Entry());
        keys.Own(L"CLSID\\" + classId);
        keys.SetText(Entry(), L"FriendlyName", name);
        keys.SetText(Entry(), L"CLSID", classId);
        const BYTE record[16] = {2, 0, 0, 0, 0, 0, 0x60, 0};  // version 2, MERIT_NORMAL, no pins
        keys.SetBytes(Entry(), L"FilterData", record, sizeof(record));
        keys.SetText(L"CLSID\\" + classId, nullptr, L"Vantrel Twin Object");
        keys.SetText(L"CLSID\\" + classId + L"\\InprocServer32", nullptr, L"C:\\vantrel-twin.dll");
    }
    std::wstring Entry() const { return kLegacyInstance + classId; }
    RegistrySnapshot State() const {
        RegistrySnapshot state = TreeSnapshot(Entry());
        const RegistrySnapshot classKey = TreeSnapshot(L"CLSID\\" + classId);
        state.insert(state.end(), classKey.begin(), classKey.end());
        return state;
    }
};

// An entry whose FilterData is damaged: a version-1 record that promises a
// pin it does not hold (the runtime's mapper under Wine passes version 1 over).
struct DamagedEntry {
    RegistryScratch keys;
    std::wstring classId = NewGuidText();
    std::wstring name = L"Vantrel Damaged Entry " + classId.substr(1, 8);
    DamagedEntry() {
        keys.Own(kLegacyInstance + classId);
        keys.SetText(kLegacyInstance + classId, L"FriendlyName", name);
        keys.SetText(kLegacyInstance + classId, L"CLSID", classId);
        const BYTE record[16] = {1, 0, 0, 0, 0, 0, 0x60, 0, 1, 0, 0, 0};
        keys.SetBytes(kLegacyInstance + classId, L"FilterData", record, sizeof(record));
    }
    // What the check's result adds for it.
    std::wstring Lines() const {
        return L"\nПовреждены данные FilterData кодеков: " + name +
               L"\nПрограммы воспроизведения могут из-за них аварийно завершаться."
               L"\nИх можно найти и удалить через «Поиск некорректных кодеков».";
    }
};

// Selects the chain's row and opens "Управление.." on it; the management dialog.
HWND ManageChainRow(const ProgramUnderTest& program, const CheckDialog& dialog, int row) {
    SelectListViewRow(dialog.Chain(), program.processId, row);
    PressButton(dialog.window, IDC_PLAYBACK_MANAGE);
    HWND manage = program.WaitForDialog(kManageTitle);
    CHECK(manage != nullptr, program.Dialogs());
    return manage;
}

}  // namespace

// The command and dialog on files that need no codec of ours: a missing
// file, a text file and a WAV file.
SCENARIO(playback_check_plain_files) {
    ScratchFolder folder(L"Vantrel media");
    const std::wstring text = folder.path + L"\\notes.txt";
    WriteBytes(text, "Not a media file, just a few words of text.\r\n");
    const std::wstring wav = folder.path + L"\\silence.wav";
    WriteBytes(wav, WavFile());

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());

    // The open-file dialog offers media files first, then all files.
    program.PostCommand(IDM_PLAYBACK_CHECK);
    HWND open = program.WaitForDialog(kOpenTitle);
    if (!open) return CheckFailed(__FILE__, __LINE__, "open-file dialog", program.Dialogs());
    HWND types = GetDlgItem(open, cmb1);
    const std::vector<std::wstring> typeRows = ComboBoxRows(types);
    CHECK(typeRows == (std::vector<std::wstring>{L"Видео и аудио", L"Все файлы (*.*)"}), Joined(typeRows));
    PressButton(open, IDCANCEL);
    CHECK(program.WaitDialogGone(open), program.Dialogs());
    CHECK(program.FindDialog(kCheckTitle) == nullptr, program.Dialogs());

    // A missing file.
    const std::wstring missing = folder.path + L"\\no such film.avi";
    CheckDialog dialog = StartCheck(program, missing);
    Table rows = WaitForCheck(program, dialog);
    CHECK(ControlText(dialog.window, IDC_PLAYBACK_FILE) == missing, ControlText(dialog.window, IDC_PLAYBACK_FILE));
    CHECK(ControlText(dialog.window, IDC_PLAYBACK_WIDTH) == kWidthText, ControlText(dialog.window, IDC_PLAYBACK_WIDTH));
    const std::vector<std::wstring> headings = ListViewHeadings(dialog.Chain(), program.processId);
    CHECK(headings == (std::vector<std::wstring>{L"Фильтр", L"Приоритет", L"Входной формат", L"Файл фильтра",
                                                 L"Примечание"}),
          Joined(headings));
    CHECK(dialog.Result().rfind(std::wstring(kCannotPlay) + L"Файл не найден или недоступен.", 0) == 0,
          dialog.Result());
    CHECK(rows.empty(), TableText(rows));
    CloseCheck(program, dialog);

    // A text file: the source reads it, nothing takes its stream.
    dialog = StartCheck(program, text);
    rows = WaitForCheck(program, dialog);
    CHECK(dialog.Result().rfind(std::wstring(kCannotPlay) + kNoFilterFound, 0) == 0, dialog.Result());
    CHECK(rows.size() == 2 && rows[0][0] == L"File Source (Async.)" && rows[1][0] == kNoFilter, TableText(rows));
    CloseCheck(program, dialog);

    // A WAV file: its chain as the runtime builds it. Without an audio
    // device the PCM stream has nowhere to go, and the result says so.
    dialog = StartCheck(program, wav);
    rows = WaitForCheck(program, dialog);
    if (waveOutGetNumDevs() == 0) {
        CHECK(dialog.Result() == std::wstring(kCannotPlay) + kNoFilterFound + kNoAudioDevice, dialog.Result());
        CHECK(RowNamed(rows, kNoFilter) > 0, TableText(rows));
    } else {
        CHECK(dialog.Result() == L"Файл может быть воспроизведен: для всех потоков найдены фильтры.", dialog.Result());
        CHECK(RowNamed(rows, kNoFilter) < 0, TableText(rows));
    }
    CHECK(!rows.empty() && rows[0][0] == L"File Source (Async.)", TableText(rows));
    LookPoint(L"playback-wav");
    CloseCheck(program, dialog);
    CHECK(program.MainWindowAnswers(), program.State());
}

// A decoder of our own for the test AVI's FOURCC, at MERIT_PREFERRED: the
// chain shows it with its merit and file, and the notes say why Windows would
// pick each filter (values planted in Preferred, DoNotUse and Media
// Type\Extensions). Its merit lowered through "Управление.." and the merit
// dialog, "Проверить снова" no longer finds it.
SCENARIO(playback_check_own_decoder) {
    AviPlayback avi;
    // Windows would prefer our decoder for VTS1, and it for RGB32 as well
    // (where the renderer's input comes from).
    PlantedMachineText preferVts1(kPreferredKey, kVts1Subtype, avi.decoder.classId);
    PlantedMachineText preferRgb32(kPreferredKey, kRgb32Subtype, avi.decoder.classId);
    // And would not use the splitter (Wine's graph builder reads neither key).
    PlantedMachineText blockSplitter(kBlockedKey, avi.splitter.classId, L"");
    // A twin of the decoder that a lookup by name finds first, and an entry
    // whose FilterData is damaged, which the result names.
    const Twin twin(avi.decoder.name);
    const RegistrySnapshot twinBefore = twin.State();
    const DamagedEntry damaged;
    // The decoder writes the token of the child that loads it.
    const std::wstring tokenFile = avi.decoder.folder.path + L"\\token.txt";
    avi.decoder.AppendConfig(L"token_file=" + tokenFile + L"\n", OPEN_EXISTING);

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    CheckDialog dialog = StartCheck(program, avi.file);
    Table rows = WaitForCheck(program, dialog);
    CHECK(dialog.Result() == L"Файл может быть воспроизведен: для всех потоков найдены фильтры." + damaged.Lines(),
          dialog.Result());
    // Wine runs every process elevated: the child's token is restricted, no
    // privilege enabled, the Administrators group for deny only.
    const std::wstring token = Utf8FileText(tokenFile);
    CHECK(token.rfind(L"enabled_privileges=0\r\nadministrators=0x", 0) == 0 &&
              (std::wcstoul(token.c_str() + token.find(L"=0x") + 3, nullptr, 16) &
               (SE_GROUP_USE_FOR_DENY_ONLY | SE_GROUP_ENABLED)) == SE_GROUP_USE_FOR_DENY_ONLY,
          token);
    CHECK(rows.size() == 4, TableText(rows));
    if (rows.size() < 4) return;
    CHECK(rows[0][0] == L"File Source (Async.)" && rows[0][2].empty() && rows[0][3].find(L"quartz.dll") != std::wstring::npos &&
              rows[0][4] == L"источник задан для расширения .vtsavi",
          TableText(rows));
    const std::vector<std::wstring> splitterRow = {avi.splitter.name, L"Высокий (MERIT_PREFERRED)", L"VTSA",
                                                   avi.splitter.dllPath, L"заблокирован (DoNotUse)"};
    CHECK(rows[1] == splitterRow, TableText(rows));
    const std::vector<std::wstring> decoderRow = {avi.decoder.name, L"Высокий (MERIT_PREFERRED)", L"VTS1",
                                                  avi.decoder.dllPath,
                                                  L"предпочтительный фильтр Windows для этого формата"};
    CHECK(rows[2] == decoderRow, TableText(rows));
    // The renderer's object reports another class id than its registration: its merit still shows.
    CHECK(rows[3][1] != L"Не определен" && rows[3][2] == L"RGB32" && !rows[3][3].empty(), TableText(rows));
    CHECK(rows[3][4] == L"Windows предпочитает для этого формата: " + avi.decoder.name, TableText(rows));
    LookPoint(L"playback-check");
    SendMessageW(dialog.Chain(), LVM_SCROLL, 2000, 0);  // to the notes
    LookPoint(L"playback-check-notes");
    SendMessageW(dialog.Chain(), LVM_SCROLL, static_cast<WPARAM>(-2000), 0);

    // "Сделать предпочтительным": not for the decoder, which Windows prefers
    // for VTS1 already; for the renderer it writes the renderer's class id
    // for RGB32 in the program's own view, with a backup, and the check runs
    // again, so the renderer's row says so.
    HWND makePreferred = GetDlgItem(dialog.window, IDC_PLAYBACK_MAKE_PREFERRED);
    SelectListViewRow(dialog.Chain(), program.processId, 2);
    CHECK(WaitUntil([&] { return !IsWindowEnabled(makePreferred); }), L"1307 enabled for the preferred decoder");
    SelectListViewRow(dialog.Chain(), program.processId, 3);
    CHECK(WaitUntil([&] { return IsWindowEnabled(makePreferred) != FALSE; }), L"1307 disabled for the renderer");
    const std::vector<std::wstring> backups = BackupFiles();
    PressButton(dialog.window, IDC_PLAYBACK_MAKE_PREFERRED);
    const std::wstring backup = WaitForNewBackup(backups);
    CHECK(backup.find(L"Изменение предпочтительного декодера - RGB32.reg") != std::wstring::npos, backup);
    CHECK(WaitUntil([&] {
              rows = ListViewRows(dialog.Chain(), program.processId, 5);
              return dialog.Idle() && rows.size() == 4 && rows[3][4] == L"предпочтительный фильтр Windows для этого формата";
          }, 30000),
          TableText(rows));
    wchar_t rgb32Filter[64] = {};
    DWORD size = sizeof(rgb32Filter) - sizeof(wchar_t);
    RegGetValueW(HKEY_LOCAL_MACHINE, kPreferredKey, kRgb32Subtype, RRF_RT_REG_SZ, nullptr, rgb32Filter, &size);
    CHECK(lstrcmpiW(rgb32Filter, avi.decoder.classId.c_str()) != 0 && rgb32Filter[0] == L'{', rgb32Filter);
    CHECK(RegFileText(backup).find(L"\"" + std::wstring(kRgb32Subtype) + L"\"=\"" + avi.decoder.classId + L"\"") !=
              std::wstring::npos,
          RegFileText(backup));

    // "Управление.." on the decoder's row: the management dialog of the main
    // window for the decoder's own registration, not its twin's, while dialog
    // 130 waits disabled.
    HWND manage = ManageChainRow(program, dialog, 2);
    if (!manage) return;
    CHECK(ControlText(manage, IDC_FRIENDLY_NAME) == avi.decoder.name, ControlText(manage, IDC_FRIENDLY_NAME));
    CHECK(ControlText(manage, IDC_CLASS_ID) == avi.decoder.classId, ControlText(manage, IDC_CLASS_ID));
    CHECK(ControlText(manage, IDC_SERVER_PATH) == avi.decoder.dllPath, ControlText(manage, IDC_SERVER_PATH));
    CHECK(!IsWindowEnabled(dialog.window), L"dialog 130 enabled under the management dialog");
    CHECK(program.ComboSelection() == 2, Format(L"%d", program.ComboSelection()));
    PressButton(manage, IDC_CHANGE_MERIT);
    HWND merit = program.WaitForDialog(kMeritTitle);
    if (!merit) return CheckFailed(__FILE__, __LINE__, "merit dialog", program.Dialogs());
    PressButton(merit, IDC_MERIT_DO_NOT_USE);
    program.Settle();
    PressButton(merit, IDOK);
    CHECK(program.WaitDialogGone(merit), program.Dialogs());
    CHECK(WaitUntil([&] { return ControlText(manage, IDC_MERIT_TEXT) == L"Отключен (MERIT_DO_NOT_USE)"; }),
          ControlText(manage, IDC_MERIT_TEXT));
    CHECK(FilterDataMerit(avi.decoder.InstancePath()) == L"0x00200000", FilterDataMerit(avi.decoder.InstancePath()));
    CHECK(twin.State() == twinBefore, SnapshotDifference(twinBefore, twin.State()));
    PressButton(manage, IDOK);
    CHECK(program.WaitDialogGone(manage), program.Dialogs());
    CHECK(WaitUntil([&] { return IsWindowEnabled(dialog.window) != FALSE; }), L"dialog 130 still disabled");
    CHECK(!IsWindowEnabled(program.mainWindow), L"main window enabled under dialog 130");

    // Checked again, the chain no longer holds our decoder.
    PressButton(dialog.window, IDC_PLAYBACK_AGAIN);
    CHECK(WaitUntil([&] { return dialog.Result() == kRunning; }, 5000), dialog.Result());
    rows = WaitForCheck(program, dialog);
    CHECK(RowNamed(rows, avi.decoder.name) < 0, TableText(rows));
    CHECK(rows.size() >= 2 && rows[0][0] == L"File Source (Async.)", TableText(rows));

    // The file source is a system filter, which no list shows while they are
    // hidden: the management command's own message, and dialog 130 back.
    SelectListViewRow(dialog.Chain(), program.processId, 0);
    PressButton(dialog.window, IDC_PLAYBACK_MANAGE);
    HWND box = WaitForMessageBox(program, {dialog.window});
    CHECK(box && MessageBoxText(box) ==
                     L"Невозможно активировать управление для данного кодека:\nТип кодека не поддерживается",
          program.Dialogs());
    if (box) PressButton(box, IDOK);
    CHECK(WaitUntil([&] { return IsWindowEnabled(dialog.window) != FALSE; }), L"dialog 130 still disabled");
    CloseCheck(program, dialog);
}

// A decoder of ours that crashes, then one that hangs, while the graph is
// built: the check ends with the message naming it, the main window answers
// meanwhile, and the next check works.
SCENARIO(playback_check_broken_decoder) {
    AviPlayback avi(L"crash");
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    CheckDialog dialog = StartCheck(program, avi.file);
    Table rows = WaitForCheck(program, dialog);
    CHECK(dialog.Result() == L"Проверка прервана: один из кодеков аварийно завершил работу.\nПоследний фильтр: " +
                                 avi.decoder.name,
          dialog.Result());
    CHECK(rows.empty(), TableText(rows));
    CHECK(program.Running() && program.MainWindowAnswers(), program.State());

    // With a damaged entry about, a crash is most likely the mapper's: the
    // result names the entry and blames no filter.
    {
        const DamagedEntry damaged;
        PressButton(dialog.window, IDC_PLAYBACK_AGAIN);
        CHECK(WaitUntil([&] { return dialog.Result() == kRunning; }, 5000), dialog.Result());
        WaitForCheck(program, dialog);
        CHECK(dialog.Result() == L"Проверка прервана: один из кодеков аварийно завершил работу." + damaged.Lines(),
              dialog.Result());
    }

    // The same decoder, now hanging (each check starts a fresh child, which reads the setting anew).
    avi.decoder.AppendConfig(L"fault=hang\n", OPEN_EXISTING);
    const ULONGLONG started = GetTickCount64();
    PressButton(dialog.window, IDC_PLAYBACK_AGAIN);
    CHECK(WaitUntil([&] { return dialog.Result() == kRunning; }, 5000), dialog.Result());
    CHECK(!IsWindowEnabled(GetDlgItem(dialog.window, IDC_PLAYBACK_AGAIN)), L"Проверить снова enabled while checking");
    CHECK(program.MainWindowAnswers() && !program.ListRows().empty(), program.State());
    rows = WaitForCheck(program, dialog, 30000);
    const ULONGLONG took = GetTickCount64() - started;
    CHECK(dialog.Result() == L"Проверка прервана: кодек не ответил за 15 секунд.\nПоследний фильтр: " + avi.decoder.name,
          dialog.Result());
    CHECK(took >= 15000 && took < 25000, Format(L"%llu ms", took));
    CHECK(program.Running() && program.MainWindowAnswers(), program.State());

    // Now writing into every pipe it finds without end: the check ends at
    // once, the program answering throughout, and no child is left.
    avi.decoder.AppendConfig(L"fault=flood\n", OPEN_EXISTING);
    PressButton(dialog.window, IDC_PLAYBACK_AGAIN);
    CHECK(WaitUntil([&] { return dialog.Result() == kRunning; }, 5000), dialog.Result());
    const ULONGLONG floodEnd = GetTickCount64() + 40000;
    bool answered = true;
    while (!dialog.Idle() && GetTickCount64() < floodEnd) {
        answered = answered && program.MainWindowAnswers();
        Sleep(20);
    }
    CHECK(answered, L"the main window stopped answering during the flood");
    CHECK(dialog.Result() ==
              L"Проверка прервана: один из кодеков передал слишком много данных.\nПоследний фильтр: " + avi.decoder.name,
          dialog.Result());
    CHECK(WaitUntil([&] { return program.ChildProcessCount() == 0; }, kChildrenEndMs),
          Format(L"%d child processes", program.ChildProcessCount()));

    // Mended, though it writes to standard output while the graph is built,
    // as chatty codecs do: the next check plays the file through it.
    avi.decoder.AppendConfig(L"fault=print\n", OPEN_EXISTING);
    PressButton(dialog.window, IDC_PLAYBACK_AGAIN);
    CHECK(WaitUntil([&] { return dialog.Result() == kRunning; }, 5000), dialog.Result());
    rows = WaitForCheck(program, dialog);
    CHECK(RowNamed(rows, avi.decoder.name) == 2, TableText(rows));

    // Deleted through "Управление..": the decoder's keys go, its twin's stay
    // byte for byte.
    const Twin twin(avi.decoder.name);
    const RegistrySnapshot twinBefore = twin.State();
    HWND manage = ManageChainRow(program, dialog, 2);
    if (!manage) return;
    CHECK(ControlText(manage, IDC_CLASS_ID) == avi.decoder.classId, ControlText(manage, IDC_CLASS_ID));
    PressButton(manage, IDC_DELETE_CODEC);
    HWND confirm = WaitForMessageBox(program, {manage, dialog.window});
    if (confirm) PressButton(confirm, IDYES);
    CHECK(program.WaitDialogGone(manage), program.Dialogs());
    CHECK(!KeyExists(avi.decoder.ClassKey()) && !KeyExists(avi.decoder.InstancePath()), avi.decoder.ClassKey());
    CHECK(twin.State() == twinBefore, SnapshotDifference(twinBefore, twin.State()));
    CloseCheck(program, dialog);
}
