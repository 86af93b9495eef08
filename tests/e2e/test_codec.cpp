#include "test_codec.h"

#include <algorithm>
#include <commctrl.h>
#include <utility>

TestCodec::TestCodec(const std::wstring& namePrefix, const std::wstring& pages, const std::wstring& kind,
                     bool otherWidthCopy)
    : name(namePrefix + L" " + classId.substr(1, 8)), object(name + L" Object"),
      dllPath(folder.path + L"\\testcodec.dll"), otherWidth(otherWidthCopy) {
    const std::wstring& source = otherWidth ? g_otherWidthTestCodecDll : g_testCodecDll;
    if (!CopyFileW(source.c_str(), dllPath.c_str(), FALSE)) {
        CheckFailed(__FILE__, __LINE__, "test codec copied", source);
    }
    const std::wstring cfg = L"clsid=" + classId + L"\nname=" + name + L"\nobject=" + object + L"\nkind=" + kind +
                             L"\npages=" + pages + L"\npage=" + pageId + L"\n";
    AppendConfig(cfg, CREATE_ALWAYS);
}

void TestCodec::AppendConfig(const std::wstring& lines, DWORD disposition) const {
    const std::string bytes = Utf8(lines);
    HANDLE file = CreateFileW((folder.path + L"\\testcodec.cfg").c_str(), FILE_APPEND_DATA, 0, nullptr, disposition,
                              0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

namespace {
const wchar_t kAudioInstance[] = L"CLSID\\{33D9A761-90C8-11d0-BD43-00A0C911CE86}\\Instance";
const REGSAM kViews[2] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
}  // namespace

void TestCodec::AddExtras() const {
    for (int i = 0; i < 2; ++i) audioInstanceWasThere[i] = KeyExists(kAudioInstance, kViews[i]);
    AppendConfig(L"extra_filter=" + extraFilterId + L"\nextra_dmo=" + extraDmoId + L"\nextra_mft=" + extraMftId + L"\n",
                 OPEN_EXISTING);
}

std::vector<std::wstring> TestCodec::KeysWithExtras() const {
    // The audio compressor category, and the video decoder DMO category as the
    // DMO registration names it (without braces).
    const std::wstring audioInstance = std::wstring(kAudioInstance) + L"\\";
    const std::wstring dmoCategory = L"DirectShow\\MediaObjects\\Categories\\4A69B442-28BE-4991-969C-B500ADF5D8A8\\";
    const std::wstring dmo = extraDmoId.substr(1, 36);
    return {ClassKey(),          InstancePath(),
            L"CLSID\\" + extraFilterId, audioInstance + extraFilterId,
            L"CLSID\\" + extraDmoId,    L"DirectShow\\MediaObjects\\" + dmo,
            dmoCategory + dmo,        L"CLSID\\" + extraMftId,
            TransformKey(),           TransformCategoryEntry()};
}

std::wstring TestCodec::TransformKeyName() const {
    std::wstring name = extraMftId.substr(1, 36);
    CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

std::wstring TestCodec::TransformKey() const { return L"MediaFoundation\\Transforms\\" + TransformKeyName(); }

std::wstring TestCodec::TransformCategoryEntry() const {
    return L"MediaFoundation\\Transforms\\Categories\\" + std::wstring(kVideoDecoderTransforms) + L"\\" +
           TransformKeyName();
}

TestCodec::~TestCodec() {
    if (GetFileAttributesW(dllPath.c_str()) != INVALID_FILE_ATTRIBUTES) Regsvr32(L"/u /s");
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        DeleteTree(InstancePath(), view);
        DeleteTree(ClassKey(), view);
        DeleteTree(L"CLSID\\" + pageId, view);
        DeleteTree(L"DirectShow\\MediaObjects\\" + classId.substr(1, 36), view);
        for (const std::wstring& key : KeysWithExtras()) DeleteTree(key, view);
    }
    // Only while it is empty: another codec of the test may still be in it.
    for (int i = 0; i < 2; ++i) {
        if (!audioInstanceWasThere[i]) RegDeleteKeyExW(HKEY_CLASSES_ROOT, kAudioInstance, kViews[i], 0);
    }
}

int TestCodec::Regsvr32(const std::wstring& options) const {
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    // The other width's tool: the 32-bit one from a 64-bit driver, the 64-bit one from a 32-bit driver.
    const wchar_t* folder = !otherWidth ? L"\\system32" : sizeof(void*) == 8 ? L"\\syswow64" : L"\\sysnative";
    const std::wstring application = std::wstring(windows) + folder + L"\\regsvr32.exe";
    std::wstring commandLine = L"regsvr32 " + options + L" \"" + dllPath + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ProcessHandles process;
    if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, process.Get())) {
        lastRegsvr32 = Format(L"%ls could not be started (error %lu)", application.c_str(), GetLastError());
        return -1;
    }
    const DWORD waited = WaitForSingleObject(process.Process(), 30000);
    DWORD code = 0;
    GetExitCodeProcess(process.Process(), &code);
    lastRegsvr32 = waited == WAIT_OBJECT_0 ? Format(L"regsvr32 %ls exited with %lu", options.c_str(), code)
                                           : Format(L"regsvr32 %ls still running after 30 s", options.c_str());
    return static_cast<int>(code);
}

