#include "load_run.h"

#include "../shellhandlers/shell_handlers.h"
#include "../shellhandlers/shell_load_check.h"

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
// More than a machine has as a rule, and no more: every item's room is paid
// in the section's making (for 4,096 it took 4 to 9 ms, before the child
// could start).
constexpr std::size_t kFirstCapacity = 1024;

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
    scope.sources = DriverSourcesOnly;
    scope.sourceView = view;
    scope.names = names;
    scope.nameCount = count;
    StartScope(scope);
}

void LoadCheckRun::StartShellHandlers(REGSAM view) {
    Scope scope;
    scope.sources = ShellHandlerSourcesOnly;
    scope.sourceView = view;
    StartScope(scope);
}

void LoadCheckRun::StartShellFile(const wchar_t* file, const wchar_t* folder) {
    CopyText(media_, kNameCapacity, file);
    CopyText(thumbnails_, kNameCapacity, folder);
    stepLimitMs_ = kShellFileLimitMs;
    codecLimitMs_ = kShellFileLimitMs;
    Scope scope;
    scope.sources = ShellHandlerSourcesOnly;
    scope.extension = ShellFileExtension(file);
    StartScope(scope);
}

void LoadCheckRun::StartScope(const Scope& scope) {
    BeginScope();
    StartEarlyChild(scope);
    ReadScope(scope);
    StartChecking();
}

void LoadCheckRun::BeginScope() {
    state_ = LoadDone;
    InterlockedExchange(&judged_, 0);
    InterlockedExchange(&toJudge_, 0);
    InterlockedExchange(&stopReading_, 0);
    InterlockedExchange(&readDone_, 0);
}

void LoadCheckRun::StartEarlyChild(const Scope& scope) {
    // The child starts while the codecs are read and judged: starting the
    // program's exe takes as long as reading them. A check of another view's
    // drivers loads nothing.
    const bool loads = scope.sources == AllCodecSources || scope.sourceView == 0;
    const bool few = scope.only || scope.nameCount != 0 || scope.sources == ShellHandlerSourcesOnly;
    early_ = loads && workList_.Make(few ? 16 : kFirstCapacity) && StartChild();
}

void LoadCheckRun::ReadScope(const Scope& scope) {
    RegistryView views[2];
    const int viewCount = MachineRegistryViews(views);
    std::unique_ptr<FileChecks> checks[2];
    // Every view's codecs first, so that the count to judge is known from the start.
    for (int i = 0; i < viewCount; ++i) {
        const RegistryView& view = views[i];
        if (!view.Own() && scope.only) continue;
        if (scope.sources != AllCodecSources && view.flag != scope.sourceView) continue;
        LoadCodecList& codecs = view.Own() ? own_ : other_;
        checks[i].reset(new (std::nothrow) FileChecks(view.flag));
        if (!checks[i]) continue;
        ReadCodecInventory(view.flag, checks[i]->Search(), codecs, scope.sources, scope.extension);
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
            MarkUnchecked(L"не удалось запустить проверку");
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
        if (media_[0] != L'\0') {
            item.procedure = LoadShellFile;
            CopyText(item.media, kNameCapacity, media_);
            ShellThumbnailPath(thumbnails_, codec.classId, item.thumbnail);
        }
        CopyText(item.classId, 40, codec.classId);
        CopyText(item.alias, kDriverNameCapacity, codec.driverName);
        CopyText(item.path, kNameCapacity, codec.file);
        workList_.Set(i, item);
    }
    state_ = Go() ? LoadRunning : LoadNotStarted;
    if (state_ == LoadNotStarted) MarkUnchecked(L"не удалось запустить проверку");
}

LoadCheckRun::~LoadCheckRun() { StopReading(); }

bool LoadCheckRun::StartReading(const LoadCodec* only, HWND window, UINT message) {
    readScope_ = Scope();
    readScope_.only = only;
    readWindow_ = window;
    readMessage_ = message;
    BeginScope();
    // A reading runs as a check does, so that it can be stopped as one.
    state_ = LoadRunning;
    *reader_.Put() = CreateThread(nullptr, 0, ReadOnThread, this, 0, nullptr);
    if (!reader_) {
        state_ = LoadNotStarted;
        return false;
    }
    // The reading has begun: the child's start (a process made, which takes
    // a while of waiting) overlaps it.
    StartEarlyChild(readScope_);
    return true;
}

DWORD WINAPI LoadCheckRun::ReadOnThread(void* parameter) {
    auto* run = static_cast<LoadCheckRun*>(parameter);
    run->ReadScope(run->readScope_);
    // Said done before the message goes: the window takes the reading as
    // over when the message comes, not when the thread has ended (Wine tells
    // every loaded DLL of a thread's end first, and the window would wait
    // for its next timer tick).
    InterlockedExchange(&run->readDone_, 1);
    // The window may be gone by now: a message to it is then lost, never harmful.
    PostMessageW(run->readWindow_, run->readMessage_, 0, 0);
    return 0;
}

