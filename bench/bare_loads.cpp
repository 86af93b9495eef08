// The baseline of measurement 15: a bare program that does what the load
// check does for the same codecs, in one process, with none of the
// program's own code and no pipe, progress or dialog: the codecs of each
// registry view read (the filter categories' Instance entries, the DMOs and
// the transforms, once per class id, each with its name and its class key's
// server file),
// each distinct file's PE header and import table read as data with each
// imported DLL looked for, and in its own view each codec loaded and created
// (LoadLibraryEx, DllGetClassObject, CreateInstance, QueryInterface for its
// kinds' interfaces, Release). It prints how many codecs loaded and ends.
//
// Like the check, it also reads the ACM and Video for Windows codecs of each
// view (Drivers32, and system.ini's [drivers32] in its own), each file judged
// as data and, in its own view, each driver opened and closed (winmm's
// OpenDriver); and Explorer's handlers of video and audio files as Explorer
// looks for them (each extension of both classes roots whose PerceivedType or
// Content Type is video or audio: its ProgID's, its own, its
// SystemFileAssociations', its perceived type's, *'s and AllFileSystemObjects'
// ShellEx keys, and its property handler), each handler a codec as the others.
//
// The baseline of measurement 15b, with /with-child: the same reads and
// judgements, then the codecs loaded and created in a child (the same exe,
// "/child <section>"), which names each step and result as a line of a
// journal in memory the two share, as the load check's child does; the
// parent polls the journal every 5 ms, as the check's dialog polls it,
// counts the codecs that loaded, and waits for the child's end.
#include <windows.h>

#include <dmo.h>
#include <mftransform.h>
#include <strmif.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

namespace {

struct Codec {
    GUID classId;
    unsigned kinds;  // 1 filter, 2 DMO, 4 transform, 8 ACM or VfW driver, 16 Explorer handler
    std::wstring name;
    std::wstring file;
};

// A text value of parent\subkey (the parent opened in its view).
std::wstring ReadString(HKEY key, const wchar_t* subkey, const wchar_t* name) {
    wchar_t text[1024];
    DWORD size = sizeof(text);
    if (RegGetValueW(key, subkey, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, text, &size) !=
        ERROR_SUCCESS) {
        return L"";
    }
    return text;
}

HKEY Open(HKEY parent, const std::wstring& path, REGSAM view) {
    HKEY key = nullptr;
    RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | view, &key);
    return key;
}