const wchar_t kManageTitle[] = L"Управление кодеком";
const wchar_t kConfirmTitle[] = L"Подтвердите действие";
const wchar_t kMeritTitle[] = L"Изменить приоритет кодека";

HWND OpenManagement(ProgramUnderTest& program, const std::wstring& row, const std::wstring& exePath) {
    if (!program.Start(exePath)) return nullptr;
    const int index = program.RowIndex(row);
    CHECK(index >= 0, L"no row " + row.substr(0, 60) + L" among " + Joined(program.ListRows()));
    if (index < 0) return nullptr;
    program.DoubleClickRow(index);
    HWND dialog = program.WaitForDialog(kManageTitle);
    CHECK(dialog != nullptr, program.Dialogs());
    return dialog;
}

HWND WaitForMessageBox(const ProgramUnderTest& program, std::initializer_list<HWND> known) {
    HWND box = nullptr;
    WaitUntil([&] {
        for (HWND dialog : program.VisibleDialogs()) {
            if (std::find(known.begin(), known.end(), dialog) == known.end() && GetDlgItem(dialog, kMessageBoxTextId)) {
                box = dialog;
            }
        }
        return box != nullptr;
    });
    return box;
}

const wchar_t kTransformsTitle[] = L"Кодеки Media Foundation";

HWND OpenTransforms(const ProgramUnderTest& program) {
    program.PostCommand(IDM_TRANSFORMS);
    HWND dialog = program.WaitForDialog(kTransformsTitle);
    CHECK(dialog != nullptr, program.Dialogs());
    return dialog;
}

