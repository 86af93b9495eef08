#include "load_run.h"

#include "../base/bounded_text.h"
#include "../catalogue/view_registry.h"
#include "../child/child_lines.h"
#include "file_checks.h"
#include "load_child.h"

#include <iterator>
#include <new>

namespace {

// Keeps only the codec of the class.
void KeepOnly(LoadCodecList& codecs, const GUID& classId) {
    SIZE_T kept = 0;
    for (SIZE_T i = 0; i < codecs.Count(); ++i) {
        if (IsEqualGUID(codecs[i].classGuid, classId)) codecs[kept++] = codecs[i];
    }
    codecs.Truncate(kept);
}

}  // namespace

void LoadCheckRun::Start(const GUID* onlyClass) {
    state_ = LoadDone;
    RegistryView views[2];
    const int viewCount = MachineRegistryViews(views);
    for (int i = 0; i < viewCount; ++i) {
        const RegistryView& view = views[i];
        if (!view.Own() && onlyClass) continue;
        LoadCodecList& codecs = view.Own() ? own_ : other_;
        FileChecks checks(view.flag);
        ReadCodecInventory(view.flag, checks.Search(), codecs);
        if (onlyClass) KeepOnly(codecs, *onlyClass);
        if (!view.Own()) otherWidth_ = view.width;
        for (SIZE_T c = 0; c < codecs.Count(); ++c) {
            LoadCodec& codec = codecs[c];
            const bool loadable = checks.Judge(codec);
            if (view.Own() && loadable) {
                work_.Append(c);
            } else if (view.Own()) {
                ++checked_;
            } else if (loadable) {
                // Sound as data: only the other width's build can load it.
                codec.outcome = OutcomeNotLoaded;
                CopyText(codec.result, kNameCapacity, kOtherWidthNotLoaded);
            }
        }
    }
    if (work_.Count() == 0) return;
    if (!workList_.Make(work_.Count())) {
        state_ = LoadNotStarted;
        return;
    }
    for (SIZE_T i = 0; i < work_.Count(); ++i) {
        const LoadCodec& codec = own_[work_[i]];
        LoadWorkItem item = {};
        // The procedure of the codec's first kind: the COM kinds share theirs.
        for (int kind = kLoadKindCount - 1; kind >= 0; --kind) {
            if (codec.kinds & KindBit(static_cast<LoadKind>(kind))) item.procedure = kLoadKinds[kind].procedure;
        }
        item.kinds = codec.kinds;
        CopyText(item.classId, 40, codec.classId);
        CopyText(item.path, kNameCapacity, codec.file);
        workList_.Set(i, item);
    }
    state_ = StartChild() ? LoadRunning : LoadNotStarted;
}

bool LoadCheckRun::StartChild() {
    first_ = next_;
    current_ = -1;
    childDone_ = false;
    child_.reset(new (std::nothrow) ChildProcess(*this));
    wchar_t arguments[128];
    FormatText(arguments, std::size(arguments), L"%ls %llx %zx %zx", kLoadCheckOption,
               static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(workList_.Section())), work_.Count(), first_);
    // Everything the child may send: its lines for each codec it takes.
    const SIZE_T bytes = (work_.Count() - first_ + 2) * kLoadLinesPerCodec * kLoadLineChars * sizeof(wchar_t);
    if (!child_ || !child_->Start(arguments, {kLoadLineChars, bytes, kLoadStartLimitMs}, workList_.Section())) {
        child_.reset();
        return false;
    }
    elevated_ = elevated_ || child_->Elevated();
    return true;
}

void LoadCheckRun::Finish(std::size_t item, LoadOutcome outcome, const wchar_t* result) {
    LoadCodec& codec = own_[work_[item]];
    if (codec.outcome != OutcomeUnchecked) return;
    codec.outcome = outcome;
    CopyText(codec.result, kNameCapacity, result);
    ++checked_;
}

