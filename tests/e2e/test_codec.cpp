#include "test_codec.h"

#include <algorithm>

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

void TestCodec::AddExtras() const {
    AppendConfig(L"extra_filter=" + extraFilterId + L"\nextra_dmo=" + extraDmoId + L"\nextra_mft=" + extraMftId + L"\n",
                 OPEN_EXISTING);
}

std::vector<std::wstring> TestCodec::KeysWithExtras() const {
    // The audio compressor category, and the video decoder DMO category as the
    // DMO registration names it (without braces).
    const std::wstring audioInstance = L"CLSID\\{33D9A761-90C8-11d0-BD43-00A0C911CE86}\\Instance\\";
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
