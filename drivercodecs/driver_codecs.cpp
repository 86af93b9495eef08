#include "driver_codecs.h"

#include "../base/bounded_text.h"
#include "../base/line_safety.h"
#include "../base/path_file_name.h"
#include "../catalogue/registry_link.h"
#include "../catalogue/server_file_facts.h"
#include "../catalogue/string_value.h"
#include "../modules/pe_image.h"
#include "../modules/view_paths.h"

#include <algorithm>
#include <cwchar>

const wchar_t kDrivers32Path[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
const wchar_t kDriverDescriptionsPath[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc";

const wchar_t kDriverStateOk[] = L"в порядке";
const wchar_t kDriverStateNoFile[] = L"файл не найден";
const wchar_t kDriverStateBadName[] = L"имя не действует";
const wchar_t kDriverFromSystemIni[] = L"из system.ini";

namespace {

// The longest value name the registry holds (16,383 characters) and its terminator.
constexpr DWORD kValueNameRoom = 16384;
// The [drivers32] section is read whole, its room doubled from the first
// until it fits, up to the last (16 MB, the largest file a restore reads):
// Windows' own holds a few dozen lines, but the system reads a longer one
// too, and a row the program did not see would still be loaded.
constexpr DWORD kFirstSectionRoom = 1u << 16;
constexpr DWORD kLastSectionRoom = 1u << 23;

struct NamePrefix {
    const wchar_t* prefix;
    DriverKind kind;
};
const NamePrefix kPrefixes[] = {{L"vidc.", DriverVideo}, {L"vids.", DriverVideo}, {L"msacm.", DriverAudio}};

bool StartsWithText(const wchar_t* text, const wchar_t* prefix) {
    const std::size_t length = std::wcslen(prefix);
    return std::wcslen(text) >= length &&
           CompareStringOrdinal(text, static_cast<int>(length), prefix, static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

// What one file gives every row that names it: read once per list.
struct JudgedFile {
    wchar_t file[kNameCapacity];
    const wchar_t* state;            // a constant state, or null where text holds it
    wchar_t stateText[kShortTextCapacity];
    wchar_t facts[kNameCapacity];
    wchar_t description[kNameCapacity];
};

// The file the view's programs take for the data: up to its first blank (the
// system takes what follows as the driver's arguments), a bare name in the
// width's system folder, as those programs name it.
void FileOfData(const wchar_t* data, wchar_t* file, std::size_t capacity) {
    wchar_t taken[kNameCapacity];
    CopyText(taken, kNameCapacity, data);
    if (wchar_t* blank = std::wcschr(taken, L' ')) *blank = L'\0';
    if (taken[0] == L'\0' || std::wcspbrk(taken, L"\\/:") != nullptr) {
        CopyText(file, capacity, taken);
        return;
    }
    // As the width's programs name their system folder: system32 for both;
    // PathInView reaches a 32-bit program's in SysWOW64.
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !JoinText(file, capacity, system, L"\\", taken)) CopyText(file, capacity, taken);
}

void JudgeFile(REGSAM view, const wchar_t* data, JudgedFile& judged, DriverReading reading) {
    FileOfData(data, judged.file, kNameCapacity);
    judged.state = kDriverStateOk;
    judged.stateText[0] = L'\0';
    judged.facts[0] = L'\0';
    judged.description[0] = L'\0';
    if (reading == DriverNamesAndFiles) return;
    wchar_t reached[kNameCapacity];
    PathInView(view, judged.file, reached, kNameCapacity);
    ImageFacts image;
    ReadImage(reached, image, false);
    switch (image.reading) {
    case ImageNotFound:
        judged.state = std::wcschr(data, L' ') ? L"файл не найден: путь с пробелом" : kDriverStateNoFile;
        return;
    case ImageNotOpened: judged.state = L"файл не открывается"; break;
    case ImageNotPe:
    case ImageNotDll: judged.state = L"файл не является библиотекой DLL"; break;
    case ImageRead: {
        const WORD machine = IsOtherWidthView(view) ? OtherWidthMachine() : OwnMachine();
        if (image.machine == machine) break;
        wchar_t named[kShortTextCapacity];
        NameImageMachine(image.machine, named, kShortTextCapacity);
        const bool width = image.machine == IMAGE_FILE_MACHINE_I386 || image.machine == IMAGE_FILE_MACHINE_AMD64;
        FormatText(judged.stateText, kShortTextCapacity, L"%ls (%ls)", width ? L"другая разрядность" : L"другой процессор",
                   named);
        judged.state = nullptr;
        break;
    }
    }
    // The file as the driver's loading takes it (and as read above): nothing expanded.
    DescribeServerFile(view, judged.file, REG_SZ, judged.facts, kNameCapacity, judged.description, kNameCapacity);
}

// A case-blind hash of a text, so that looking a name up among hundreds
// compares numbers first.
DWORD TextHash(const wchar_t* text) {
    DWORD hash = 2166136261u;
    for (const wchar_t* at = text; *at; ++at) {
        wchar_t c = *at;
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
        hash = (hash ^ c) * 16777619u;
    }
    return hash;
}

bool SameTextIgnoringCase(const wchar_t* a, const wchar_t* b) {
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

// The files judged for the list, each once.
class FileJudge {
public:
    FileJudge(REGSAM view, DriverReading reading) : view_(view), reading_(reading) {}
    void Expect(SIZE_T files) {
        files_.Reserve(files);
        keys_.Reserve(files);
    }
    const JudgedFile& Judge(const wchar_t* data) {
        wchar_t file[kNameCapacity];
        FileOfData(data, file, kNameCapacity);
        // A path with a blank is judged with its own words: kept apart from the same file without one.
        const bool spaced = std::wcschr(data, L' ') != nullptr;
        const DWORD hash = TextHash(file) ^ (spaced ? 1u : 0u);
        for (SIZE_T i = 0; i < keys_.Count(); ++i) {
            if (keys_[i] == hash && SameTextIgnoringCase(files_[i].file, file)) return files_[i];
        }
        JudgedFile judged;
        JudgeFile(view_, data, judged, reading_);
        if (files_.Append(judged) && keys_.Append(hash)) return files_[files_.Count() - 1];
        files_.Truncate(keys_.Count());
        last_ = judged;
        return last_;
    }

private:
    REGSAM view_;
    DriverReading reading_;
    HeapArray<JudgedFile> files_;
    HeapArray<DWORD> keys_;
    JudgedFile last_ = {};
};

// Opens HKLM\path in the view for reading, no key on the way gone through where it is a link.
bool OpenMachineKey(REGSAM view, const wchar_t* path, RegKey& key) {
    return OpenKeyPathUnlessLink(key, HKEY_LOCAL_MACHINE, path, KEY_READ | view) == KeyOpened;
}

// A value's data as text, from the bytes an enumeration gave: up to its
// first zero, cut to the room; any type but text names no file.
void DataText(DWORD type, const BYTE* bytes, DWORD size, wchar_t* text, std::size_t capacity) {
    text[0] = L'\0';
    if (type != REG_SZ && type != REG_EXPAND_SZ) return;
    const auto* chars = reinterpret_cast<const wchar_t*>(bytes);
    const std::size_t units = size / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < units && length + 1 < capacity && chars[length] != L'\0') ++length;
    for (std::size_t i = 0; i < length; ++i) text[i] = chars[i];
    text[length] = L'\0';
}

// Calls take(name, nameLength, text) for each value of an open key, its data
// read in the same call where it fits (a longer one read on its own and
// cut); false when take is, or memory ran out.
template <typename Take>
bool ForEachTextValue(HKEY key, Take&& take) {
    HeapBuffer name;
    if (!name.Reserve(kValueNameRoom * sizeof(wchar_t))) return false;
    auto* nameChars = reinterpret_cast<wchar_t*>(name.Get());
    BYTE data[kNameCapacity * sizeof(wchar_t)];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = kValueNameRoom;
        DWORD size = sizeof(data);
        DWORD type = REG_NONE;
        LONG status = RegEnumValueW(key, index, nameChars, &nameLength, nullptr, &type, data, &size);
        if (status == ERROR_NO_MORE_ITEMS) return true;
        wchar_t text[kNameCapacity];
        if (status == ERROR_MORE_DATA) {
            // Data larger than the room: the name again, then the value read (and cut) on its own.
            nameLength = kValueNameRoom;
            status = RegEnumValueW(key, index, nameChars, &nameLength, nullptr, &type, nullptr, nullptr);
            if (status != ERROR_SUCCESS) continue;
            nameChars[nameLength < kValueNameRoom ? nameLength : kValueNameRoom - 1] = L'\0';
            ReadStringValue(key, nameChars, text, kNameCapacity);
        } else if (status == ERROR_SUCCESS) {
            nameChars[nameLength < kValueNameRoom ? nameLength : kValueNameRoom - 1] = L'\0';
            DataText(type, data, size, text, kNameCapacity);
        } else {
            continue;
        }
        if (!take(static_cast<const wchar_t*>(nameChars), static_cast<std::size_t>(nameLength),
                  static_cast<const wchar_t*>(text))) {
            return false;
        }
    }
}

// drivers.desc, read once: each value's name with its text.
class Descriptions {
public:
    explicit Descriptions(REGSAM view) {
        RegKey key;
        if (!OpenMachineKey(view, kDriverDescriptionsPath, key)) return;
        ForEachTextValue(key.Get(), [&](const wchar_t* name, std::size_t length, const wchar_t* text) {
            if (length >= kNameCapacity || text[0] == L'\0') return true;  // names no file a value can hold
            Description described;
            CopyText(described.name, kNameCapacity, name);
            CopyText(described.text, kNameCapacity, text);
            described.hash = TextHash(name);
            return list_.Append(described);
        });
    }
    // The description of the data: the value named by the data as written,
    // else by its file's name; empty where neither is there.
    void Of(const wchar_t* data, wchar_t* text, std::size_t capacity) const {
        CopyText(text, capacity, L"");
        if (data[0] == L'\0') return;
        const wchar_t* file = PathFileName(data);
        const Description* found = Find(data);
        if (!found && file != data) found = Find(file);
        if (found) CopyText(text, capacity, found->text);
    }

private:
    struct Description {
        DWORD hash;
        wchar_t name[kNameCapacity];
        wchar_t text[kNameCapacity];
    };
    const Description* Find(const wchar_t* name) const {
        const DWORD hash = TextHash(name);
        for (SIZE_T i = 0; i < list_.Count(); ++i) {
            if (list_[i].hash == hash && SameTextIgnoringCase(list_[i].name, name)) return &list_[i];
        }
        return nullptr;
    }
    HeapArray<Description> list_;
};

class RowMaker {
public:
    RowMaker(REGSAM view, DriverCodecList& codecs, DriverReading reading)
        : judge_(view, reading), descriptions_(view), codecs_(codecs) {}
    // Room for the rows of that many values (and a system.ini's few more), made at once.
    void Expect(SIZE_T values) {
        codecs_.Reserve(values + 32);
        judge_.Expect(values + 32);
    }
    bool Add(const wchar_t* name, std::size_t nameLength, const wchar_t* data, bool fromSystemIni) {
        DriverKind kind;
        if (!DriverKindOfName(name, &kind)) return true;
        DriverCodec codec;
        codec.nameCut = nameLength >= kDriverNameCapacity;
        CopyText(codec.name, kDriverNameCapacity, name);
        codec.kind = kind;
        codec.fromSystemIni = fromSystemIni;
        CopyText(codec.data, kNameCapacity, data);
        const JudgedFile& judged = judge_.Judge(data);
        CopyText(codec.file, kNameCapacity, judged.file);
        CopyText(codec.facts, kNameCapacity, judged.facts);
        descriptions_.Of(data, codec.description, kNameCapacity);
        if (codec.description[0] == L'\0') CopyText(codec.description, kNameCapacity, judged.description);
        ReplaceUnsafeInLine(codec.description, L'?');
        const wchar_t* state = judged.state ? judged.state : judged.stateText;
        if (codec.nameCut || !DriverNameWorks(name)) state = kDriverStateBadName;
        codec.inOrder = state == kDriverStateOk;
        if (fromSystemIni) {
            FormatText(codec.state, kShortTextCapacity, L"%ls, %ls", state, kDriverFromSystemIni);
        } else {
            CopyText(codec.state, kShortTextCapacity, state);
        }
        return codecs_.Append(codec);
    }

private:
    FileJudge judge_;
    Descriptions descriptions_;
    DriverCodecList& codecs_;
};

// The codec values of Drivers32 in the view; false when memory ran out.
bool ReadRegistryValues(REGSAM view, RowMaker& rows) {
    RegKey drivers;
    if (!OpenMachineKey(view, kDrivers32Path, drivers)) return true;
    DWORD values = 0;
    if (RegQueryInfoKeyW(drivers.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        rows.Expect(values);
    }
    return ForEachTextValue(drivers.Get(), [&](const wchar_t* name, std::size_t length, const wchar_t* data) {
        return rows.Add(name, length, data, false);
    });
}

// Whether the codecs read from the registry hold the name (the registry's
// names are the same without regard to letter case).
bool HoldsName(const DriverCodecList& codecs, SIZE_T registryRows, const wchar_t* name) {
    for (SIZE_T i = 0; i < registryRows; ++i) {
        if (!codecs[i].nameCut && SameTextIgnoringCase(codecs[i].name, name)) return true;
    }
    return false;
}

// The rows of system.ini's [drivers32] that the registry does not hold.
bool ReadSystemIni(DriverCodecList& codecs, RowMaker& rows) {
    HeapBuffer section;
    wchar_t* iniRows = ReadSystemIniDrivers(section);
    if (!iniRows && !section.Get()) return false;  // memory ran out
    const SIZE_T registryRows = codecs.Count();
    return ForEachSystemIniDriver(iniRows, [&](const wchar_t* name, const wchar_t* data) {
        return HoldsName(codecs, registryRows, name) || rows.Add(name, std::wcslen(name), data, true);
    });
}

}  // namespace

wchar_t* ReadSystemIniDrivers(HeapBuffer& section) {
    for (DWORD room = kFirstSectionRoom; room <= kLastSectionRoom; room *= 2) {
        if (!section.Reserve(room * sizeof(wchar_t))) return nullptr;
        auto* rows = reinterpret_cast<wchar_t*>(section.Get());
        // A section that does not fit comes back cut, its length the room less two.
        const DWORD length = GetPrivateProfileSectionW(L"drivers32", rows, room, L"system.ini");
        if (length == 0) return nullptr;
        if (length >= room - 2) continue;
        rows[length] = L'\0';
        rows[length + 1] = L'\0';
        return rows;
    }
    return nullptr;
}

const wchar_t* DriverKindTitle(DriverKind kind) { return kind == DriverVideo ? L"видео (VfW)" : L"звук (ACM)"; }

bool DriverKindOfName(const wchar_t* valueName, DriverKind* kind) {
    for (const NamePrefix& prefix : kPrefixes) {
        if (StartsWithText(valueName, prefix.prefix)) {
            *kind = prefix.kind;
            return true;
        }
    }
    return false;
}

bool DriverNameWorks(const wchar_t* valueName) {
    DriverKind kind;
    if (!DriverKindOfName(valueName, &kind)) return false;
    if (kind == DriverAudio) return valueName[6] != L'\0';
    return std::wcslen(valueName) == 9;
}

bool ReadDriverCodecs(REGSAM view, DriverCodecList& codecs, DriverReading reading) {
    codecs.Clear();
    DriverCodecList read;
    RowMaker rows(view, read, reading);
    bool whole = ReadRegistryValues(view, rows) && ReadSystemIni(read, rows);
    // Sorted by kind, then name: the rows are large, so their order is sorted
    // and they are copied once, in it.
    HeapArray<SIZE_T> order;
    for (SIZE_T i = 0; i < read.Count(); ++i) {
        if (!order.Append(i)) return false;
    }
    std::sort(order.Data(), order.Data() + order.Count(), [&](SIZE_T a, SIZE_T b) {
        if (read[a].kind != read[b].kind) return read[a].kind < read[b].kind;
        const int byName = lstrcmpiW(read[a].name, read[b].name);
        return byName != 0 ? byName < 0 : a < b;
    });
    codecs.Reserve(read.Count());
    for (SIZE_T i = 0; i < order.Count(); ++i) whole = codecs.Append(read[order[i]]) && whole;
    return whole;
}

void DriverFileText(const DriverCodec& codec, wchar_t* text, std::size_t capacity) {
    if (codec.file[0] == L'\0') {
        CopyText(text, capacity, L"(не указан)");
        return;
    }
    if (codec.facts[0] == L'\0') {
        CopyText(text, capacity, codec.file);
        return;
    }
    FormatText(text, capacity, L"%ls (%ls)", codec.file, codec.facts);
}

void DriverNameText(const DriverCodec& codec, wchar_t* text, std::size_t capacity) {
    CopyText(text, capacity, codec.name);
    if (codec.nameCut) AppendText(text, capacity, L"…");
    ReplaceUnsafeInLine(text, L'?');
}

long FindDriverCodec(const DriverCodecList& codecs, DriverKind kind, const wchar_t* name) {
    for (SIZE_T i = 0; i < codecs.Count(); ++i) {
        if (codecs[i].kind == kind && SameTextIgnoringCase(codecs[i].name, name)) return static_cast<long>(i);
    }
    return -1;
}
