#include "load_run.h"

#include "../base/bounded_text.h"
#include "../catalogue/view_registry.h"
#include "../child/child_lines.h"
#include "file_checks.h"
#include "load_child.h"

#include <iterator>
#include <memory>
#include <new>

namespace {

// Keeps only the codecs the predicate takes.
template <typename Predicate>
void KeepOnly(LoadCodecList& codecs, Predicate takes) {
    SIZE_T kept = 0;
    for (SIZE_T i = 0; i < codecs.Count(); ++i) {
        if (takes(codecs[i])) codecs[kept++] = codecs[i];
    }
    codecs.Truncate(kept);
}

// The work list's room made before the codecs are read, so that the child
// starts meanwhile; a longer list gets a section and a child of its own.
constexpr std::size_t kFirstCapacity = 4096;

}  // namespace

bool LoadCheckRun::Scope::Takes(const LoadCodec& codec) const {
    if (only) return SameLoadCodec(codec, *only);
    if (nameCount == 0) return true;
    for (std::size_t i = 0; i < nameCount; ++i) {
        if (IsDriverCodec(codec, names[i].kind, names[i].name)) return true;
    }
    return false;
}

void LoadCheckRun::Start(const LoadCodec* only) {
    Scope scope;
    scope.only = only;
    StartScope(scope);
}

void LoadCheckRun::StartDrivers(REGSAM view, const DriverName* names, std::size_t count) {
    Scope scope;
    scope.driversOnly = true;
    scope.driverView = view;
    scope.names = names;
    scope.nameCount = count;
    StartScope(scope);
}

void LoadCheckRun::StartScope(const Scope& scope) {
    BeginScope(scope);
    ReadScope(scope);
    StartChecking();
}

void LoadCheckRun::BeginScope(const Scope& scope) {
    state_ = LoadDone;
    // The child starts while the codecs are read and judged: starting the
    // program's exe takes as long as reading them. A check of another view's
    // drivers loads nothing.
    const bool loads = !scope.driversOnly || scope.driverView == 0;
    const bool few = scope.only || scope.nameCount != 0;
    early_ = loads && workList_.Make(few ? 16 : kFirstCapacity) && StartChild();
    InterlockedExchange(&judged_, 0);
    InterlockedExchange(&toJudge_, 0);
    InterlockedExchange(&stopReading_, 0);
}

void LoadCheckRun::ReadScope(const Scope& scope) {
    RegistryView views[2];
    const int viewCount = MachineRegistryViews(views);
    std::unique_ptr<FileChecks> checks[2];
    // Every view's codecs first, so that the count to judge is known from the start.
    for (int i = 0; i < viewCount; ++i) {
        const RegistryView& view = views[i];
        if (!view.Own() && scope.only) continue;
        if (scope.driversOnly && view.flag != scope.driverView) continue;
        LoadCodecList& codecs = view.Own() ? own_ : other_;
        checks[i].reset(new (std::nothrow) FileChecks(view.flag));
        if (!checks[i]) continue;
        ReadCodecInventory(view.flag, checks[i]->Search(), codecs,
                           scope.driversOnly ? DriverSourcesOnly : AllCodecSources);
        KeepOnly(codecs, [&](const LoadCodec& codec) { return scope.Takes(codec); });
        if (!view.Own()) otherWidth_ = view.width;
        InterlockedExchangeAdd(&toJudge_, static_cast<LONG>(codecs.Count()));
    }
    for (int i = 0; i < viewCount; ++i) {
        const RegistryView& view = views[i];
        if (!checks[i]) continue;
        LoadCodecList& codecs = view.Own() ? own_ : other_;
        for (SIZE_T c = 0; c < codecs.Count() && stopReading_ == 0; ++c) {
            LoadCodec& codec = codecs[c];
            // A driver whose name Windows never looks up has its result already.
            const bool loadable = codec.outcome == OutcomeUnchecked && checks[i]->Judge(codec);
            if (view.Own() && loadable) {
                work_.Append(c);
            } else if (view.Own()) {
                ++checked_;
            } else if (loadable) {
                // Sound as data: only the other width's build can load it.
                codec.outcome = OutcomeNotLoaded;
                CopyText(codec.result, kNameCapacity, kOtherWidthNotLoaded);
            }
            InterlockedIncrement(&judged_);
        }
    }
}

