// Windows' preferred decoders (command 40042): dialog 131 with the values of
// HKLM\SOFTWARE\Microsoft\DirectShow\Preferred in both registry views,
// dialog 132 with the candidates of a format, changes and removals with their
// backups, undone by importing them; and the rights a change needs.
#include "list_view_rows.h"
#include "test_codec.h"

#include <sddl.h>

#include <algorithm>

namespace {

const wchar_t kPreferredTitle[] = L"Предпочтительные декодеры Windows";
const wchar_t kFormatTitle[] = L"Добавить формат";
const wchar_t kPreferredPath[] = L"SOFTWARE\\Microsoft\\DirectShow\\Preferred";
const wchar_t kNotRegistered[] = L"не зарегистрирован";
const wchar_t kNotInEffect[] = L"запись не действует";
const wchar_t kNoFile[] = L"файл не найден";
const wchar_t kOwnershipQuestion[] =
    L"Раздел реестра принадлежит системе (TrustedInstaller). Временно стать его владельцем, чтобы изменить "
    L"запись? Владелец и права раздела будут восстановлены.";
const wchar_t kTrustedInstaller[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

const REGSAM kOwnView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
// The registry editor that opens a .reg file on 64-bit Windows is the 64-bit one.
const wchar_t* const kRegEditorFolder = sizeof(void*) == 8 ? L"system32" : L"sysnative";

// A value of a key in a registry view; "" with found false when it is not there.
std::wstring ReadValueText(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view,
                           bool* found = nullptr) {
    wchar_t text[512] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, &key);
    if (status == ERROR_SUCCESS) {
        status = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(key);
    }
    if (found) *found = status == ERROR_SUCCESS;
    return status == ERROR_SUCCESS ? std::wstring(text) : L"";
}

bool WriteIn(REGSAM view, HKEY root, const std::wstring& path, const wchar_t* name, DWORD type, const void* data,
             DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const bool written = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

bool WriteTextIn(REGSAM view, HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text) {
    return WriteIn(view, root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Preferred values planted in one view for a scenario, removed at the end.
struct PlantedPreferences {
    REGSAM view;
    const wchar_t* path;
    std::vector<std::wstring> names;
    explicit PlantedPreferences(REGSAM v, const wchar_t* keyPath = kPreferredPath) : view(v), path(keyPath) {}
    void Set(const std::wstring& name, const std::wstring& data, DWORD type = REG_SZ) {
        names.push_back(name);
        if (type == REG_SZ) {
            CHECK(WriteTextIn(view, HKEY_LOCAL_MACHINE, path, name.c_str(), data), name);
        } else {
            CHECK(WriteIn(view, HKEY_LOCAL_MACHINE, path, name.c_str(), type, data.c_str(),
                          static_cast<DWORD>(data.size() * sizeof(wchar_t))),
                  name);
        }
    }
    ~PlantedPreferences() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_SET_VALUE | view, &key) != ERROR_SUCCESS) return;
        for (const std::wstring& name : names) RegDeleteValueW(key, name.c_str());
        RegCloseKey(key);
    }
};

// One input or output pin of a planted filter: its media types (major, subtype).
struct PlantedPin {
    bool output;
    std::vector<std::pair<GUID, GUID>> types;
};

// A FilterData record as the runtime's filter mapper writes it.
std::vector<BYTE> RuntimeFilterData(std::uint32_t merit, const std::vector<PlantedPin>& pins) {
    std::vector<std::vector<REGPINTYPES>> types(pins.size());
    std::vector<REGFILTERPINS2> records(pins.size());
    for (std::size_t i = 0; i < pins.size(); ++i) {
        for (const auto& [major, minor] : pins[i].types) types[i].push_back({&major, &minor});
        records[i] = {pins[i].output ? static_cast<DWORD>(REG_PINFLAG_B_OUTPUT) : 0u, 1,
                      static_cast<UINT>(types[i].size()), types[i].data(), 0, nullptr, nullptr};
    }
    REGFILTER2 filter{};
    filter.dwVersion = 2;
    filter.dwMerit = merit;
    filter.cPins2 = static_cast<ULONG>(records.size());
    filter.rgPins2 = records.data();
    return MapperFilterData(filter);
}

// Filters and DMOs registered in one view for a scenario, removed at the end:
// an Instance entry named by the class id with its FilterData, and a class key
// whose server is a file the system has in both views.
struct PlantedDecoders {
    REGSAM view;
    std::vector<std::wstring> keys;
    explicit PlantedDecoders(REGSAM v) : view(v) {}
    std::wstring Filter(const std::wstring& name, const std::vector<BYTE>& filterData, bool withServer = true) {
        const std::wstring classId = NewGuidText();
        const std::wstring entry = kLegacyInstance + classId;
        keys.push_back(entry);
        keys.push_back(L"CLSID\\" + classId);
        CHECK(WriteTextIn(view, HKEY_CLASSES_ROOT, entry, L"FriendlyName", name), entry);
        CHECK(WriteTextIn(view, HKEY_CLASSES_ROOT, entry, L"CLSID", classId), entry);
        CHECK(WriteIn(view, HKEY_CLASSES_ROOT, entry, L"FilterData", REG_BINARY, filterData.data(),
                      static_cast<DWORD>(filterData.size())),
              entry);
        CHECK(WriteTextIn(view, HKEY_CLASSES_ROOT, L"CLSID\\" + classId, nullptr, name), classId);
        if (withServer) {
            CHECK(WriteTextIn(view, HKEY_CLASSES_ROOT, L"CLSID\\" + classId + L"\\InprocServer32", nullptr,
                              L"C:\\windows\\system32\\quartz.dll"),
                  classId);
        }
        return classId;
    }
    std::wstring Dmo(const std::wstring& name, const std::vector<std::pair<GUID, GUID>>& inputTypes) {
        const std::wstring classId = NewGuidText();
        const std::wstring key = L"DirectShow\\MediaObjects\\" + classId.substr(1, 36);
        keys.push_back(key);
        keys.push_back(L"CLSID\\" + classId);
        CHECK(WriteTextIn(view, HKEY_CLASSES_ROOT, key, nullptr, name), key);
        CHECK(WriteIn(view, HKEY_CLASSES_ROOT, key, L"InputTypes", REG_BINARY, inputTypes.data(),
                      static_cast<DWORD>(inputTypes.size() * 2 * sizeof(GUID))),
              key);
        CHECK(WriteTextIn(view, HKEY_CLASSES_ROOT, L"CLSID\\" + classId + L"\\InprocServer32", nullptr,
                          L"C:\\windows\\system32\\quartz.dll"),
              classId);
        return classId;
    }
    ~PlantedDecoders() {
        for (const std::wstring& key : keys) DeleteTree(key, view);
    }
};

struct PreferredDialog {
    const ProgramUnderTest& program;
    HWND window = nullptr;
    HWND List() const { return GetDlgItem(window, IDC_PREFERRED_LIST); }
    Table Rows() const { return ListViewRows(List(), program.processId, 4); }
    // The rows of the planted formats only (the prefix may hold others).
    Table RowsOf(const std::vector<std::wstring>& formats) const {
        Table mine;
        for (const auto& row : Rows()) {
            if (std::find(formats.begin(), formats.end(), row[0]) != formats.end()) mine.push_back(row);
        }
        return mine;
    }
    int RowIndex(const std::wstring& format) const {
        const Table rows = Rows();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i][0] == format) return static_cast<int>(i);
        }
        return -1;
    }
    void ChooseView(int row) const {
        HWND combo = GetDlgItem(window, IDC_PREFERRED_VIEW);
        SendMessageW(combo, CB_SETCURSEL, row, 0);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_PREFERRED_VIEW, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
        program.Settle();
    }
    // Selects the format's row and presses a button.
    bool Press(const std::wstring& format, int button) const {
        const int row = RowIndex(format);
        if (row < 0) return false;
        SelectListViewRow(List(), program.processId, row);
        PressButton(window, button);
        return true;
    }
};

