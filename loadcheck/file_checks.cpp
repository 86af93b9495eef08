#include "file_checks.h"

#include "../base/bounded_text.h"
#include "../modules/view_paths.h"
#include "load_steps.h"

const wchar_t kOtherWidthNotLoaded[] = L"Проверить загрузку: программа другой разрядности";

void FileChecks::JudgeFile(const wchar_t* reached, Verdict& verdict) {
    verdict.loadable = false;
    verdict.note[0] = L'\0';
    ImageFacts facts;
    ReadImage(reached, facts);
    const WORD machine = IsOtherWidthView(search_.View()) ? OtherWidthMachine() : OwnMachine();
    switch (facts.reading) {
    case ImageNotFound: CopyText(verdict.result, kNameCapacity, L"файл не найден"); return;
    case ImageNotOpened: {
        wchar_t cause[kNameCapacity];
        DescribeSystemError(facts.openError, cause, kNameCapacity);
        FormatText(verdict.result, kNameCapacity, L"файл не открывается: %ls", cause);
        return;
    }
    case ImageNotPe:
    case ImageNotDll: CopyText(verdict.result, kNameCapacity, L"файл не является библиотекой DLL"); return;
    case ImageRead: break;
    }
    if (facts.machine != machine) {
        NameImageMachine(facts.machine, verdict.result, kNameCapacity);
        return;
    }
    ImportWalk walk;
    WalkImports(search_, reached, facts, walk, &walked_);
    if (walk.missingFound) {
        NameMissingImport(walk, verdict.result, kNameCapacity);
        return;
    }
    for (int i = 0; i < walk.delayedMissingCount; ++i) {
        AppendText(verdict.note, kNameCapacity,
                   i == 0 ? L"не найдены библиотеки отложенной загрузки: " : L", ");
        AppendText(verdict.note, kNameCapacity, walk.delayedMissing[i]);
    }
    verdict.loadable = true;
    verdict.result[0] = L'\0';
}

const FileChecks::Verdict* FileChecks::Judged(const wchar_t* path) {
    const DWORD pathHash = HashTextIgnoringCase(path);
    const long byPath = byPath_.Find(pathHash, [&](SIZE_T i) {
        return CompareStringOrdinal(verdicts_[i].path, -1, path, -1, TRUE) == CSTR_EQUAL;
    });
    if (byPath >= 0) return &verdicts_[static_cast<SIZE_T>(byPath)];
    // Another spelling of a file judged already (8.3 names, "\.\", forward slashes) is not judged again.
    Verdict& verdict = unkept_;
    CopyText(verdict.path, kNameCapacity, path);
    wchar_t reached[kNameCapacity];
    PathInView(search_.View(), path, reached, kNameCapacity);
    verdict.keyed = walked_.KeyOf(reached, &verdict.key);
    const long byFile = verdict.keyed ? byFile_.Find(HashFileKey(verdict.key), [&](SIZE_T i) {
        return verdicts_[i].keyed && SameFileKey(verdicts_[i].key, verdict.key);
    })
                                      : -1;
    if (byFile >= 0) {
        const Verdict& known = verdicts_[static_cast<SIZE_T>(byFile)];
        verdict.loadable = known.loadable;
        CopyText(verdict.result, kNameCapacity, known.result);
        CopyText(verdict.note, kNameCapacity, known.note);
    } else {
        JudgeFile(reached, verdict);
    }
    // One the heap has no room to keep is judged again next time.
    if (!verdicts_.Append(verdict)) return &unkept_;
    const SIZE_T index = verdicts_.Count() - 1;
    byPath_.Add(pathHash, index);
    if (verdict.keyed && byFile < 0) byFile_.Add(HashFileKey(verdict.key), index);
    return &verdicts_[index];
}

bool FileChecks::Judge(LoadCodec& codec) {
    codec.note[0] = L'\0';
    const wchar_t* failure = nullptr;
    if (!codec.classKeyFound) failure = L"нет раздела класса";
    else if (codec.file[0] == L'\0' && (codec.kinds & kDriverKinds) != 0) failure = L"файл не указан";
    else if (codec.file[0] == L'\0') failure = L"в разделе класса не указан файл";
    else if (!codec.fileLocated) failure = L"файл не найден";
    if (failure) {
        codec.outcome = OutcomeFails;
        CopyText(codec.result, kNameCapacity, failure);
        return false;
    }
    const Verdict* verdict = Judged(codec.file);
    CopyText(codec.note, kNameCapacity, verdict->note);
    if (!verdict->loadable) {
        codec.outcome = OutcomeFails;
        CopyText(codec.result, kNameCapacity, verdict->result);
        return false;
    }
    return true;
}
