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
    unsigned kinds;  // 1 filter, 2 DMO, 4 transform
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
    for (Codec& codec : codecs) {
        wchar_t classId[40];
        StringFromGUID2(codec.classId, classId, 40);
        const std::wstring path = ReadString(classes, (std::wstring(classId) + L"\\InprocServer32").c_str(), nullptr);
        wchar_t expanded[MAX_PATH];
        if (!path.empty() && ExpandEnvironmentStringsW(path.c_str(), expanded, MAX_PATH) <= MAX_PATH) codec.file = expanded;
    }
    if (classes) RegCloseKey(classes);
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
                lstrcpynW(item.file, codec.file.c_str(), MAX_PATH);
                items.push_back(item);
                continue;
            }
            loaded += LoadAndCreate(codec.classId, codec.kinds, codec.file.c_str(), [](int) {});
        }
    }
    if (withChild) loaded = LoadInChild(items);
    std::printf("%d\n", loaded);
    std::fflush(stdout);
    // Ends as the program's child does, without unloading the codecs.
    TerminateProcess(GetCurrentProcess(), 0);
    return 0;
}