PreferredDialog OpenPreferred(const ProgramUnderTest& program) {
    program.PostCommand(IDM_PREFERRED_DECODERS);
    PreferredDialog dialog{program, program.WaitForDialog(kPreferredTitle)};
    CHECK(dialog.window != nullptr, program.Dialogs());
    return dialog;
}

// Dialog 132 for the format: its rows, the candidate named `choose` chosen
// with OK (or Отмена where it is empty).
Table ChooseCandidate(const ProgramUnderTest& program, const std::wstring& format, const std::wstring& choose,
                      const wchar_t* lookPoint = nullptr) {
    HWND choice = program.WaitForDialog(L"Выбор декодера: " + format);
    if (!choice) return CheckFailed(__FILE__, __LINE__, "dialog 132", program.Dialogs()), Table{};
    HWND list = GetDlgItem(choice, IDC_DECODER_LIST);
    const Table rows = ListViewRows(list, program.processId, 4);
    CHECK(GetWindow(choice, GW_OWNER) == program.FindDialog(kPreferredTitle, choice),
          L"owned by " + WindowText(GetWindow(choice, GW_OWNER)));
    if (lookPoint) LookPoint(lookPoint);
    int chosen = -1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i][0] == choose) chosen = static_cast<int>(i);
    }
    if (chosen >= 0) SelectListViewRow(list, program.processId, chosen);
    PressButton(choice, chosen >= 0 ? IDOK : IDCANCEL);
    CHECK(program.WaitDialogGone(choice), program.Dialogs());
    return rows;
}

std::wstring GuidOf(const GUID& guid) { return GuidText(guid); }

// The key's owner and permissions as stored, and as SDDL.
std::vector<BYTE> KeySecurity(HKEY key) {
    std::vector<BYTE> bytes(4096);
    DWORD size = static_cast<DWORD>(bytes.size());
    if (RegGetKeySecurity(key, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, bytes.data(), &size) != ERROR_SUCCESS) {
        return {};
    }
    bytes.resize(size);
    return bytes;
}

std::wstring SddlOf(const std::vector<BYTE>& security) {
    if (security.empty()) return L"(unreadable)";
    wchar_t* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(const_cast<BYTE*>(security.data()), SDDL_REVISION_1,
                                                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                                              &text, nullptr)) {
        return L"(no SDDL)";
    }
    std::wstring sddl = text;
    LocalFree(text);
    return sddl;
}

}  // namespace

