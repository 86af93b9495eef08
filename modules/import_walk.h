// Whether the system's loader would find every DLL a codec's file needs,
// worked out from the files as data, nothing loaded: each DLL the file
// imports is looked for where the loader looks (the codec's own folder, the
// system folder, the Windows folder, the folders of PATH; known DLLs and API
// sets count as present), and so on for the imports of each DLL found that
// is not in the system or Windows folder.
#pragma once
#include "../base/app_state.h"
#include "../base/hash_index.h"
#include "pe_image.h"

// Where the loader looks, for the programs of one registry view's width.
class DllSearch {
public:
    // view: 0 for the program's own, KEY_WOW64_64KEY or KEY_WOW64_32KEY.
    explicit DllSearch(REGSAM view);
    DllSearch(const DllSearch&) = delete;
    DllSearch& operator=(const DllSearch&) = delete;

    enum Place {
        NotFound,
        OfSystem,  // an API set, a known DLL, or a file of the system or Windows folder: not walked further
        Found,     // a file elsewhere, whose own imports are walked
    };
    // Looks for the DLL name as the loader would for a codec in codecFolder;
    // a file found goes to path (kNameCapacity characters), as this process
    // reaches it.
    Place Find(const wchar_t* codecFolder, const wchar_t* name, wchar_t* path) const;

    // The server file a registration names (variables expanded), into path
    // (kNameCapacity characters): a full path as it is (as the view's
    // programs name it: PathInView reaches it); a bare name looked for in the
    // system folder, the Windows folder and PATH, as COM's loading finds it,
    // where this process reaches it. False when a bare name is found nowhere
    // (path then holds the name).
    bool LocateServerFile(const wchar_t* serverFile, wchar_t* path) const;

    REGSAM View() const { return view_; }

private:
    struct Folder {
        wchar_t path[MAX_PATH];
    };
    bool FindIn(const wchar_t* folder, const wchar_t* name, wchar_t* path) const;
    bool IsKnown(const wchar_t* name) const;

    REGSAM view_;
    wchar_t system_[MAX_PATH] = {};
    wchar_t windows_[MAX_PATH] = {};
    HeapArray<Folder> pathFolders_;
    HeapArray<ImportName> known_;
};

constexpr int kChainAtMost = 8;           // DLLs named between the missing one and the codec's file
constexpr int kDelayedMissingAtMost = 8;  // missing delay-loaded DLLs named

struct ImportWalk {
    bool missingFound = false;
    wchar_t missing[kImportNameCapacity] = {};
    // The DLLs that need it: chain[0] imports it, chain[1] imports chain[0],
    // and so on up to the codec's file (its file name); chainCount of them.
    wchar_t chain[kChainAtMost][kImportNameCapacity] = {};
    int chainCount = 0;
    // Delay-loaded DLLs of the codec's file (and of the DLLs walked) that are
    // not found: loaded only at their first call, they stop nothing at load.
    wchar_t delayedMissing[kDelayedMissingAtMost][kImportNameCapacity] = {};
    int delayedMissingCount = 0;
};

// What a walk that found a missing DLL says of it, as every check names it:
// "не найдена библиотека: c.dll (для b.dll, нужной для a.dll)".
void NameMissingImport(const ImportWalk& walk, wchar_t* text, std::size_t capacity);

// A file on disk, whichever path names it: its volume and its file index.
struct FileKey {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

// The key of the file at path; false when it cannot be opened.
bool KeyOfFile(const wchar_t* path, FileKey* key);
bool SameFileKey(const FileKey& a, const FileKey& b);
DWORD HashFileKey(const FileKey& key);

// What the walks of one check keep of the DLLs they walked: each file
// found (by its file, not by the name that reached it) with what its walk
// found, for the codecs of one folder (where the loader looks first), so
// that a DLL many codecs need is read and walked once per check.
class ImportWalkMemory {
public:
    ImportWalkMemory() = default;
    ImportWalkMemory(const ImportWalkMemory&) = delete;
    ImportWalkMemory& operator=(const ImportWalkMemory&) = delete;

    struct Walked {
        FileKey key;
        wchar_t codecFolder[kNameCapacity];
        // What is missing below the file: missing and the chain from the DLL
        // that imports it up to (not with) the file itself; and the missing
        // delay-loaded DLLs of the file and of those below it.
        ImportWalk walk;
    };
    const Walked* Find(const FileKey& key, const wchar_t* codecFolder) const;
    void Keep(const FileKey& key, const wchar_t* codecFolder, const ImportWalk& walk);

    // KeyOfFile, asked once per path a check: a codec's file is keyed by its
    // judging and by its walk, a DLL many codecs import is found at one path
    // by each of their walks, and a key costs an open and a question to the
    // file's volume (under Wine, a request to another process).
    bool KeyOf(const wchar_t* path, FileKey* key);

private:
    static DWORD HashOf(const FileKey& key, const wchar_t* codecFolder);
    HeapArray<Walked> walked_;
    HashIndex index_;
    struct KeyedPath {
        wchar_t path[kNameCapacity];
        bool keyed;
        FileKey key;
    };
    HeapArray<KeyedPath> keyedPaths_;
    HashIndex pathIndex_;
};

// Walks the imports of the codec's file at path (as this process reaches
// it), whose facts were read with its imports. The first DLL not found, in
// the order the loader meets them, ends the walk. Each file is read and
// walked once a walk (a file named by several names or paths is one file);
// with memory, once a check.
void WalkImports(const DllSearch& search, const wchar_t* path, const ImageFacts& facts, ImportWalk& walk,
                 ImportWalkMemory* memory = nullptr);