std::vector<std::wstring> Subkeys(HKEY key) {
    std::vector<std::wstring> names;
    for (DWORD i = 0; key; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    return names;
}

void Add(std::vector<Codec>& codecs, const GUID& id, unsigned kind, const std::wstring& name) {
    for (Codec& codec : codecs) {
        if (IsEqualGUID(codec.classId, id)) {
            codec.kinds |= kind;
            return;
        }
    }
    codecs.push_back({id, kind, name, L""});
}

void ReadKeyed(std::vector<Codec>& codecs, const wchar_t* path, unsigned kind, REGSAM view) {
    HKEY parent = Open(HKEY_CLASSES_ROOT, path, view);
    for (const std::wstring& name : Subkeys(parent)) {
        GUID id;
        if (name.size() == 36 && SUCCEEDED(IIDFromString((L"{" + name + L"}").c_str(), &id))) {
            Add(codecs, id, kind, ReadString(parent, name.c_str(), nullptr));
        }
    }
    if (parent) RegCloseKey(parent);
}

constexpr unsigned kDriverKind = 8;
constexpr unsigned kShellKind = 16;

// What a load takes: a driver's name (winmm finds its file), any other codec's file.
const wchar_t* LoadTarget(const Codec& codec) {
    return codec.kinds == kDriverKind ? codec.name.c_str() : codec.file.c_str();
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    return _wcsnicmp(text.c_str(), prefix, wcslen(prefix)) == 0;
}

// The ACM and VfW drivers of the view, each named by its value and with its file in the view's system folder.
void ReadDrivers(std::vector<Codec>& codecs, REGSAM view) {
    std::vector<std::pair<std::wstring, std::wstring>> drivers;
    HKEY key = Open(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", view);
    for (DWORD i = 0; key; ++i) {
        wchar_t name[256], data[MAX_PATH + 1];
        DWORD nameLength = 256, size = MAX_PATH * sizeof(wchar_t), type = 0;
        const LONG status =
            RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) continue;
        data[size / sizeof(wchar_t)] = L'\0';
        if (type == REG_SZ && (StartsWithNoCase(name, L"msacm.") || StartsWithNoCase(name, L"vidc."))) {
            drivers.emplace_back(name, data);
        }
    }
    if (key) RegCloseKey(key);
    if (view == 0) {
        std::vector<wchar_t> section(64 * 1024);
        GetPrivateProfileSectionW(L"drivers32", section.data(), static_cast<DWORD>(section.size()), L"system.ini");
        for (const wchar_t* line = section.data(); *line; line += wcslen(line) + 1) {
            const std::wstring text = line;
            const std::size_t equals = text.find(L'=');
            if (equals == std::wstring::npos) continue;
            const std::wstring name = text.substr(0, equals);
            bool known = false;
            for (const auto& driver : drivers) known = known || lstrcmpiW(driver.first.c_str(), name.c_str()) == 0;
            if (!known && (StartsWithNoCase(name, L"msacm.") || StartsWithNoCase(name, L"vidc."))) {
                drivers.emplace_back(name, text.substr(equals + 1));
            }
        }
    }
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    for (const auto& driver : drivers) {
        const std::wstring file = driver.second.find(L'\\') == std::wstring::npos
                                      ? std::wstring(system) + L"\\" + driver.second
                                      : driver.second;
        codecs.push_back({GUID_NULL, kDriverKind, driver.first, file});
    }
}

// The ShellEx handlers (thumbnail, IExtractImage, preview) below one place's key, each a codec.
void ReadPlace(std::vector<Codec>& codecs, HKEY root, const std::wstring& place, REGSAM view) {
    HKEY shellEx = Open(root, place.empty() ? L"ShellEx" : place + L"\\ShellEx", view);
    if (!shellEx) return;
    for (const wchar_t* kind : {L"{E357FCCD-A995-4576-B01F-234630154E96}", L"{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}",
                                L"{8895B1C6-B41F-4C1C-A562-0D564250836F}"}) {
        GUID id;
        if (SUCCEEDED(IIDFromString(ReadString(shellEx, kind, nullptr).c_str(), &id))) Add(codecs, id, kShellKind, L"");
    }
    RegCloseKey(shellEx);
}

// Explorer's handlers of the view's video and audio extensions.
void ReadShellHandlers(std::vector<Codec>& codecs, REGSAM view) {
    HKEY roots[2] = {Open(HKEY_CURRENT_USER, L"Software\\Classes", view),
                     Open(HKEY_LOCAL_MACHINE, L"Software\\Classes", view)};
    std::vector<std::wstring> extensions;
    for (HKEY root : roots) {
        for (const std::wstring& name : Subkeys(root)) {
            if (name.empty() || name[0] != L'.') continue;
            bool known = false;
            for (const std::wstring& other : extensions) known = known || lstrcmpiW(other.c_str(), name.c_str()) == 0;
            if (!known) extensions.push_back(name);
        }
    }
    HKEY propertyHandlers = Open(
        HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers", view);
    std::vector<std::wstring> sharedRead;
    for (const std::wstring& extension : extensions) {
        HKEY keys[2] = {Open(roots[0], extension, view), Open(roots[1], extension, view)};
        auto value = [&](const wchar_t* name) {
            for (HKEY key : keys) {
                const std::wstring text = key ? ReadString(key, nullptr, name) : L"";
                if (!text.empty()) return text;
            }
            return std::wstring();
        };
        const std::wstring perceived = value(L"PerceivedType");
        const std::wstring content = value(L"Content Type");
        const bool media = lstrcmpiW(perceived.c_str(), L"video") == 0 || lstrcmpiW(perceived.c_str(), L"audio") == 0 ||
                           StartsWithNoCase(content, L"video/") || StartsWithNoCase(content, L"audio/");
        if (media) {
            std::vector<std::wstring> places;
            const std::wstring progId = value(nullptr);
            if (!progId.empty()) places.push_back(progId);
            places.push_back(extension);
            places.push_back(L"SystemFileAssociations\\" + extension);
            for (const std::wstring& shared : {L"SystemFileAssociations\\" + perceived, std::wstring(L"*"),
                                               std::wstring(L"AllFileSystemObjects")}) {
                bool read = false;
                for (const std::wstring& other : sharedRead) read = read || other == shared;
                if (!read) {
                    places.push_back(shared);
                    sharedRead.push_back(shared);
                }
            }
            for (const std::wstring& place : places) {
                for (HKEY root : roots) {
                    if (root) ReadPlace(codecs, root, place, view);
                }
            }
            GUID id;
            if (propertyHandlers &&
                SUCCEEDED(IIDFromString(ReadString(propertyHandlers, extension.c_str(), nullptr).c_str(), &id))) {
                Add(codecs, id, kShellKind, L"");
            }
        }
        for (HKEY key : keys) {
            if (key) RegCloseKey(key);
        }
    }
    if (propertyHandlers) RegCloseKey(propertyHandlers);
    for (HKEY root : roots) {
        if (root) RegCloseKey(root);
    }
}

std::vector<Codec> ReadCodecs(REGSAM view) {
    std::vector<Codec> codecs;
    HKEY classes = Open(HKEY_CLASSES_ROOT, L"CLSID", view);
    std::vector<std::wstring> categories = {
        L"{083863F1-70DE-11D0-BD40-00A0C911CE86}", L"{33D9A760-90C8-11D0-BD43-00A0C911CE86}",
        L"{33D9A761-90C8-11D0-BD43-00A0C911CE86}", L"{CC7BFB46-F175-11D1-A392-00E0291F3959}",
        L"{07DAD660-22F1-11D1-A9F4-00C04FBBDE8F}"};
    HKEY named = Open(classes, L"{DA4E3DA0-D07D-11D0-BD50-00A0C911CE86}\\Instance", view);
    for (const std::wstring& entry : Subkeys(named)) categories.push_back(ReadString(named, entry.c_str(), L"CLSID"));
    if (named) RegCloseKey(named);
    std::vector<std::wstring> seen;
    for (const std::wstring& category : categories) {
        bool known = false;
        for (const std::wstring& other : seen) known = known || lstrcmpiW(other.c_str(), category.c_str()) == 0;
        if (known) continue;
        seen.push_back(category);
        HKEY instance = Open(classes, category + L"\\Instance", view);
        for (const std::wstring& entry : Subkeys(instance)) {
            GUID id;
            if (SUCCEEDED(IIDFromString(ReadString(instance, entry.c_str(), L"CLSID").c_str(), &id))) {
                Add(codecs, id, 1, ReadString(instance, entry.c_str(), L"FriendlyName"));
            }
        }
        if (instance) RegCloseKey(instance);
    }
    ReadKeyed(codecs, L"DirectShow\\MediaObjects", 2, view);
    ReadKeyed(codecs, L"MediaFoundation\\Transforms", 4, view);
    ReadShellHandlers(codecs, view);
    for (Codec& codec : codecs) {
        wchar_t classId[40];
        StringFromGUID2(codec.classId, classId, 40);
        const std::wstring path = ReadString(classes, (std::wstring(classId) + L"\\InprocServer32").c_str(), nullptr);
        wchar_t expanded[MAX_PATH];
        if (!path.empty() && ExpandEnvironmentStringsW(path.c_str(), expanded, MAX_PATH) <= MAX_PATH) codec.file = expanded;
    }
    if (classes) RegCloseKey(classes);
    ReadDrivers(codecs, view);
    return codecs;
}

std::wstring InView(REGSAM view, const std::wstring& path) {
    if (view != KEY_WOW64_32KEY) return path;
    wchar_t system[MAX_PATH], wow64[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    GetSystemWow64DirectoryW(wow64, MAX_PATH);
    return _wcsnicmp(path.c_str(), system, length) == 0 ? wow64 + path.substr(length) : path;
}

// The file's machine and whether each DLL it imports is found; false for no DLL.
bool ReadFileAsData(const std::wstring& path, REGSAM view, WORD* machine) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    GetFileSizeEx(file, &size);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const BYTE* bytes = mapping ? static_cast<const BYTE*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) : nullptr;
    bool sound = false;
    if (bytes && size.QuadPart > 0x400) {
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(bytes + dos->e_lfanew);
        *machine = nt->FileHeader.Machine;
        const bool wide = nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
        const IMAGE_DATA_DIRECTORY imports =
            wide ? reinterpret_cast<const IMAGE_NT_HEADERS64*>(nt)->OptionalHeader.DataDirectory[1]
                 : reinterpret_cast<const IMAGE_NT_HEADERS32*>(nt)->OptionalHeader.DataDirectory[1];
        const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
            reinterpret_cast<const BYTE*>(&nt->OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader);
        auto offset = [&](DWORD rva) -> const BYTE* {
            for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
                if (rva >= sections[i].VirtualAddress && rva < sections[i].VirtualAddress + sections[i].SizeOfRawData) {
                    return bytes + sections[i].PointerToRawData + (rva - sections[i].VirtualAddress);
                }
            }
            return nullptr;
        };
        sound = true;
        const auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(offset(imports.VirtualAddress));
        const std::wstring folder = path.substr(0, path.rfind(L'\\'));
        wchar_t system[MAX_PATH], windows[MAX_PATH];
        GetSystemDirectoryW(system, MAX_PATH);
        GetWindowsDirectoryW(windows, MAX_PATH);
        for (; descriptor && descriptor->Name; ++descriptor) {
            const char* name = reinterpret_cast<const char*>(offset(descriptor->Name));
            if (!name) continue;
            std::wstring wide(name, name + std::strlen(name));
            if (_wcsnicmp(wide.c_str(), L"api-", 4) == 0) continue;
            bool found = false;
            for (const std::wstring& place : {folder, InView(view, system), std::wstring(windows)}) {
                found = found || GetFileAttributesW((place + L"\\" + wide).c_str()) != INVALID_FILE_ATTRIBUTES;
            }
            sound = sound && found;
        }
    }
    if (bytes) UnmapViewOfFile(bytes);
    if (mapping) CloseHandle(mapping);
    CloseHandle(file);
    return sound;
}

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// Loads and creates one codec; whether it answered each of its kinds.
// before(step) is called as each step begins.
template <typename Before>
bool LoadAndCreate(const GUID& classId, unsigned kinds, const wchar_t* file, Before before) {
    before(0);
    if (kinds == kDriverKind) {  // file: the driver's name
        // winmm is loaded at the first driver, as the check's child loads it
        // with the first driver that imports it: loaded at start, it would
        // load the audio compression manager, which opens the drivers too.
        using Open = HDRVR(WINAPI*)(LPCWSTR, LPCWSTR, LPARAM);
        using Close = LRESULT(WINAPI*)(HDRVR, LPARAM, LPARAM);
        static const HMODULE winmm = LoadLibraryW(L"winmm.dll");
        static const auto open =
            winmm ? reinterpret_cast<Open>(reinterpret_cast<void*>(GetProcAddress(winmm, "OpenDriver"))) : nullptr;
        static const auto close =
            winmm ? reinterpret_cast<Close>(reinterpret_cast<void*>(GetProcAddress(winmm, "CloseDriver"))) : nullptr;
        const HDRVR driver = open && close ? open(file, L"Drivers32", 0) : nullptr;
        if (driver) close(driver, 0, 0);
        return driver != nullptr;
    }
    const HMODULE module = LoadLibraryExW(file, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    before(1);
    const FARPROC entry = module ? GetProcAddress(module, "DllGetClassObject") : nullptr;
    IClassFactory* factory = nullptr;
    before(2);
    if (!entry || FAILED(reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(entry))(
                      classId, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
        return false;
    }
    IUnknown* object = nullptr;
    before(3);
    bool all = false;
    if (SUCCEEDED(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)))) {
        const IID* interfaces[] = {&IID_IBaseFilter, &IID_IMediaObject, &IID_IMFTransform};
        all = true;
        for (int kind = 0; kind < 3; ++kind) {
            if ((kinds & (1u << kind)) == 0) continue;
            before(4);
            IUnknown* answer = nullptr;
            all = all && SUCCEEDED(object->QueryInterface(*interfaces[kind], reinterpret_cast<void**>(&answer)));
            if (answer) answer->Release();
        }
        before(5);
        object->Release();
    }
    factory->Release();
    return all;
}