// Values planted in both views (a filter, a DMO, one Windows would skip by its
// data and one by its name, one naming a class that is not registered), with
// filters of known input pins, one of any subtype of the major type, one with
// the subtype on its output, and one whose FilterData is damaged: the rows of
// each view and the candidates in order. A change, an addition and a removal
// each write only the chosen view's value, and the backup, imported, brings
// back exactly what was there, its absence included; the same in the other
// view, whose backup names the key there.
SCENARIO(preferred_decoders_change_and_undo) {
    const GUID major = GuidFromText(NewGuidText());
    const GUID subtype = GuidFromText(NewGuidText());
    const GUID added = GuidFromText(NewGuidText());
    const std::wstring format = GuidOf(subtype), addedFormat = GuidOf(added);
    const std::wstring skipped = NewGuidText(), unregistered = NewGuidText(), badName = L"not a subtype " + NewGuidText();

    PlantedDecoders own(kOwnView), other(kOtherView);
    const std::wstring usual = own.Filter(L"Vantrel Usual Decoder", RuntimeFilterData(0x00600000, {{false, {{major, subtype}}}}));
    const std::wstring best = own.Filter(L"Vantrel Best Decoder",
                                         RuntimeFilterData(0x00800000, {{false, {{major, added}, {major, subtype}}}}));
    const std::wstring anyFormat = own.Filter(L"Vantrel Any Decoder", RuntimeFilterData(0x00800001, {{false, {{major, GUID_NULL}}}}));
    own.Filter(L"Vantrel Encoder", RuntimeFilterData(0x00800002, {{true, {{major, subtype}}}}));
    // A record whose pin count reaches past its end: damaged. Version 1, which
    // Wine's own mapper passes over, so that nothing else in the prefix reads past it.
    std::vector<BYTE> damaged = RuntimeFilterData(0x00800003, {{false, {{major, subtype}}}});
    if (damaged.size() >= 12) damaged[0] = 1, damaged[8] = 9;
    const std::wstring broken = own.Filter(L"Vantrel Damaged Decoder", damaged, false);
    const std::wstring dmo = own.Dmo(L"Vantrel DMO Decoder", {{major, subtype}});
    // A DMO key and a filter's entry whose class ids are no GUIDs' texts,
    // which Windows would not take: never offered.
    const std::wstring notGuidDmo = L"DirectShow\\MediaObjects\\not-a-guid " + format.substr(1, 8);
    const std::pair<GUID, GUID> notGuidTypes[] = {{major, subtype}};
    own.keys.push_back(notGuidDmo);
    CHECK(WriteTextIn(kOwnView, HKEY_CLASSES_ROOT, notGuidDmo, nullptr, L"Vantrel Not A GUID DMO") &&
              WriteIn(kOwnView, HKEY_CLASSES_ROOT, notGuidDmo, L"InputTypes", REG_BINARY, notGuidTypes, sizeof(notGuidTypes)),
          notGuidDmo);
    const std::wstring notGuidEntry = std::wstring(kLegacyInstance) + L"Vantrel not a guid " + format.substr(1, 8);
    const std::vector<BYTE> notGuidData = RuntimeFilterData(0x00900000, {{false, {{major, subtype}}}});
    own.keys.push_back(notGuidEntry);
    CHECK(WriteTextIn(kOwnView, HKEY_CLASSES_ROOT, notGuidEntry, L"FriendlyName", L"Vantrel Not A GUID Filter") &&
              WriteTextIn(kOwnView, HKEY_CLASSES_ROOT, notGuidEntry, L"CLSID", L"not-a-guid") &&
              WriteIn(kOwnView, HKEY_CLASSES_ROOT, notGuidEntry, L"FilterData", REG_BINARY, notGuidData.data(),
                      static_cast<DWORD>(notGuidData.size())),
          notGuidEntry);
    const std::wstring otherWidth = other.Filter(L"Vantrel Other Width Decoder",
                                                 RuntimeFilterData(0x00600000, {{false, {{major, subtype}}}}));

    PlantedPreferences ownValues(kOwnView), otherValues(kOtherView);
    ownValues.Set(format, usual);
    ownValues.Set(skipped, L"not a class id");
    ownValues.Set(badName, usual);
    ownValues.Set(unregistered, NewGuidText());
    ownValues.Set(GuidOf(major), broken);
    ownValues.names.push_back(addedFormat);  // made by the program, removed at the end too
    otherValues.Set(format, otherWidth);

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    PreferredDialog dialog = OpenPreferred(program);
    if (!dialog.window) return;
    CHECK(GetWindow(dialog.window, GW_OWNER) == program.mainWindow, L"owned by " + WindowText(GetWindow(dialog.window, GW_OWNER)));
    const std::vector<std::wstring> views = ComboBoxRows(GetDlgItem(dialog.window, IDC_PREFERRED_VIEW));
    const std::vector<std::wstring> expectedViews =
        sizeof(void*) == 8
            ? std::vector<std::wstring>{L"DirectShow, 64-разрядные программы", L"DirectShow, 32-разрядные программы",
                                        L"Media Foundation, 64-разрядные программы",
                                        L"Media Foundation, 32-разрядные программы"}
            : std::vector<std::wstring>{L"DirectShow, 32-разрядные программы", L"DirectShow, 64-разрядные программы",
                                        L"Media Foundation, 32-разрядные программы",
                                        L"Media Foundation, 64-разрядные программы"};
    CHECK(views == expectedViews, Joined(views));
    CHECK(ListViewHeadings(dialog.List(), program.processId) ==
              (std::vector<std::wstring>{L"Формат", L"Фильтр", L"Файл фильтра", L"Класс"}),
          Joined(ListViewHeadings(dialog.List(), program.processId)));

    const std::wstring quartz = L"C:\\windows\\system32\\quartz.dll";
    const std::vector<std::wstring> formats = {format, skipped, badName, unregistered, GuidOf(major)};
    Table expected = {
        {format, L"Vantrel Usual Decoder", quartz, usual},
        {skipped, kNotInEffect, L"", L"not a class id"},
        {badName, kNotInEffect, L"", usual},
        {unregistered, kNotRegistered, kNoFile, ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, unregistered, kOwnView)},
        {GuidOf(major), L"Vantrel Damaged Decoder", kNoFile, broken},
    };
    std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) { return lstrcmpiW(a[0].c_str(), b[0].c_str()) < 0; });
    CHECK(dialog.RowsOf(formats) == expected, TableText(dialog.Rows()) + L"\nexpected:" + TableText(expected));
    LookPoint(L"preferred-decoders");

    // The other view lists its own value for the same format.
    dialog.ChooseView(1);
    const Table otherRows = dialog.RowsOf(formats);
    CHECK(otherRows == (Table{{format, L"Vantrel Other Width Decoder", quartz, otherWidth}}), TableText(otherRows));
    dialog.ChooseView(0);

    // "Изменить..": the candidates, highest merit first, the filter of any
    // subtype of the major type after them; not the encoder (an output pin),
    // nor the filter whose FilterData is damaged, nor a class id that is no
    // GUID. OK writes the own view only.
    std::vector<std::wstring> backups = BackupFiles();
    CHECK(dialog.Press(format, IDC_PREFERRED_CHANGE), TableText(dialog.Rows()));
    const Table candidates = ChooseCandidate(program, format, L"Vantrel Best Decoder", L"decoder-choice");
    const Table expectedCandidates = {
        {L"Vantrel Best Decoder", L"Высокий (MERIT_PREFERRED)", quartz, best},
        {L"Vantrel DMO Decoder", L"0x00600800", quartz, dmo},
        {L"Vantrel Usual Decoder", L"Средний (MERIT_NORMAL)", quartz, usual},
        {L"Vantrel Any Decoder (любой формат)", L"0x00800001", quartz, anyFormat},
    };
    CHECK(candidates == expectedCandidates, TableText(candidates));
    std::wstring backup = WaitForNewBackup(backups);
    CHECK(backup.find(L"Изменение предпочтительного декодера - " + format + L".reg") != std::wstring::npos, backup);
    CHECK(WaitUntil([&] { return ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, format, kOwnView) == best; }),
          ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, format, kOwnView));
    CHECK(ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, format, kOtherView) == otherWidth, L"the other view changed");
    CHECK(WaitUntil([&] { return dialog.RowsOf({format}) == Table{{format, L"Vantrel Best Decoder", quartz, best}}; }),
          TableText(dialog.Rows()));
    CHECK(ImportRegFile(backup, kRegEditorFolder) == 0, backup);
    CHECK(ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, format, kOwnView) == usual, L"not restored by " + backup);

    // "Добавить..": a subtype typed in; its backup removes the value again.
    backups = BackupFiles();
    PressButton(dialog.window, IDC_PREFERRED_ADD);
    HWND formatChoice = program.WaitForDialog(kFormatTitle);
    if (!formatChoice) return CheckFailed(__FILE__, __LINE__, "dialog 139", program.Dialogs());
    CHECK(ComboBoxRows(GetDlgItem(formatChoice, IDC_FORMAT_TEXT)).size() > 10, L"no named formats");
    SetDlgItemTextW(formatChoice, IDC_FORMAT_TEXT, (L" " + addedFormat + L" ").c_str());
    PressButton(formatChoice, IDOK);
    CHECK(program.WaitDialogGone(formatChoice), program.Dialogs());
    const Table addedCandidates = ChooseCandidate(program, addedFormat, L"Vantrel Best Decoder");
    CHECK(addedCandidates.size() == 2 && addedCandidates[0][0] == L"Vantrel Best Decoder" &&
              addedCandidates[1][0] == L"Vantrel Any Decoder (любой формат)",
          TableText(addedCandidates));
    backup = WaitForNewBackup(backups);
    CHECK(WaitUntil([&] { return ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, addedFormat, kOwnView) == best; }),
          L"not added");
    CHECK(RegFileText(backup).find(L"\r\n\"" + addedFormat + L"\"=-\r\n") != std::wstring::npos, RegFileText(backup));
    CHECK(ImportRegFile(backup, kRegEditorFolder) == 0, backup);
    bool found = true;
    ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, addedFormat, kOwnView, &found);
    CHECK(!found, L"the import did not remove the added value");

    // "Удалить": only after Yes; the backup brings the value back.
    backups = BackupFiles();
    CHECK(dialog.Press(skipped, IDC_PREFERRED_REMOVE), TableText(dialog.Rows()));
    HWND question = WaitForMessageBox(program, {dialog.window});
    CHECK(question && GetWindow(question, GW_OWNER) == dialog.window && GetDlgItem(question, IDYES) && GetDlgItem(question, IDNO),
          program.Dialogs());
    if (question) PressButton(question, IDNO);
    program.WaitDialogGone(question);
    CHECK(ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, skipped, kOwnView) == L"not a class id", L"removed after No");
    CHECK(dialog.Press(skipped, IDC_PREFERRED_REMOVE), TableText(dialog.Rows()));
    question = WaitForMessageBox(program, {dialog.window});
    if (question) PressButton(question, IDYES);
    backup = WaitForNewBackup(backups);
    CHECK(WaitUntil([&] { return dialog.RowIndex(skipped) < 0; }), TableText(dialog.Rows()));
    CHECK(ImportRegFile(backup, kRegEditorFolder) == 0, backup);
    CHECK(ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, skipped, kOwnView) == L"not a class id", L"not restored");

    // The other view: its own candidates, its own value, a backup naming the
    // key where it lives (Wow6432Node for the 32-bit view).
    dialog.ChooseView(1);
    backups = BackupFiles();
    CHECK(dialog.Press(format, IDC_PREFERRED_CHANGE), TableText(dialog.Rows()));
    const Table otherCandidates = ChooseCandidate(program, format, L"(none)");  // cancelled
    CHECK(otherCandidates == (Table{{L"Vantrel Other Width Decoder", L"Средний (MERIT_NORMAL)", quartz, otherWidth}}),
          TableText(otherCandidates));
    CHECK(BackupFiles() == backups, L"a backup without a change");
    PressButton(dialog.window, IDC_PREFERRED_REMOVE);
    question = WaitForMessageBox(program, {dialog.window});
    if (question) PressButton(question, IDYES);
    backup = WaitForNewBackup(backups);
    bool otherFound = true;
    CHECK(WaitUntil([&] {
              ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, format, kOtherView, &otherFound);
              return !otherFound;
          }),
          L"not removed from the other view");
    CHECK(ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, format, kOwnView) == usual, L"the own view changed");
    const std::wstring text = RegFileText(backup);
    const bool namesWow = text.find(L"Wow6432Node") != std::wstring::npos || text.find(L"WOW6432Node") != std::wstring::npos;
    CHECK(namesWow == (kOtherView == KEY_WOW64_32KEY), text);
    CHECK(ImportRegFile(backup, kRegEditorFolder) == 0, backup);
    CHECK(ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, format, kOtherView) == otherWidth, L"not restored: " + text);

    // Media Foundation's list of the own view: its DoNotUse shown and never
    // written; a decoder whose InputTypes name the subtype is the candidate,
    // written into Media Foundation's Preferred with a backup that removes it again.
    RegistryScratch transform;
    const std::wstring transformId = NewGuidText();
    std::wstring keyName = transformId.substr(1, 36);
    CharLowerBuffW(keyName.data(), static_cast<DWORD>(keyName.size()));
    transform.Own(L"MediaFoundation\\Transforms\\" + keyName);
    transform.Own(L"MediaFoundation\\Transforms\\Categories\\d6c02d4b-6833-45b4-971a-05a4b04bab91\\" + keyName);
    transform.Own(L"CLSID\\" + transformId);
    transform.SetText(L"MediaFoundation\\Transforms\\" + keyName, nullptr, L"Vantrel Transform Decoder");
    const GUID pairs[2] = {major, subtype};
    transform.SetBytes(L"MediaFoundation\\Transforms\\" + keyName, L"InputTypes", pairs, sizeof(pairs));
    transform.CreateKey(L"MediaFoundation\\Transforms\\Categories\\d6c02d4b-6833-45b4-971a-05a4b04bab91\\" + keyName);
    transform.SetText(L"CLSID\\" + transformId + L"\\InprocServer32", nullptr, quartz);
    const wchar_t kTransformPreferred[] = L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\Preferred";
    PlantedPreferences blockedTransform(kOwnView, L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\DoNotUse");
    blockedTransform.Set(transformId, L"");
    PlantedPreferences transformValues(kOwnView, kTransformPreferred);
    transformValues.names.push_back(format);  // made by the program, removed at the end too
    dialog.ChooseView(2);
    CHECK(dialog.RowsOf({L"отключен (DoNotUse)"}) ==
              (Table{{L"отключен (DoNotUse)", L"Vantrel Transform Decoder", quartz, transformId}}),
          TableText(dialog.Rows()));
    LookPoint(L"preferred-media-foundation");
    CHECK(dialog.Press(L"отключен (DoNotUse)", IDC_PREFERRED_REMOVE), TableText(dialog.Rows()));
    HWND shownOnly = WaitForMessageBox(program, {dialog.window});
    if (shownOnly) PressButton(shownOnly, IDOK);
    program.WaitDialogGone(shownOnly);
    CHECK(dialog.RowIndex(L"отключен (DoNotUse)") >= 0, L"the DoNotUse row went");
    backups = BackupFiles();
    PressButton(dialog.window, IDC_PREFERRED_ADD);
    formatChoice = program.WaitForDialog(kFormatTitle);
    if (!formatChoice) return CheckFailed(__FILE__, __LINE__, "dialog 139", program.Dialogs());
    SetDlgItemTextW(formatChoice, IDC_FORMAT_TEXT, format.c_str());
    PressButton(formatChoice, IDOK);
    CHECK(program.WaitDialogGone(formatChoice), program.Dialogs());
    const Table transformCandidates = ChooseCandidate(program, format, L"Vantrel Transform Decoder");
    CHECK(transformCandidates == (Table{{L"Vantrel Transform Decoder", L"Не определен", quartz, transformId}}),
          TableText(transformCandidates));
    backup = WaitForNewBackup(backups);
    CHECK(WaitUntil([&] { return ReadValueText(HKEY_LOCAL_MACHINE, kTransformPreferred, format, kOwnView) == transformId; }),
          L"not written into Media Foundation's Preferred");
    CHECK(ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, format, kOwnView) == usual, L"DirectShow's changed");
    CHECK(ImportRegFile(backup, kRegEditorFolder) == 0, backup);
    bool transformFound = true;
    ReadValueText(HKEY_LOCAL_MACHINE, kTransformPreferred, format, kOwnView, &transformFound);
    CHECK(!transformFound, L"the import did not remove the value: " + RegFileText(backup));
    PressButton(dialog.window, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog.window), program.Dialogs());
}

