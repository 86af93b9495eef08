#include "import_walk.h"

#include "../base/bounded_text.h"
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

const wchar_t* FileNameOf(const wchar_t* path) {
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    return slash ? slash + 1 : path;
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

namespace {

struct Walker {
    const DllSearch& search;
    wchar_t codecFolder[kNameCapacity];
    ImportWalk& walk;
    HeapArray<ImportName> visited;
    const wchar_t* stack[kDepthAtMost] = {};  // the file names from the codec's file down
    int depth = 0;

    bool Visited(const wchar_t* name) {
        for (SIZE_T i = 0; i < visited.Count(); ++i) {
            if (lstrcmpiW(visited[i].name, name) == 0) return true;
        }
        ImportName entry = {};
        CopyText(entry.name, kImportNameCapacity, name);
        visited.Append(entry);
        return false;
    }

    void NoteDelayedMissing(const wchar_t* name) {
        for (int i = 0; i < walk.delayedMissingCount; ++i) {
            if (lstrcmpiW(walk.delayedMissing[i], name) == 0) return;
        }
        if (walk.delayedMissingCount < kDelayedMissingAtMost) {
            CopyText(walk.delayedMissing[walk.delayedMissingCount++], kImportNameCapacity, name);
        }
    }

    void NameMissing(const wchar_t* name) {
        walk.missingFound = true;
        CopyText(walk.missing, kImportNameCapacity, name);
        walk.chainCount = 0;
        for (int i = depth - 1; i >= 0 && walk.chainCount < kChainAtMost; --i) {
            CopyText(walk.chain[walk.chainCount++], kImportNameCapacity, stack[i]);
        }
    }

    // Walks the imports of the module whose file name is `name`; true once a
    // missing DLL is named.
    bool Visit(const wchar_t* name, const ImageFacts& facts) {
        if (depth >= kDepthAtMost) return false;
        stack[depth++] = name;
        for (SIZE_T i = 0; i < facts.imports.Count(); ++i) {
            const ImportName& import = facts.imports[i];
            wchar_t found[kNameCapacity];
            if (import.delayed) {
                if (search.Find(codecFolder, import.name, found) == DllSearch::NotFound) NoteDelayedMissing(import.name);
                continue;
            }
            if (Visited(import.name)) continue;
            const DllSearch::Place place = search.Find(codecFolder, import.name, found);
            if (place == DllSearch::NotFound) {
                NameMissing(import.name);
                return true;
            }
            if (place != DllSearch::Found) continue;
            ImageFacts dependency;
            ReadImage(found, dependency);
            if (dependency.reading == ImageRead && Visit(import.name, dependency)) return true;
        }
        --depth;
        return false;
    }
};

}  // namespace

void WalkImports(const DllSearch& search, const wchar_t* path, const ImageFacts& facts, ImportWalk& walk) {
    walk = ImportWalk{};
    Walker walker{search, {}, walk, {}};
    CopyText(walker.codecFolder, kNameCapacity, path);
    wchar_t* slash = std::wcsrchr(walker.codecFolder, L'\\');
    if (slash) *slash = L'\0';
    const wchar_t* name = FileNameOf(path);
    walker.Visited(name);
    walker.Visit(name, facts);
}