void LoadCheckRun::StartChecking() {
    if (stopReading_ != 0) return;
    if (work_.Count() == 0) {
        child_.reset();
        return;
    }
    if (!early_ || work_.Count() > workList_.Capacity()) {
        child_.reset();
        if (!workList_.Make(work_.Count()) || !StartChild()) {
            state_ = LoadNotStarted;
            return;
        }
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
        CopyText(item.alias, kDriverNameCapacity, codec.driverName);
        CopyText(item.path, kNameCapacity, codec.file);
        workList_.Set(i, item);
    }
    state_ = Go() ? LoadRunning : LoadNotStarted;
}

LoadCheckRun::~LoadCheckRun() { StopReading(); }

bool LoadCheckRun::StartReading(const LoadCodec* only, HWND window, UINT message) {
    readScope_ = Scope();
    readScope_.only = only;
    readWindow_ = window;
    readMessage_ = message;
    BeginScope(readScope_);
    // A reading runs as a check does, so that it can be stopped as one.
    state_ = LoadRunning;
    *reader_.Put() = CreateThread(nullptr, 0, ReadOnThread, this, 0, nullptr);
    if (reader_) return true;
    child_.reset();
    state_ = LoadNotStarted;
    return false;
}

DWORD WINAPI LoadCheckRun::ReadOnThread(void* parameter) {
    auto* run = static_cast<LoadCheckRun*>(parameter);
    run->ReadScope(run->readScope_);
    // The window may be gone by now: a message to it is then lost, never harmful.
    PostMessageW(run->readWindow_, run->readMessage_, 0, 0);
    return 0;
}

bool LoadCheckRun::ReadingEnded() const {
    return reader_ && WaitForSingleObject(reader_.Get(), 0) == WAIT_OBJECT_0;
}

void LoadCheckRun::ReadingProgress(std::size_t* judged, std::size_t* total) const {
    *judged = static_cast<std::size_t>(judged_);
    *total = static_cast<std::size_t>(toJudge_);
}

void LoadCheckRun::FinishReading() {
    if (!reader_) return;
    WaitForSingleObject(reader_.Get(), INFINITE);
    reader_.Close();
    state_ = LoadDone;
    StartChecking();
}

void LoadCheckRun::StopReading() {
    if (!reader_) return;
    InterlockedExchange(&stopReading_, 1);
    WaitForSingleObject(reader_.Get(), INFINITE);
    reader_.Close();
}

bool LoadCheckRun::StartChild() {
    first_ = next_;
    current_ = -1;
    reported_ = static_cast<long>(first_) - 1;
    childDone_ = false;
    LONG item = 0, step = 0, kind = 0;
    steps_ = workList_.Progress(&item, &step, &kind);
    workList_.ClearJournal();
    consumed_ = 0;
    // Everything the child may write: a line for each codec the list can hold, and its last.
    journal_.Reset(kLoadLineChars, workList_.JournalBytes());
    child_.reset(new (std::nothrow) ChildProcess(pipeLines_));
    wchar_t arguments[64];
    FormatText(arguments, std::size(arguments), L"%ls %llx", kLoadCheckOption,
               static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(workList_.Section())));
    if (!child_ ||
        !child_->Start(arguments, {kLoadLineChars, workList_.JournalBytes(), kLoadStartLimitMs}, workList_.Section(), true)) {
        child_.reset();
        return false;
    }
    elevated_ = elevated_ || child_->Elevated();
    if (endMessage_.window) child_->PostOnEnd(endMessage_.window, endMessage_.message);
    return true;
}