// The key given to TrustedInstaller, with permissions that let Administrators
// only read it, as Windows keeps its own keys. Not elevated: the write fails
// and the restart is offered, each box owned by dialog 131, which is disabled
// meanwhile. Elevated: the question, owned by dialog 131; Yes writes the value
// and the owner and permissions read back byte for byte as before; the backup
// records them in SDDL. A write refused at the change itself leaves owner,
// permissions and value as they were and names the step. Restoring the
// first change's backup from dialog 134 asks the same question, owned by
// dialog 134 and naming the key and its view, after a backup that records
// the key's owner and permissions, and gives them back as well.
SCENARIO(preferred_decoder_on_system_owned_key) {
    const GUID major = GuidFromText(NewGuidText());
    const GUID subtype = GuidFromText(NewGuidText());
    const GUID refusedSubtype = GuidFromText(NewGuidText());
    const std::wstring format = GuidOf(subtype), refusedFormat = GuidOf(refusedSubtype);
    PlantedDecoders own(kOwnView);
    const std::wstring first = own.Filter(L"Vantrel First Decoder", RuntimeFilterData(0x00600000, {{false, {{major, subtype}, {major, refusedSubtype}}}}));
    const std::wstring second = own.Filter(L"Vantrel Second Decoder", RuntimeFilterData(0x00800000, {{false, {{major, subtype}, {major, refusedSubtype}}}}));
    PlantedPreferences values(kOwnView);
    values.Set(format, first);
    values.Set(refusedFormat, first);

    // A handle with every right, taken before the key changes hands: the test
    // gives the key back its own owner and permissions through it at the end.
    HKEY held = nullptr;
    CHECK(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPreferredPath, 0, KEY_ALL_ACCESS | kOwnView, &held) == ERROR_SUCCESS, L"key");
    if (!held) return;
    const std::vector<BYTE> original = KeySecurity(held);
    struct GiveBack {
        HKEY key;
        std::vector<BYTE> security;
        ~GiveBack() {
            RegSetKeySecurity(key, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, security.data());
            RegCloseKey(key);
        }
    } giveBack{held, original};
    const auto giveToSystem = [&] {
        PSECURITY_DESCRIPTOR systemOwned = nullptr;
        ConvertStringSecurityDescriptorToSecurityDescriptorW(
            (L"O:" + std::wstring(kTrustedInstaller) + L"D:P(A;;KR;;;BA)(A;CI;KA;;;" + kTrustedInstaller + L")").c_str(),
            SDDL_REVISION_1, &systemOwned, nullptr);
        CHECK(RegSetKeySecurity(held, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, systemOwned) == ERROR_SUCCESS,
              L"the key's security not set");
        LocalFree(systemOwned);
    };
    giveToSystem();
    const std::vector<BYTE> before = KeySecurity(held);
    CHECK(SddlOf(before).find(L"O:" + std::wstring(kTrustedInstaller)) == 0, SddlOf(before));

    // Not elevated: the refusal, then the restart offer; No.
    {
        ProgramUnderTest program;
        if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
        if (!program.LoadRefusals()) return CheckFailed(__FILE__, __LINE__, "refusals loaded", program.State());
        PreferredDialog dialog = OpenPreferred(program);
        if (!dialog.window) return;
        CHECK(dialog.Press(format, IDC_PREFERRED_CHANGE), TableText(dialog.Rows()));
        ChooseCandidate(program, format, L"Vantrel Second Decoder");
        HWND box = WaitForMessageBox(program, {dialog.window});
        CHECK(box && MessageBoxText(box) == L"Не удалось изменить предпочтительный декодер (Ошибка записи данных в реестр)",
              program.Dialogs());
        CHECK(box && GetWindow(box, GW_OWNER) == dialog.window && !IsWindowEnabled(dialog.window), L"not owned by dialog 131");
        if (box) PressButton(box, IDOK);
        program.WaitDialogGone(box);
        box = WaitForMessageBox(program, {dialog.window});
        CHECK(box && MessageBoxText(box) == L"Перезапустить программу с правами администратора?" &&
                  GetWindow(box, GW_OWNER) == dialog.window && !IsWindowEnabled(dialog.window),
              program.Dialogs());
        if (box) PressButton(box, IDNO);
        program.WaitDialogGone(box);
        CHECK(WaitUntil([&] { return IsWindowEnabled(dialog.window) != FALSE; }), L"dialog 131 left disabled");
        CHECK(ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, format, kOwnView) == first, L"written");
        CHECK(KeySecurity(held) == before, SddlOf(KeySecurity(held)));
    }

    // Elevated: the system's key, taken over for the change and given back.
    // The test DLL opens the key it may hand out while the key is still the
    // administrators' own, then the key goes to the system again.
    RegSetKeySecurity(held, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, const_cast<BYTE*>(original.data()));
    SetEnvironmentVariableW(L"VANTREL_KEEP_ELEVATED", L"1");
    SetEnvironmentVariableW(L"VANTREL_OWNABLE_KEYS", kPreferredPath);
    SetEnvironmentVariableW(L"VANTREL_REFUSE_VALUES", refusedFormat.c_str());
    ProgramUnderTest program;
    const bool started = program.Start(exePath);
    const bool loaded = started && program.LoadRefusals();
    SetEnvironmentVariableW(L"VANTREL_KEEP_ELEVATED", nullptr);
    SetEnvironmentVariableW(L"VANTREL_OWNABLE_KEYS", nullptr);
    SetEnvironmentVariableW(L"VANTREL_REFUSE_VALUES", nullptr);
    if (!loaded) return CheckFailed(__FILE__, __LINE__, "program started with the refusals", program.State());
    giveToSystem();
    CHECK(KeySecurity(held) == before, SddlOf(KeySecurity(held)));
    PreferredDialog dialog = OpenPreferred(program);
    if (!dialog.window) return;
    std::vector<std::wstring> backups = BackupFiles();
    CHECK(dialog.Press(format, IDC_PREFERRED_CHANGE), TableText(dialog.Rows()));
    ChooseCandidate(program, format, L"Vantrel Second Decoder");
    HWND box = WaitForMessageBox(program, {dialog.window});
    CHECK(box && MessageBoxText(box) == kOwnershipQuestion, program.Dialogs());
    CHECK(box && GetWindow(box, GW_OWNER) == dialog.window && !IsWindowEnabled(dialog.window), L"not owned by dialog 131");
    CHECK(box && GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO), L"not a Yes/No box");
    LookPoint(L"ownership-question");
    if (box) PressButton(box, IDYES);
    program.WaitDialogGone(box);
    // The value is written first, the owner and permissions given back after it.
    CHECK(WaitUntil([&] {
              return ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, format, kOwnView) == second &&
                     KeySecurity(held) == before;
          }),
          L"not written: " + program.Dialogs());
    CHECK(KeySecurity(held) == before, L"owner and permissions now " + SddlOf(KeySecurity(held)) + L", were " + SddlOf(before));
    const std::wstring backup = WaitForNewBackup(backups);
    const std::wstring text = RegFileText(backup);
    CHECK(text.find(L"\r\n; Владелец и права раздела до изменения (SDDL): " + SddlOf(before) + L"\r\n") != std::wstring::npos,
          text);
    CHECK(text.find(L"\"" + format + L"\"=\"" + first + L"\"") != std::wstring::npos, text);

    // The change itself refused: the step and the system's error are named,
    // owner and permissions are back, the value is as it was.
    CHECK(dialog.Press(refusedFormat, IDC_PREFERRED_CHANGE), TableText(dialog.Rows()));
    ChooseCandidate(program, refusedFormat, L"Vantrel Second Decoder");
    box = WaitForMessageBox(program, {dialog.window});
    if (box) PressButton(box, IDYES);
    program.WaitDialogGone(box);
    box = WaitForMessageBox(program, {dialog.window});
    const std::wstring failure = box ? MessageBoxText(box) : program.Dialogs();
    CHECK(failure.find(L"Не удалось изменить предпочтительный декодер.\nНе удался шаг: запись значения.\n") == 0 &&
              failure.find(L"(ошибка 5)") != std::wstring::npos &&
              failure.find(L"Владелец и права раздела восстановлены.") != std::wstring::npos,
          failure);
    CHECK(box && GetWindow(box, GW_OWNER) == dialog.window, L"not owned by dialog 131");
    if (box) PressButton(box, IDOK);
    program.WaitDialogGone(box);
    CHECK(ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, refusedFormat, kOwnView) == first, L"written");
    CHECK(KeySecurity(held) == before, L"owner and permissions now " + SddlOf(KeySecurity(held)));
    PressButton(dialog.window, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog.window), program.Dialogs());

    // The first change's backup restored from dialog 134: after the restore's
    // own backup, the same question, owned by dialog 134; Yes writes the value
    // back, and no second backup is taken, nor any report shown.
    program.PostCommand(IDM_REGISTRY_BACKUPS);
    HWND backupsDialog = program.WaitForDialog(L"Резервные копии реестра");
    if (!backupsDialog) return CheckFailed(__FILE__, __LINE__, "dialog 134", program.Dialogs());
    HWND list = GetDlgItem(backupsDialog, IDC_BACKUP_LIST);
    const Table listed = ListViewRows(list, program.processId, 4);
    const auto row = std::find_if(listed.begin(), listed.end(), [&](const std::vector<std::wstring>& cells) {
        return cells[3] == backup.substr(backup.rfind(L'\\') + 1);
    });
    if (row == listed.end()) return CheckFailed(__FILE__, __LINE__, "the backup listed", backup);
    SelectListViewRow(list, program.processId, static_cast<int>(row - listed.begin()));
    backups = BackupFiles();
    PressButton(backupsDialog, IDC_BACKUP_RESTORE);
    box = WaitForMessageBox(program, {backupsDialog});
    const std::wstring asked = box ? MessageBoxText(box) : program.Dialogs();
    CHECK(asked.find(kRestoreQuestion) == 0, asked);
    if (box) PressButton(box, IDYES);
    program.WaitDialogGone(box);
    // The restore's own backup records the key's owner and permissions before
    // the key is taken over, and the question names the key and its view.
    const std::wstring restoreBackup = WaitForNewBackup(backups);
    const std::wstring restoreText = RegFileText(restoreBackup);
    const size_t keyAt = text.find(L"\r\n[");
    const std::wstring keyName =
        keyAt == std::wstring::npos ? L"(none)" : text.substr(keyAt + 3, text.find(L"]\r\n", keyAt) - keyAt - 3);
    CHECK(restoreText.find(L"\"" + format + L"\"=\"" + second + L"\"") != std::wstring::npos, restoreText);
    CHECK(restoreText.find(L"\r\n; Владелец и права раздела до изменения (SDDL): " + SddlOf(before) + L"\r\n\r\n[" +
                           keyName + L"]\r\n") != std::wstring::npos,
          restoreText);
    box = WaitForMessageBox(program, {backupsDialog});
    const std::wstring ownershipAsked = std::wstring(kOwnershipQuestion) + L"\n\n" + keyName + L"\n" +
                                        (sizeof(void*) == 8 ? L"(64-разрядные программы)" : L"(32-разрядные программы)");
    CHECK(box && MessageBoxText(box) == ownershipAsked, program.Dialogs() + L"\nexpected: " + ownershipAsked);
    CHECK(box && GetWindow(box, GW_OWNER) == backupsDialog && !IsWindowEnabled(backupsDialog), L"not owned by dialog 134");
    CHECK(ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, format, kOwnView) == second, L"written before the answer");
    LookPoint(L"restore-ownership-question");
    if (box) PressButton(box, IDYES);
    program.WaitDialogGone(box);
    // The value is written first, the owner and permissions given back after it.
    CHECK(WaitUntil([&] {
              return ReadValueText(HKEY_LOCAL_MACHINE, kPreferredPath, format, kOwnView) == first &&
                     KeySecurity(held) == before;
          }),
          L"not restored: " + program.Dialogs());
    CHECK(KeySecurity(held) == before, L"owner and permissions now " + SddlOf(KeySecurity(held)) + L", were " + SddlOf(before));
    program.Settle();
    CHECK(program.VisibleDialogs() == std::vector<HWND>{backupsDialog} && IsWindowEnabled(backupsDialog), program.Dialogs());
    CHECK(BackupFiles().size() == backups.size() + 1, L"a second backup");
    PressButton(backupsDialog, IDCANCEL);
    CHECK(program.WaitDialogGone(backupsDialog), program.Dialogs());
}