bool LoadCheckRun::ReadingEnded() const { return reader_ && readDone_ != 0; }

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
    stepOrder_ = -1;
    step_ = StepLoadLibrary;
    kind_ = 0;
    resultTaken_ = false;
    pendingMade_ = false;
    childDone_ = false;
    broken_ = false;
    workList_.ClearJournal();
    consumed_ = 0;
    // Everything the child may write: the lines of each codec the list can hold, and its last.
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
    // The list is whole by now (a child may start before it is).
    end_ = first_ < alone_ ? first_ + 1 : work_.Count();
    wchar_t word[64];
    FormatText(word, std::size(word), L"%zx %zx %zx", work_.Count(), first_, end_);
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

void LoadCheckRun::MarkUnchecked(const wchar_t* why) {
    for (SIZE_T i = 0; i < own_.Count(); ++i) {
        if (own_[i].outcome == OutcomeUnchecked) FormatText(own_[i].result, kNameCapacity, L"не проверен: %ls", why);
    }
}

void LoadCheckRun::RestartStepClock() {
    const ULONGLONG spent = GetTickCount64() - codecStarted_;
    const ULONGLONG left = spent < codecLimitMs_ ? codecLimitMs_ - spent : 0;
    codecLimit_ = left < stepLimitMs_;
    child_->RestartClock(static_cast<DWORD>(codecLimit_ ? left : stepLimitMs_));
}

void LoadCheckRun::Believe() {
    if (current_ < 0 || !resultTaken_) return;
    Finish(static_cast<std::size_t>(current_), pendingOutcome_, pendingResult_);
    if (pendingMade_) {
        LoadCodec& codec = own_[work_[static_cast<std::size_t>(current_)]];
        codec.made = true;
        codec.thumbnailWidth = pendingWidth_;
        codec.thumbnailHeight = pendingHeight_;
        codec.propertyCount = pendingProperties_;
    }
    next_ = static_cast<std::size_t>(current_) + 1;
    resultTaken_ = false;
    pendingMade_ = false;
}

void LoadCheckRun::TakeStep(unsigned long index, unsigned long step, long kind) {
    // Steps come in their order, and a kind's query after the kind before it;
    // a handler driven with a file does all the work of one kind before the next's.
    const int span = (kLoadKindCount + 1) * 4;
    int order = static_cast<int>(step) * span + static_cast<int>(kind + 1);
    if (step >= StepInitialize && step <= StepProperties) {
        order = StepInitialize * span + static_cast<int>(kind + 1) * 4 + static_cast<int>(step - StepInitialize);
    }
    if (current_ >= 0 && index == static_cast<unsigned long>(current_) && !resultTaken_ && order > stepOrder_) {
        stepOrder_ = order;
    } else if (index == (current_ < 0 ? first_ : static_cast<std::size_t>(current_) + 1) && index < end_ &&
               (current_ < 0 || resultTaken_)) {
        // The next codec: the result of the one before counts now.
        Believe();
        current_ = static_cast<long>(index);
        stepOrder_ = order;
        codecStarted_ = GetTickCount64();
    } else {
        broken_ = true;
        return;
    }
    step_ = static_cast<LoadStep>(step);
    kind_ = kind >= 0 ? static_cast<int>(kind) : 0;
    RestartStepClock();
}

void LoadCheckRun::TakeResult(wchar_t kind, unsigned long index, const wchar_t* fields) {
    if (current_ < 0 || index != static_cast<unsigned long>(current_) || resultTaken_) {
        broken_ = true;
        return;
    }
    if (kind == L'O') {
        if (*fields != L'\0') {
            broken_ = true;
            return;
        }
        pendingOutcome_ = OutcomeLoads;
        CopyText(pendingResult_, kNameCapacity, L"загружается");
    } else {
        unsigned long step = 0, code = 0, queried = 0;
        // The failure of the step begun last.
        if (!NextHexField(fields, &step) || !NextHexField(fields, &code) || step != static_cast<unsigned long>(step_)) {
            broken_ = true;
            return;
        }
        if (!NextHexField(fields, &queried) || queried >= kLoadKindCount) queried = 0;
        pendingOutcome_ = OutcomeFails;
        DescribeStepFailure(step_, static_cast<LoadKind>(queried), code, pendingResult_, kNameCapacity);
    }
    resultTaken_ = true;
}

void LoadCheckRun::TakeMade(unsigned long index, const wchar_t* fields) {
    // Only a handler driven with a file, once, before its result.
    if (media_[0] == L'\0' || current_ < 0 || index != static_cast<unsigned long>(current_) || resultTaken_ ||
        pendingMade_ || !NextHexField(fields, &pendingWidth_) || !NextHexField(fields, &pendingHeight_) ||
        !NextHexField(fields, &pendingProperties_) || *fields != L'\0') {
        broken_ = true;
        return;
    }
    pendingMade_ = true;
}