// What the parent and the child share: the journal's count of bytes, the
// items' count, the journal, the items.
struct SharedHead {
    volatile LONG written;
    DWORD count;
};
struct SharedItem {
    GUID classId;
    unsigned kinds;
    wchar_t file[MAX_PATH];
};
constexpr SIZE_T kLineBytes = 64 * sizeof(wchar_t);
constexpr SIZE_T kLinesPerItem = 16;

SIZE_T JournalBytes(DWORD count) { return (count * kLinesPerItem + 1) * kLineBytes; }
wchar_t* JournalIn(SharedHead* head) { return reinterpret_cast<wchar_t*>(head + 1); }
SharedItem* ItemsIn(SharedHead* head) {
    return reinterpret_cast<SharedItem*>(reinterpret_cast<BYTE*>(head + 1) + JournalBytes(head->count));
}

void AppendLine(SharedHead* head, const wchar_t* line) {
    const SIZE_T bytes = wcslen(line) * sizeof(wchar_t);
    const LONG written = head->written;
    memcpy(reinterpret_cast<BYTE*>(JournalIn(head)) + written, line, bytes);
    InterlockedExchange(&head->written, written + static_cast<LONG>(bytes));
}

int RunChild(const wchar_t* sectionText) {
    CoInitialize(nullptr);
    const HANDLE section = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(std::wcstoull(sectionText, nullptr, 16)));
    auto* head = static_cast<SharedHead*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0));
    if (!head) return 1;
    for (DWORD i = 0; i < head->count; ++i) {
        const SharedItem item = ItemsIn(head)[i];
        wchar_t line[64];
        const bool loads = LoadAndCreate(item.classId, item.kinds, item.file, [&](int step) {
            swprintf(line, 64, L"S\t%lx\t%x\n", static_cast<unsigned long>(i), step);
            AppendLine(head, line);
        });
        swprintf(line, 64, loads ? L"O\t%lx\n" : L"E\t%lx\t3\t80004005\n", static_cast<unsigned long>(i));
        AppendLine(head, line);
    }
    AppendLine(head, L"D\n");
    TerminateProcess(GetCurrentProcess(), 0);
    return 0;
}