// Media Foundation's Preferred and DoNotUse keys made registry links to a
// key holding other values: dialog 131 shows each as a link and lists
// nothing of what it points to; a removal, a change or an addition says that
// nothing is written through a link, in a box owned by dialog 131, and
// nothing is written or backed up.
SCENARIO(preferred_keys_that_are_links) {
    const std::wstring half = sizeof(void*) == 4 ? L"Wow6432Node\\" : L"";
    const std::wstring transforms = L"SOFTWARE\\Classes\\" + half + L"MediaFoundation\\Transforms";
    const std::wstring other = L"SOFTWARE\\Classes\\" + half + L"Vantrel other key " + NewGuidText().substr(1, 8);
    const std::wstring subtype = NewGuidText(), decoder = NewGuidText();
    CHECK(WriteTextIn(KEY_WOW64_64KEY, HKEY_LOCAL_MACHINE, other, subtype.c_str(), decoder), other);
    using NtDeleteKeyFunction = LONG(WINAPI*)(HANDLE);
    const auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    struct Links {
        NtDeleteKeyFunction remove;
        std::vector<std::wstring> paths;
        ~Links() {
            for (const std::wstring& path : paths) {
                HKEY link = nullptr;
                if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                                  &link) == ERROR_SUCCESS) {
                    remove(link);
                    RegCloseKey(link);
                }
            }
        }
    } links{ntDeleteKey, {}};
    for (const wchar_t* name : {L"Preferred", L"DoNotUse"}) {
        const std::wstring path = transforms + L"\\" + name;
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_64KEY, 0);  // a key of earlier scenarios, empty
        HKEY link = nullptr;
        const bool made = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                                          KEY_ALL_ACCESS | KEY_CREATE_LINK | KEY_WOW64_64KEY, nullptr, &link,
                                          nullptr) == ERROR_SUCCESS;
        if (made) links.paths.push_back(path);
        const std::wstring target = L"\\Registry\\Machine\\" + other;
        CHECK(made && RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                                     static_cast<DWORD>(target.size() * sizeof(wchar_t))) == ERROR_SUCCESS,
              L"no link at " + path);
        if (link) RegCloseKey(link);
    }

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    PreferredDialog dialog = OpenPreferred(program);
    if (!dialog.window) return;
    dialog.ChooseView(2);  // Media Foundation, the program's own width
    const std::wstring link = L"ссылка реестра, не открывалась";
    const Table rows = dialog.Rows();
    CHECK(rows == (Table{{link, L"", L"", L""}, {L"отключен (DoNotUse)", link, L"", L""}}), TableText(rows));
    LookPoint(L"preferred-links");
    const std::vector<std::wstring> backups = BackupFiles();
    for (int button : {IDC_PREFERRED_REMOVE, IDC_PREFERRED_CHANGE, IDC_PREFERRED_ADD}) {
        if (button == IDC_PREFERRED_ADD) {
            PressButton(dialog.window, button);
        } else {
            CHECK(dialog.Press(link, button), TableText(dialog.Rows()));
        }
        HWND box = WaitForMessageBox(program, {dialog.window});
        const std::wstring text = box ? MessageBoxText(box) : program.Dialogs();
        CHECK(text == L"Раздел является ссылкой реестра: программа через ссылки не записывает." &&
                  GetWindow(box, GW_OWNER) == dialog.window,
              Format(L"button %d: ", button) + text);
        if (box) PressButton(box, IDOK);
        CHECK(!box || program.WaitDialogGone(box), program.Dialogs());
    }
    CHECK(ReadValueText(HKEY_LOCAL_MACHINE, other, subtype, KEY_WOW64_64KEY) == decoder && BackupFiles() == backups,
          L"written through the link");
    PressButton(dialog.window, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog.window), program.Dialogs());
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, other.c_str(), KEY_WOW64_64KEY, 0);
}
