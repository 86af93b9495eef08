#include "import_walk.h"

#include "../base/bounded_text.h"
#include "../base/path_file_name.h"
#include "view_paths.h"

#include <cwchar>

namespace {

const wchar_t kKnownDllsKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs";
constexpr int kDepthAtMost = 32;  // deeper chains are not followed

bool IsApiSet(const wchar_t* name) {
    return CompareStringOrdinal(name, 4, L"api-", 4, TRUE) == CSTR_EQUAL ||
           CompareStringOrdinal(name, 4, L"ext-", 4, TRUE) == CSTR_EQUAL;
}

bool IsFile(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Whether path lies directly in folder.
bool InFolder(const wchar_t* path, const wchar_t* folder) {
    const std::size_t length = std::wcslen(folder);
    if (length == 0 || std::wcslen(path) <= length + 1) return false;
    return CompareStringOrdinal(path, static_cast<int>(length), folder, static_cast<int>(length), TRUE) == CSTR_EQUAL &&
           path[length] == L'\\' && std::wcschr(path + length + 1, L'\\') == nullptr;
}

}  // namespace

DllSearch::DllSearch(REGSAM view) : view_(view) {
    if (!SystemFolderOfView(view, system_)) system_[0] = L'\0';
    const UINT length = GetSystemWindowsDirectoryW(windows_, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) windows_[0] = L'\0';
    // The folders of PATH, each as the view's programs reach it.
    const DWORD needed = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    HeapBuffer path;
    if (needed > 0 && path.Reserve(needed * sizeof(wchar_t))) {
        auto* text = reinterpret_cast<wchar_t*>(path.Get());
        if (GetEnvironmentVariableW(L"PATH", text, needed) < needed) {
            for (wchar_t* part = text; part && *part;) {
                wchar_t* end = std::wcschr(part, L';');
                if (end) *end = L'\0';
                Folder folder;
                wchar_t expanded[MAX_PATH];
                const DWORD size = ExpandEnvironmentStringsW(part, expanded, MAX_PATH);
                if (part[0] != L'\0' && size > 0 && size <= MAX_PATH &&
                    PathInView(view, expanded, folder.path, MAX_PATH)) {
                    pathFolders_.Append(folder);
                }
                part = end ? end + 1 : nullptr;
            }
        }
    }
    RegKey known;
    if (known.OpenForReading(HKEY_LOCAL_MACHINE, kKnownDllsKey) == ERROR_SUCCESS) {
        for (DWORD index = 0;; ++index) {
            wchar_t valueName[256];
            DWORD nameLength = 256;
            ImportName entry = {};
            DWORD type = 0;
            DWORD bytes = sizeof(entry.name) - sizeof(wchar_t);
            const LONG status = RegEnumValueW(known.Get(), index, valueName, &nameLength, nullptr, &type,
                                              reinterpret_cast<BYTE*>(entry.name), &bytes);
            if (status == ERROR_NO_MORE_ITEMS) break;
            if (status != ERROR_SUCCESS || type != REG_SZ) continue;
            entry.name[bytes / sizeof(wchar_t) < kImportNameCapacity ? bytes / sizeof(wchar_t) : 0] = L'\0';
            if (entry.name[0] != L'\0') known_.Append(entry);
        }
    }
}

bool DllSearch::IsKnown(const wchar_t* name) const {
    for (SIZE_T i = 0; i < known_.Count(); ++i) {
        if (lstrcmpiW(known_[i].name, name) == 0) return true;
    }
    return false;
}

bool DllSearch::FindIn(const wchar_t* folder, const wchar_t* name, wchar_t* path) const {
    return folder[0] != L'\0' && JoinText(path, kNameCapacity, folder, L"\\", name) && IsFile(path);
}

DllSearch::Place DllSearch::Find(const wchar_t* codecFolder, const wchar_t* name, wchar_t* path) const {
    CopyText(path, kNameCapacity, L"");
    if (IsApiSet(name) || IsKnown(name)) return OfSystem;
    // A name with a path in it is taken as the loader takes it: as it stands.
    if (std::wcschr(name, L'\\') || std::wcschr(name, L'/')) {
        return PathInView(view_, name, path, kNameCapacity) && IsFile(path) ? Found : NotFound;
    }
    if (FindIn(codecFolder, name, path)) {
        return lstrcmpiW(codecFolder, system_) == 0 || lstrcmpiW(codecFolder, windows_) == 0 ? OfSystem : Found;
    }
    if (FindIn(system_, name, path) || FindIn(windows_, name, path)) return OfSystem;
    for (SIZE_T i = 0; i < pathFolders_.Count(); ++i) {
        if (FindIn(pathFolders_[i].path, name, path)) {
            return InFolder(path, system_) || InFolder(path, windows_) ? OfSystem : Found;
        }
    }
    CopyText(path, kNameCapacity, L"");
    return NotFound;
}

bool DllSearch::LocateServerFile(const wchar_t* serverFile, wchar_t* path) const {
    const bool bare = std::wcschr(serverFile, L'\\') == nullptr && std::wcschr(serverFile, L'/') == nullptr;
    if (!bare) return CopyText(path, kNameCapacity, serverFile) == kTextOk;
    if (FindIn(system_, serverFile, path) || FindIn(windows_, serverFile, path)) return true;
    for (SIZE_T i = 0; i < pathFolders_.Count(); ++i) {
        if (FindIn(pathFolders_[i].path, serverFile, path)) return true;
    }
    CopyText(path, kNameCapacity, serverFile);
    return false;
}

void NameMissingImport(const ImportWalk& walk, wchar_t* text, std::size_t capacity) {
    FormatText(text, capacity, L"не найдена библиотека: %ls", walk.missing);
    for (int i = 0; i < walk.chainCount; ++i) {
        AppendText(text, capacity, i == 0 ? L" (для " : L", нужной для ");
        AppendText(text, capacity, walk.chain[i]);
    }
    if (walk.chainCount > 0) AppendText(text, capacity, L")");
}

bool KeyOfFile(const wchar_t* path, FileKey* key) {
    // Opened for no access at all: only its identity is read.
    FileHandle file(CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file.Valid() || !GetFileInformationByHandle(file.Get(), &information)) return false;
    key->volume = information.dwVolumeSerialNumber;
    key->indexHigh = information.nFileIndexHigh;
    key->indexLow = information.nFileIndexLow;
    return true;
}

bool SameFileKey(const FileKey& a, const FileKey& b) {
    return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

DWORD HashFileKey(const FileKey& key) {
    return (key.volume * 16777619u) ^ (key.indexHigh * 2654435761u) ^ key.indexLow;
}

DWORD ImportWalkMemory::HashOf(const FileKey& key, const wchar_t* codecFolder) {
    return HashFileKey(key) ^ HashTextIgnoringCase(codecFolder);
}

const ImportWalkMemory::Walked* ImportWalkMemory::Find(const FileKey& key, const wchar_t* codecFolder) const {
    const long found = index_.Find(HashOf(key, codecFolder), [&](SIZE_T i) {
        return SameFileKey(walked_[i].key, key) &&
               CompareStringOrdinal(walked_[i].codecFolder, -1, codecFolder, -1, TRUE) == CSTR_EQUAL;
    });
    return found >= 0 ? &walked_[static_cast<SIZE_T>(found)] : nullptr;
}

void ImportWalkMemory::Keep(const FileKey& key, const wchar_t* codecFolder, const ImportWalk& walk) {
    if (Find(key, codecFolder)) return;
    HeapBuffer block;
    if (!block.Reserve(sizeof(Walked))) return;
    auto* walked = reinterpret_cast<Walked*>(block.Get());
    walked->key = key;
    CopyText(walked->codecFolder, kNameCapacity, codecFolder);
    walked->walk = walk;
    if (walked_.Append(*walked)) index_.Add(HashOf(key, codecFolder), walked_.Count() - 1);
}

bool ImportWalkMemory::KeyOf(const wchar_t* path, FileKey* key) {
    const DWORD hash = HashTextIgnoringCase(path);
    const long known = pathIndex_.Find(hash, [&](SIZE_T i) {
        return CompareStringOrdinal(keyedPaths_[i].path, -1, path, -1, TRUE) == CSTR_EQUAL;
    });
    if (known >= 0) {
        const KeyedPath& met = keyedPaths_[static_cast<SIZE_T>(known)];
        *key = met.key;
        return met.keyed;
    }
    KeyedPath met;
    met.keyed = KeyOfFile(path, &met.key);
    *key = met.key;
    // A path cut to the capacity is asked again next time rather than taken for another.
    if (CopyText(met.path, kNameCapacity, path) == kTextOk && keyedPaths_.Append(met)) {
        pathIndex_.Add(hash, keyedPaths_.Count() - 1);
    }
    return met.keyed;
}

namespace {

// Adds the name to a list of at most kDelayedMissingAtMost, once.
void AddDelayedMissing(ImportWalk& walk, const wchar_t* name) {
    for (int i = 0; i < walk.delayedMissingCount; ++i) {
        if (lstrcmpiW(walk.delayedMissing[i], name) == 0) return;
    }
    if (walk.delayedMissingCount < kDelayedMissingAtMost) {
        CopyText(walk.delayedMissing[walk.delayedMissingCount++], kImportNameCapacity, name);
    }
}

void AddChainLink(ImportWalk& walk, const wchar_t* name) {
    if (walk.chainCount < kChainAtMost) CopyText(walk.chain[walk.chainCount++], kImportNameCapacity, name);
}

struct Walker {
    const DllSearch& search;
    ImportWalkMemory& memory;
    wchar_t codecFolder[kNameCapacity];
    ImportWalk& walk;

    // The files met in this walk: on the walk's stack (at their depth) or
    // walked to their end (kDone).
    static constexpr int kDone = -1;
    struct MetFile {
        FileKey key;
        int depth;
    };
    HeapArray<MetFile> files;
    HashIndex fileIndex;
    // The load-time names met in this walk, each looked for once, with the
    // file it led to (an index into files, or -1: of the system, or unread).
    struct MetName {
        wchar_t name[kImportNameCapacity];
        long file;
    };
    HeapArray<MetName> names;
    HashIndex nameIndex;

    // The modules from the codec's file down: the name each was imported by,
    // its file, the missing delay-loaded DLLs of it and below it, and the
    // lowest depth of a file on the stack that its walk met again (its
    // imports are that file's, still being walked).
    struct Frame {
        const wchar_t* name;
        long file;
        ImportWalk below;
        int lowest;
    };
    HeapArray<Frame> frames;  // room for kDepthAtMost, made first
    int depth = 0;

    long MetFileOf(const FileKey& key) const {
        return fileIndex.Find(HashFileKey(key), [&](SIZE_T i) { return SameFileKey(files[i].key, key); });
    }
    long AddFile(const FileKey& key, int at) {
        if (!files.Append({key, at})) return -1;
        fileIndex.Add(HashFileKey(key), files.Count() - 1);
        return static_cast<long>(files.Count() - 1);
    }
    const MetName* MetNameOf(const wchar_t* name) const {
        const long found = nameIndex.Find(HashTextIgnoringCase(name), [&](SIZE_T i) {
            return CompareStringOrdinal(names[i].name, -1, name, -1, TRUE) == CSTR_EQUAL;
        });
        return found >= 0 ? &names[static_cast<SIZE_T>(found)] : nullptr;
    }
    void AddName(const wchar_t* name, long file) {
        MetName met;
        CopyText(met.name, kImportNameCapacity, name);
        met.file = file;
        if (names.Append(met)) nameIndex.Add(HashTextIgnoringCase(name), names.Count() - 1);
    }

    // The file met again: one still on the stack makes the walks above it lean on it.
    void MeetAgain(long file) {
        if (file < 0 || files[static_cast<SIZE_T>(file)].depth == kDone) return;
        Frame& top = frames[static_cast<SIZE_T>(depth - 1)];
        if (files[static_cast<SIZE_T>(file)].depth < top.lowest) top.lowest = files[static_cast<SIZE_T>(file)].depth;
    }

    // A missing DLL below the top of the stack: `found` holds it and the
    // chain up to the DLL named `via` (null: the top imports it). Names it
    // for the codec, and keeps it for each file on the stack.
    void NameMissing(const ImportWalk& found, const wchar_t* via) {
        ImportWalk chain = {};
        chain.missingFound = true;
        CopyText(chain.missing, kImportNameCapacity, found.missing);
        for (int i = 0; i < found.chainCount; ++i) AddChainLink(chain, found.chain[i]);
        if (via) AddChainLink(chain, via);
        for (int i = depth - 1; i >= 0; --i) {
            const Frame& frame = frames[static_cast<SIZE_T>(i)];
            if (frame.file >= 0) memory.Keep(files[static_cast<SIZE_T>(frame.file)].key, codecFolder, chain);
            AddChainLink(chain, frame.name);
        }
        walk.missingFound = true;
        CopyText(walk.missing, kImportNameCapacity, chain.missing);
        walk.chainCount = 0;
        for (int i = 0; i < chain.chainCount; ++i) AddChainLink(walk, chain.chain[i]);
    }

    // Walks the imports of the module on top of the stack; true once a
    // missing DLL is named.
    bool Walk(const ImageFacts& facts) {
        Frame& top = frames[static_cast<SIZE_T>(depth - 1)];
        for (SIZE_T i = 0; i < facts.imports.Count(); ++i) {
            const ImportName& import = facts.imports[i];
            wchar_t found[kNameCapacity];
            if (import.delayed) {
                // Only the first few are named: the rest need not be looked for.
                if (top.below.delayedMissingCount < kDelayedMissingAtMost &&
                    search.Find(codecFolder, import.name, found) == DllSearch::NotFound) {
                    AddDelayedMissing(top.below, import.name);
                }
                continue;
            }
            if (const MetName* met = MetNameOf(import.name)) {
                MeetAgain(met->file);
                continue;
            }
            const DllSearch::Place place = search.Find(codecFolder, import.name, found);
            if (place == DllSearch::NotFound) {
                ImportWalk missing = {};
                CopyText(missing.missing, kImportNameCapacity, import.name);
                NameMissing(missing, nullptr);
                return true;
            }
            FileKey key;
            if (place != DllSearch::Found || !memory.KeyOf(found, &key)) {
                AddName(import.name, -1);
                continue;
            }
            long file = MetFileOf(key);
            if (file >= 0) {
                AddName(import.name, file);
                MeetAgain(file);
                continue;
            }
            if (const ImportWalkMemory::Walked* walked = memory.Find(key, codecFolder)) {
                if (walked->walk.missingFound) {
                    NameMissing(walked->walk, import.name);
                    return true;
                }
                for (int n = 0; n < walked->walk.delayedMissingCount; ++n) {
                    AddDelayedMissing(top.below, walked->walk.delayedMissing[n]);
                }
                AddName(import.name, AddFile(key, kDone));
                continue;
            }
            if (depth >= kDepthAtMost) {
                // Deeper chains are not followed: nothing above is kept as sound.
                top.lowest = -1;
                AddName(import.name, -1);
                continue;
            }
            file = AddFile(key, depth);
            AddName(import.name, file);
            ImageFacts dependency;
            ReadImage(found, dependency);
            if (dependency.reading != ImageRead) {
                if (file >= 0) files[static_cast<SIZE_T>(file)].depth = kDone;
                continue;
            }
            Frame& next = frames[static_cast<SIZE_T>(depth)];
            next.name = import.name;
            next.file = file;
            next.below.delayedMissingCount = 0;
            next.lowest = depth;
            ++depth;
            if (Walk(dependency)) return true;
            --depth;
            const Frame& walked = next;
            if (file >= 0) {
                files[static_cast<SIZE_T>(file)].depth = kDone;
                // A walk that met a file still on the stack above holds only part of the answer.
                if (walked.lowest >= depth) memory.Keep(key, codecFolder, walked.below);
            }
            for (int n = 0; n < walked.below.delayedMissingCount; ++n) {
                AddDelayedMissing(top.below, walked.below.delayedMissing[n]);
            }
            if (walked.lowest < top.lowest) top.lowest = walked.lowest;
        }
        return false;
    }
};

}  // namespace

void WalkImports(const DllSearch& search, const wchar_t* path, const ImageFacts& facts, ImportWalk& walk,
                 ImportWalkMemory* memory) {
    walk = ImportWalk{};
    ImportWalkMemory own;
    Walker walker{search, memory ? *memory : own, {}, walk, {}, {}, {}, {}, {}, 0};
    // The codec's name and folder, parted as the loader parts its path: at
    // the last backslash or forward slash. The folder is where the loader
    // looks first for what the codec imports.
    const wchar_t* name = PathFileName(path);
    CopyText(walker.codecFolder, kNameCapacity, path);
    const std::size_t folderLength = name > path ? static_cast<std::size_t>(name - path - 1) : 0;
    walker.codecFolder[folderLength < kNameCapacity ? folderLength : 0] = L'\0';
    if (!walker.frames.Reserve(kDepthAtMost)) return;
    for (int i = 0; i < kDepthAtMost; ++i) walker.frames.Append({});
    FileKey key;
    const long file = walker.memory.KeyOf(path, &key) ? walker.AddFile(key, 0) : -1;
    walker.AddName(name, file);
    walker.frames[0].name = name;
    walker.frames[0].file = file;
    walker.frames[0].lowest = 0;
    walker.depth = 1;
    if (walker.Walk(facts)) return;
    const Walker::Frame& root = walker.frames[0];
    for (int i = 0; i < root.below.delayedMissingCount; ++i) AddDelayedMissing(walk, root.below.delayedMissing[i]);
}