// Has the child load the codecs; how many loaded, or -1.
int LoadInChild(const std::vector<SharedItem>& items) {
    const DWORD count = static_cast<DWORD>(items.size());
    const SIZE_T bytes = sizeof(SharedHead) + JournalBytes(count) + count * sizeof(SharedItem);
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    const HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, &inherit, PAGE_READWRITE, 0,
                                              static_cast<DWORD>(bytes), nullptr);
    auto* head = section ? static_cast<SharedHead*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
    if (!head) return -1;
    head->count = count;
    for (DWORD i = 0; i < count; ++i) ItemsIn(head)[i] = items[i];
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    wchar_t commandLine[2 * MAX_PATH];
    swprintf(commandLine, 2 * MAX_PATH, L"\"%ls\" /child %llx", exe,
             static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(section)));
    // The child has only the section: the parent's output ends when the parent does.
    SetHandleInformation(GetStdHandle(STD_OUTPUT_HANDLE), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(exe, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) return -1;
    int loaded = 0;
    SIZE_T taken = 0;
    bool done = false;
    while (!done) {
        const bool ended = WaitForSingleObject(process.hProcess, 5) == WAIT_OBJECT_0;
        const SIZE_T written = static_cast<SIZE_T>(head->written);
        const wchar_t* journal = JournalIn(head);
        for (SIZE_T at = taken / sizeof(wchar_t); at < written / sizeof(wchar_t); ++at) {
            if (at > 0 && journal[at - 1] != L'\n') continue;
            loaded += journal[at] == L'O';
            done = done || journal[at] == L'D';
        }
        taken = written;
        if (ended) break;
    }
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    UnmapViewOfFile(head);
    CloseHandle(section);
    return loaded;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && wcscmp(argv[1], L"/child") == 0) return RunChild(argv[2]);
    const bool withChild = argc == 2 && wcscmp(argv[1], L"/with-child") == 0;
    CoInitialize(nullptr);
    const WORD ownMachine = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    int loaded = 0;
    std::vector<SharedItem> items;
    std::vector<REGSAM> views = {0};
    if (sizeof(void*) == 8) views.push_back(KEY_WOW64_32KEY);
    for (REGSAM view : views) {
        const std::vector<Codec> codecs = ReadCodecs(view);
        std::vector<std::wstring> files;
        std::vector<bool> sound;
        for (const Codec& codec : codecs) {
            std::size_t at = 0;
            while (at < files.size() && lstrcmpiW(files[at].c_str(), codec.file.c_str()) != 0) ++at;
            if (at == files.size()) {
                WORD machine = 0;
                const bool read = ReadFileAsData(InView(view, codec.file), view, &machine);
                files.push_back(codec.file);
                sound.push_back(read && (view != 0 || machine == ownMachine));
            }
            if (view != 0 || !sound[at]) continue;
            if (withChild) {
                SharedItem item = {codec.classId, codec.kinds, {}};
                lstrcpynW(item.file, LoadTarget(codec), MAX_PATH);
                items.push_back(item);
                continue;
            }
            loaded += LoadAndCreate(codec.classId, codec.kinds, LoadTarget(codec), [](int) {});
        }
    }
    if (withChild) loaded = LoadInChild(items);
    std::printf("%d\n", loaded);
    std::fflush(stdout);
    // Ends as the program's child does, without unloading the codecs.
    TerminateProcess(GetCurrentProcess(), 0);
    return 0;
}
