#include "file_checks.h"

#include "../base/bounded_text.h"
#include "../modules/view_paths.h"
#include "load_steps.h"

const wchar_t kOtherWidthNotLoaded[] = L"Проверить загрузку: программа другой разрядности";

namespace {

// "не найдена библиотека: c.dll (для b.dll, нужной для a.dll)".
void NameMissingImport(const ImportWalk& walk, wchar_t* text, std::size_t capacity) {
    FormatText(text, capacity, L"не найдена библиотека: %ls", walk.missing);
    for (int i = 0; i < walk.chainCount; ++i) {
        AppendText(text, capacity, i == 0 ? L" (для " : L", нужной для ");
        AppendText(text, capacity, walk.chain[i]);
    }
    if (walk.chainCount > 0) AppendText(text, capacity, L")");
}

}  // namespace

void FileChecks::JudgeFile(const wchar_t* path, Verdict& verdict) const {
    verdict.loadable = false;
    verdict.note[0] = L'\0';
    wchar_t reached[kNameCapacity];
    PathInView(search_.View(), path, reached, kNameCapacity);
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
    WalkImports(search_, reached, facts, walk);
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
    const Verdict* verdict = nullptr;
    for (SIZE_T i = 0; i < verdicts_.Count() && !verdict; ++i) {
        if (lstrcmpiW(verdicts_[i].path, codec.file) == 0) verdict = &verdicts_[i];
    }
    Verdict judged;
    if (!verdict) {
        CopyText(judged.path, kNameCapacity, codec.file);
        JudgeFile(codec.file, judged);
        verdicts_.Append(judged);
        verdict = &judged;
    }
    CopyText(codec.note, kNameCapacity, verdict->note);
    if (!verdict->loadable) {
        codec.outcome = OutcomeFails;
        CopyText(codec.result, kNameCapacity, verdict->result);
        return false;
    }
    return true;
}
