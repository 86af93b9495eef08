// A configured copy of the test codec DLL in a folder of its own (with a blank
// in its name), under fresh class ids, unregistered and removed at the end.
#pragma once
#include "driver.h"
#include "list_view_rows.h"

struct TestCodec {
    ScratchFolder folder{L"Vantrel codec"};
    std::wstring classId = NewGuidText();
    std::wstring pageId = NewGuidText();
    // The second filter (audio compressor category) and the DMO (video decoder
    // DMO category) that AddExtras puts into the same DLL.
    std::wstring extraFilterId = NewGuidText();
    std::wstring extraDmoId = NewGuidText();
    // The Media Foundation transform (a video decoder) that AddExtras adds too.
    std::wstring extraMftId = NewGuidText();
    std::wstring name;
    std::wstring object;
    std::wstring dllPath;

    // pages: "1", "0" or "none".
    explicit TestCodec(const std::wstring& namePrefix, const std::wstring& pages = L"1",
                       const std::wstring& kind = L"filter", bool otherWidth = false);

    bool otherWidth;  // a copy of the other width's DLL, registered by the other width's regsvr32
    mutable std::wstring lastRegsvr32;
    // Whether the audio compressor category's Instance key was there (64-bit,
    // 32-bit view) before AddExtras: registering the extra filter makes it, and
    // unregistering leaves it behind, empty, for the tests that come after.
    mutable bool audioInstanceWasThere[2] = {true, true};
    ~TestCodec();

    // Makes the DLL register its extra filter, DMO and transform as well; before Regsvr32.
    void AddExtras() const;
    // Appends lines to the copy's testcodec.cfg (CREATE_ALWAYS: starts it afresh).
    void AppendConfig(const std::wstring& lines, DWORD disposition) const;

    // Runs the system's regsvr32 on the copy and waits for it to end; returns its exit code.
    int Regsvr32(const std::wstring& options) const;
    // How the last Regsvr32 call ended, for failure messages: "regsvr32 /s exited with 3".
    std::wstring Regsvr32Result() const { return lastRegsvr32; }
    std::wstring InstancePath() const { return kLegacyInstance + classId; }
    std::wstring ClassKey() const { return L"CLSID\\" + classId; }
    // The transform's key and its entry in the video decoder category, as
    // MFTRegister names them (the class id in lower case without braces).
    std::wstring TransformKeyName() const;
    std::wstring TransformKey() const;
    std::wstring TransformCategoryEntry() const;
    // Every key the DLL registers with its extras, as paths under HKEY_CLASSES_ROOT.
    std::vector<std::wstring> KeysWithExtras() const;
};

// The video decoder category of Media Foundation transforms, as its key is named.
constexpr wchar_t kVideoDecoderTransforms[] = L"d6c02d4b-6833-45b4-971a-05a4b04bab91";

// The codec management dialog of the program, driven as a user drives it.
extern const wchar_t kManageTitle[];   // "Управление кодеком"
extern const wchar_t kConfirmTitle[];  // "Подтвердите действие"
extern const wchar_t kMeritTitle[];    // "Изменить приоритет кодека"

// Starts the program and opens the management dialog on the row by a double click.
HWND OpenManagement(ProgramUnderTest& program, const std::wstring& row, const std::wstring& exePath);
// The message box that appears next, other than the known dialogs, or null.
HWND WaitForMessageBox(const ProgramUnderTest& program, std::initializer_list<HWND> known);

// Dialog 133, "Кодеки Media Foundation", opened by its command on the running
// program; its columns, in the dialog's order.
extern const wchar_t kTransformsTitle[];
enum TransformColumn { kTransformName, kTransformType, kTransformInputs, kTransformOutputs, kTransformFile,
                       kTransformStatus, kTransformNote, kTransformColumns };
HWND OpenTransforms(const ProgramUnderTest& program);
// Chooses a row of the dialog's category (1331) or view (1332) combobox as a user does.
void ChooseTransformsRow(HWND dialog, int comboId, int row);
Table TransformRows(const ProgramUnderTest& program, HWND dialog);

// The load check's test DLLs of missing imports (fixtures/missing_imports),
// and the test driver vantrel_drivercodec.dll (fixtures/drivercodec), of
// this width or the other (its build tree's).
std::wstring MissingImportDll(const wchar_t* name, bool otherWidth = false);
std::wstring DriverCodecDll(bool otherWidth = false);

// A folder of copies of files, for a planted codec; each copy keeps its
// file's name, or takes the name given.
struct CopiedFiles {
    ScratchFolder folder;
    CopiedFiles(const std::wstring& name, std::initializer_list<std::wstring> files,
                const std::wstring& separator = L" ");
    // Copies file as copyName into the folder; its path.
    std::wstring Copy(const std::wstring& file, const std::wstring& copyName) const;
    std::wstring Path(const wchar_t* name) const { return folder.path + L"\\" + name; }
};

// The keys of the ACM and Video for Windows codecs, under HKEY_LOCAL_MACHINE.
extern const wchar_t kDrivers32Key[];      // "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Drivers32"
extern const wchar_t kDriversDescKey[];    // "...\drivers.desc"
extern const wchar_t kDriverCacheKey[];    // "SOFTWARE\Microsoft\AudioCompressionManager\DriverCache"

// A value of Drivers32 in a view (0: the driver's own), and its description
// in drivers.desc where one is given, as an installer writes them; removed at
// the end, with the audio compression manager's cache entry of its name
// (which any process that loads winmm.dll writes under Wine).
struct PlantedDriver {
    std::wstring name;
    std::wstring data;
    REGSAM view;
    std::wstring descriptionName;  // the drivers.desc value's name, or empty
    PlantedDriver(const std::wstring& valueName, const std::wstring& file, REGSAM inView = 0,
                  const std::wstring& description = L"");
    ~PlantedDriver();
    PlantedDriver(const PlantedDriver&) = delete;
    PlantedDriver& operator=(const PlantedDriver&) = delete;
};

// Writes a text value under HKEY_LOCAL_MACHINE in a view; false on failure.
bool WriteMachineText(const std::wstring& path, const wchar_t* name, const std::wstring& value, REGSAM view = 0);
// A value's type and bytes under HKEY_LOCAL_MACHINE in a view; empty when it is not there.
std::vector<BYTE> MachineValue(const std::wstring& path, const wchar_t* name, REGSAM view = 0, DWORD* type = nullptr);
// Removes the audio compression manager's cache entry of an alias, in both views.
void RemoveDriverCacheEntry(const std::wstring& alias);

// Dialog 136, "Кодеки ACM и Video for Windows", opened by its command on the
// running program; its columns, in the dialog's order.
extern const wchar_t kDriverCodecsTitle[];
enum DriverColumn { kDriverName, kDriverKind, kDriverDescription, kDriverFile, kDriverState, kDriverColumns };
HWND OpenDriverCodecs(const ProgramUnderTest& program);
Table DriverCodecRows(const ProgramUnderTest& program, HWND dialog);
// Presses "Проверить загрузку" with the rows selected (none: all of them) and
// waits until the check is over; the rows then.
Table CheckDriverCodecs(const ProgramUnderTest& program, HWND dialog, const std::vector<int>& rows = {});