bool LoadCheckRun::Go() {
    wchar_t word[64];
    FormatText(word, std::size(word), L"%zx %zx", work_.Count(), first_);
    if (!child_ || !child_->Send(word)) return false;
    child_->RestartClock(kLoadStartLimitMs);
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
    // A child reports its own items, each once, in order: anything else in
    // its pipe (a codec's own writing) is passed over.
    const auto ownNext = [&] {
        return NextHexField(cursor, &index) && static_cast<long>(index) > reported_ && index < work_.Count();
    };
    switch (line[0]) {
    case L'E': {
        if (!ownNext() || !NextHexField(cursor, &step) || !NextHexField(cursor, &code) || step >= kLoadStepCount) return;
        if (!NextHexField(cursor, &kind) || kind >= kLoadKindCount) kind = 0;
        wchar_t result[kNameCapacity];
        DescribeStepFailure(static_cast<LoadStep>(step), static_cast<LoadKind>(kind), code, result, kNameCapacity);
        Finish(index, OutcomeFails, result);
        reported_ = static_cast<long>(index);
        return;
    }
    case L'O':
        if (!ownNext()) return;
        Finish(index, OutcomeLoads, L"загружается");
        reported_ = static_cast<long>(index);
        return;
    case L'D': childDone_ = true; return;
    default: return;
    }
}

bool LoadCheckRun::ReadJournal() {
    const BYTE* bytes = nullptr;
    SIZE_T written = 0;
    if (!workList_.JournalWritten(&bytes, &written) || written < consumed_) return false;
    if (written == consumed_) return true;
    const bool sound = journal_.Take(bytes + consumed_, written - consumed_, *this);
    consumed_ = written;
    return sound;
}

void LoadCheckRun::FollowProgress() {
    LONG item = 0, step = 0, kind = 0;
    const LONG steps = workList_.Progress(&item, &step, &kind);
    if (steps == steps_) return;
    steps_ = steps;
    // Whatever a codec may have written there, only a step of the child's
    // own items counts.
    if (item < static_cast<LONG>(first_) || static_cast<std::size_t>(item) >= work_.Count() || item < current_ ||
        step < 0 || step >= kLoadStepCount) {
        return;
    }
    current_ = item;
    step_ = static_cast<LoadStep>(step);
    kind_ = kind >= 0 && kind < kLoadKindCount ? kind : 0;
    child_->RestartClock(kLoadStepLimitMs);
}

void LoadCheckRun::ChildEnded(ChildState state) {
    // The steps it began and the results it wrote after the last poll.
    FollowProgress();
    if (!ReadJournal() && state != ChildFinished) state = ChildFlooded;
    if (state == ChildFinished) {
        child_.reset();
        state_ = LoadDone;
        return;
    }
    if (current_ < 0 && reported_ < static_cast<long>(first_)) {
        // Ended before it began a codec: no codec is to blame.
        child_.reset();
        if (++failedStarts_ >= 2) {
            state_ = LoadNotStarted;
            return;
        }
    } else {
        // A child that ends after a codec's result was sent blames no codec.
        if (current_ > reported_) {
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
        }
        next_ = static_cast<std::size_t>(current_ > reported_ ? current_ : reported_) + 1;
        child_.reset();
        failedStarts_ = 0;
    }
    if (next_ >= work_.Count()) {
        state_ = LoadDone;
    } else if (!StartChild() || !Go()) {
        state_ = LoadNotStarted;
    }
}

LoadRunState LoadCheckRun::Poll() {
    if (state_ != LoadRunning || !child_) return state_;
    FollowProgress();
    if (!ReadJournal()) child_->End(ChildFlooded);
    const ChildState state = child_->Poll();
    if (state != ChildRunning) ChildEnded(state);
    return state_;
}

void LoadCheckRun::Stop() {
    StopReading();
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