void LoadCheckRun::TakeLine(wchar_t* line) {
    // After a break, or after the last line, nothing the journal holds is taken.
    if (broken_ || childDone_) {
        broken_ = true;
        return;
    }
    const wchar_t* cursor = line + 1;
    unsigned long index = 0, step = 0, kind = 0;
    switch (line[0]) {
    case L'S':
        if (!NextHexField(cursor, &index) || !NextHexField(cursor, &step) || step >= kLoadStepCount) break;
        if (*cursor == L'\0') return TakeStep(index, step, -1);
        if (!NextHexField(cursor, &kind) || kind >= kLoadKindCount || *cursor != L'\0') break;
        return TakeStep(index, step, static_cast<long>(kind));
    case L'E':
    case L'O':
        if (!NextHexField(cursor, &index)) break;
        return TakeResult(line[0], index, cursor);
    case L'R':
        if (!NextHexField(cursor, &index)) break;
        return TakeMade(index, cursor);
    case L'D':
        // The last line: only after the last codec's result. The child ends
        // now, and its last codec's result counts once it has.
        if (line[1] != L'\0' || current_ < 0 || static_cast<std::size_t>(current_) + 1 != end_ || !resultTaken_) break;
        childDone_ = true;
        child_->RestartClock(stepLimitMs_);
        return;
    default: break;
    }
    broken_ = true;
}

bool LoadCheckRun::ReadJournal() {
    if (broken_) return false;
    const BYTE* bytes = nullptr;
    SIZE_T written = 0;
    // A count out of bounds breaks the rules; what the child wrote before it
    // still tells which codec it was at, and is taken first. A line longer
    // than the child writes, or more than it may write, breaks them too.
    const bool countSound = workList_.JournalWritten(&bytes, &written);
    if (written > consumed_ && !journal_.Take(bytes + consumed_, written - consumed_, *this)) broken_ = true;
    if (!countSound || written < consumed_) broken_ = true;
    if (written > consumed_) consumed_ = written;
    return !broken_;
}

void LoadCheckRun::ChildEnded(ChildState state) {
    // The lines it wrote after the last poll.
    ReadJournal();
    const bool clean = !broken_ && childDone_ && state == ChildCrashed && child_->ExitCode() == 0;
    if (clean) {
        Believe();
        next_ = end_;
        failedStarts_ = 0;
        child_.reset();
        return Continue();
    }
    if (current_ < 0 && !broken_) {
        // Ended before it began a codec: no codec is to blame.
        child_.reset();
        if (++failedStarts_ >= 2) {
            state_ = LoadNotStarted;
            MarkUnchecked(L"не удалось запустить проверку");
            return;
        }
        return Continue();
    }
    failedStarts_ = 0;
    // The codecs from the first without a result that counts up to the one
    // the child was at may each have done it.
    const std::size_t last = current_ >= 0 ? static_cast<std::size_t>(current_) : first_;
    if (next_ == first_ && last == first_) {
        // The child held this codec alone: it did it.
        wchar_t phrase[kShortTextCapacity], result[kNameCapacity];
        NameStepPhrase(step_, static_cast<LoadKind>(kind_), phrase, kShortTextCapacity);
        if (broken_) {
            FormatText(result, kNameCapacity, L"вмешался в работу проверки %ls", phrase);
        } else if (state == ChildCrashed) {
            FormatText(result, kNameCapacity, L"аварийно завершил работу %ls (0x%08lX)", phrase,
                       static_cast<unsigned long>(child_->ExitCode()));
        } else if (state == ChildTimedOut) {
            FormatText(result, kNameCapacity, L"не ответил за %lu секунд %ls",
                       static_cast<unsigned long>((codecLimit_ ? codecLimitMs_ : stepLimitMs_) / 1000), phrase);
        } else {
            FormatText(result, kNameCapacity, L"передал слишком много данных %ls", phrase);
        }
        Finish(first_, OutcomeFails, result);
        next_ = first_ + 1;
    } else if (alone_ < last + 1) {
        alone_ = last + 1;
    }
    child_.reset();
    Continue();
}

void LoadCheckRun::Continue() {
    if (next_ >= work_.Count()) {
        state_ = LoadDone;
    } else if (!StartChild() || !Go()) {
        state_ = LoadNotStarted;
        MarkUnchecked(L"не удалось запустить проверку");
    }
}

LoadRunState LoadCheckRun::Poll() {
    if (state_ != LoadRunning || !child_) return state_;
    // A flood of the pipe is told apart from a break of the journal's rules by broken_.
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
    MarkUnchecked(L"проверка остановлена");
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
