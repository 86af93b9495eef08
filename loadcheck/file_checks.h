// The checks of a codec's file made as data, before anything loads it: its
// PE header (found, a DLL, of the view's width) and its imports walked as the
// system's loader would look for them. A file that fails ends the codec's
// check there: the child never loads it.
#pragma once
#include "../modules/import_walk.h"
#include "codec_inventory.h"

// The result for a codec whose file is sound but of the other width's view:
// only that width's build loads it.
extern const wchar_t kOtherWidthNotLoaded[];  // "Проверить загрузку: программа другой разрядности"

class FileChecks {
public:
    // view: the registry view whose codecs are judged (0: the program's own).
    explicit FileChecks(REGSAM view) : search_(view) {}

    const DllSearch& Search() const { return search_; }

    // Judges the codec's class key and file. True when the file may be
    // loaded by a program of the view's width; otherwise the codec's outcome
    // is OutcomeFails with the result that says why. The note names the
    // delay-loaded DLLs not found. Each file (whichever path names it) is
    // read once per check, and each DLL it needs read and walked once.
    bool Judge(LoadCodec& codec);

private:
    struct Verdict {
        wchar_t path[kNameCapacity];
        FileKey key;
        bool keyed;
        bool loadable;
        wchar_t result[kNameCapacity];
        wchar_t note[kNameCapacity];
    };
    void JudgeFile(const wchar_t* reached, Verdict& verdict);
    const Verdict* Judged(const wchar_t* path);

    DllSearch search_;
    ImportWalkMemory walked_;
    HeapArray<Verdict> verdicts_;
    HashIndex byPath_;  // the verdicts by the path the codec names
    HashIndex byFile_;  // those of a file that could be opened, by its file
    Verdict unkept_;    // the last one judged
};