void ChooseTransformsRow(HWND dialog, int comboId, int row) {
    HWND combo = GetDlgItem(dialog, comboId);
    SendMessageW(combo, CB_SETCURSEL, row, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

Table TransformRows(const ProgramUnderTest& program, HWND dialog) {
    return ListViewRows(GetDlgItem(dialog, IDC_TRANSFORM_LIST), program.processId, kTransformColumns);
}

std::wstring MissingImportDll(const wchar_t* name, bool otherWidth) {
    const std::wstring& codec = otherWidth ? g_otherWidthTestCodecDll : g_testCodecDll;
    return codec.substr(0, codec.rfind(L"\\testcodec\\")) + L"\\missing_imports\\" + name;
}

std::wstring DriverCodecDll(bool otherWidth) {
    const std::wstring& codec = otherWidth ? g_otherWidthTestCodecDll : g_testCodecDll;
    return codec.substr(0, codec.rfind(L"\\testcodec\\")) + L"\\drivercodec\\vantrel_drivercodec.dll";
}

CopiedFiles::CopiedFiles(const std::wstring& name, std::initializer_list<std::wstring> files,
                         const std::wstring& separator)
    : folder(name, separator) {
    for (const std::wstring& file : files) Copy(file, file.substr(file.rfind(L'\\') + 1));
}

std::wstring CopiedFiles::Copy(const std::wstring& file, const std::wstring& copyName) const {
    const std::wstring copy = folder.path + L"\\" + copyName;
    CHECK(CopyFileW(file.c_str(), copy.c_str(), FALSE), file + L" to " + copy);
    return copy;
}

const wchar_t kDrivers32Key[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
const wchar_t kDriversDescKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc";
const wchar_t kDriverCacheKey[] = L"SOFTWARE\\Microsoft\\AudioCompressionManager\\DriverCache";

bool WriteMachineText(const std::wstring& path, const wchar_t* name, const std::wstring& value, REGSAM view) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

std::vector<BYTE> MachineValue(const std::wstring& path, const wchar_t* name, REGSAM view, DWORD* type) {
    std::vector<BYTE> bytes(64 * 1024);
    DWORD size = static_cast<DWORD>(bytes.size());
    DWORD valueType = REG_NONE;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND | (view == KEY_WOW64_32KEY ? RRF_SUBKEY_WOW6432KEY : view == KEY_WOW64_64KEY ? RRF_SUBKEY_WOW6464KEY : 0),
                     &valueType, bytes.data(), &size) != ERROR_SUCCESS) {
        bytes.clear();
        size = 0;
    }
    bytes.resize(size);
    if (type) *type = valueType;
    return bytes;
}

void RemoveDriverCacheEntry(const std::wstring& alias) {
    std::wstring lower = alias;
    CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kDriverCacheKey) + L"\\" + lower).c_str(), view, 0);
    }
}

PlantedDriver::PlantedDriver(const std::wstring& valueName, const std::wstring& file, REGSAM inView,
                             const std::wstring& description)
    : name(valueName), data(file), view(inView) {
    CHECK(WriteMachineText(kDrivers32Key, name.c_str(), data, view), name);
    if (!description.empty()) {
        descriptionName = data;
        CHECK(WriteMachineText(kDriversDescKey, descriptionName.c_str(), description, view), descriptionName);
    }
}

PlantedDriver::~PlantedDriver() {
    for (const auto& [path, value] : {std::pair<std::wstring, std::wstring>{kDrivers32Key, name},
                                      std::pair<std::wstring, std::wstring>{kDriversDescKey, descriptionName}}) {
        if (value.empty()) continue;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE | view, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, value.c_str());
            RegCloseKey(key);
        }
    }
    RemoveDriverCacheEntry(name);
}

const wchar_t kDriverCodecsTitle[] = L"Кодеки ACM и Video for Windows";

HWND OpenDriverCodecs(const ProgramUnderTest& program) {
    program.PostCommand(IDM_DRIVER_CODECS);
    HWND dialog = program.WaitForDialog(kDriverCodecsTitle);
    CHECK(dialog != nullptr, L"no dialog 136: " + program.Dialogs());
    return dialog;
}

Table DriverCodecRows(const ProgramUnderTest& program, HWND dialog) {
    program.Settle();
    return ListViewRows(GetDlgItem(dialog, IDC_DRIVER_LIST), program.processId, kDriverColumns);
}

Table CheckDriverCodecs(const ProgramUnderTest& program, HWND dialog, const std::vector<int>& rows) {
    HWND list = GetDlgItem(dialog, IDC_DRIVER_LIST);
    // Nothing selected first; then each row given, as a click with Ctrl adds it.
    SetListViewRowSelected(list, program.processId, -1, false);
    for (int row : rows) SetListViewRowSelected(list, program.processId, row, true);
    PressButton(dialog, IDC_DRIVER_CHECK);
    program.Settle();
    CHECK(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(dialog, IDC_DRIVER_CHECK)) != FALSE; }, 60000),
          ControlText(dialog, IDC_DRIVER_STATUS) + L" " + program.Dialogs());
    return DriverCodecRows(program, dialog);
}