void LoadCheckRun::TakeLine(wchar_t* line) {
    const wchar_t* cursor = line + 1;
    unsigned long index = 0, step = 0, code = 0, kind = 0;
    switch (line[0]) {
    case L'S':
        // A child goes forward through its own items only: anything else in
        // its pipe (a codec's own writing) is passed over.
        if (!NextHexField(cursor, &index) || !NextHexField(cursor, &step) || index < first_ || index >= work_.Count() ||
            static_cast<long>(index) < current_ || step >= kLoadStepCount) {
            return;
        }
        if (!NextHexField(cursor, &kind) || kind >= kLoadKindCount) kind = 0;
        current_ = static_cast<long>(index);
        step_ = static_cast<LoadStep>(step);
        kind_ = static_cast<int>(kind);
        child_->RestartClock(kLoadStepLimitMs);
        return;
    case L'E': {
        if (!NextHexField(cursor, &index) || !NextHexField(cursor, &step) || !NextHexField(cursor, &code) ||
            static_cast<long>(index) != current_ || step >= kLoadStepCount) {
            return;
        }
        if (!NextHexField(cursor, &kind) || kind >= kLoadKindCount) kind = 0;
        wchar_t result[kNameCapacity];
        DescribeStepFailure(static_cast<LoadStep>(step), static_cast<LoadKind>(kind), code, result, kNameCapacity);
        Finish(index, OutcomeFails, result);
        return;
    }
    case L'O':
        if (NextHexField(cursor, &index) && static_cast<long>(index) == current_) Finish(index, OutcomeLoads, L"загружается");
        return;
    case L'D': childDone_ = true; return;
    default: return;
    }
}

void LoadCheckRun::ChildEnded(ChildState state) {
    if (state == ChildFinished) {
        child_.reset();
        state_ = LoadDone;
        return;
    }
    if (current_ < 0) {
        // Ended before it named a codec: no codec is to blame.
        child_.reset();
        if (++failedStarts_ >= 2) {
            state_ = LoadNotStarted;
            return;
        }
    } else {
        wchar_t phrase[kShortTextCapacity], result[kNameCapacity];
        NameStepPhrase(step_, static_cast<LoadKind>(kind_), phrase, kShortTextCapacity);
        if (state == ChildCrashed) {
            FormatText(result, kNameCapacity, L"аварийно завершил работу %ls (0x%08lX)", phrase,
                       static_cast<unsigned long>(child_->ExitCode()));
        } else if (state == ChildTimedOut) {
            FormatText(result, kNameCapacity, L"не ответил за %lu секунд %ls",
                       static_cast<unsigned long>(kLoadStepLimitMs / 1000), phrase);
        } else {
            FormatText(result, kNameCapacity, L"передал слишком много данных %ls", phrase);
        }
        Finish(static_cast<std::size_t>(current_), OutcomeFails, result);
        next_ = static_cast<std::size_t>(current_) + 1;
        child_.reset();
        failedStarts_ = 0;
    }
    if (next_ >= work_.Count()) {
        state_ = LoadDone;
    } else if (!StartChild()) {
        state_ = LoadNotStarted;
    }
}

LoadRunState LoadCheckRun::Poll() {
    if (state_ != LoadRunning || !child_) return state_;
    const ChildState state = child_->Poll();
    if (state != ChildRunning) ChildEnded(state);
    return state_;
}

void LoadCheckRun::Stop() {
    if (state_ != LoadRunning) return;
    child_.reset();  // the child at work is ended
    state_ = LoadStopped;
}

const LoadCodec* LoadCheckRun::Current() const {
    // Before the child names a codec, the one it is about to take.
    const std::size_t item = current_ >= 0 ? static_cast<std::size_t>(current_) : first_;
    if (state_ != LoadRunning || item >= work_.Count()) return nullptr;
    return &own_[work_[item]];
}

void LoadCheckRun::Recount() {
    checked_ = 0;
    for (SIZE_T i = 0; i < own_.Count(); ++i) checked_ += own_[i].outcome != OutcomeUnchecked;
}
