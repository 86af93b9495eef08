// The program's side of the load check: the codecs of the program's own
// registry view read and their files judged as data, then those that pass
// loaded and created in a child process (load_child.h); and the other view's
// codecs judged by their files alone. Polled from the dialog's timer, so
// that the program keeps answering meanwhile.
//
// What the program believes of a child. The codecs run in the child and can
// write into its journal, so a line is taken only in the order the program
// gave the codecs: a step of the codec the child is at, or the first step of
// the next one once the codec before has its result; a result of the codec
// the child is at; the list's end after the last codec's result. Any other
// line, or a journal out of its bounds, is a break of its rules and ends the
// child. A codec's result counts only once the child begins the next codec,
// or ends cleanly (its last line, then its exit) after it. When a child
// crashes, hangs, floods or breaks the rules, every codec from the first
// without a result that counts up to the one it was at is checked again, each
// in a child of its own; a codec is named with the fault only when its child
// held it alone (it was the child's first), so that no codec is ever blamed
// for another's doing. The next child then goes on with the rest.
#pragma once
#include "../child/child_process.h"
#include "codec_inventory.h"
#include "load_steps.h"
#include "load_work.h"

#include <memory>

// How long a child may take over one step before it is ended, and over
// one codec, whatever its steps.
constexpr DWORD kLoadStepLimitMs = 5000;
constexpr DWORD kLoadCodecLimitMs = 15000;
// How long a new child may take to start and name its first codec.
constexpr DWORD kLoadStartLimitMs = 15000;
// How long an Explorer handler driven with a file may take over all its work.
constexpr DWORD kShellFileLimitMs = 10000;

enum LoadRunState {
    LoadRunning,
    LoadDone,        // every codec has its result
    LoadStopped,     // stopped by the user: the results so far stay
    LoadNotStarted,  // a child could not be started, or ended before it named a codec, twice over
};

class LoadCheckRun final : private ChildLineReader {
public:
    LoadCheckRun() = default;
    // A reading still going is stopped and waited for.
    ~LoadCheckRun();
    LoadCheckRun(const LoadCheckRun&) = delete;
    LoadCheckRun& operator=(const LoadCheckRun&) = delete;

    // Each child started from now on posts message to window when it ends
    // (ChildProcess::PostOnEnd).
    void PostOnChildEnd(HWND window, UINT message) { endMessage_ = {window, message}; }
    // Reads and judges the codecs and starts the first child, on the calling
    // thread. With only, only that codec of the program's own view is
    // checked (again), and the other view is not read.
    void Start(const LoadCodec* only = nullptr);
    // The same, with the codecs read and their files judged on a thread of
    // the run's own (a hostile file or a slow disk must not stop a window),
    // the child starting meanwhile: message is posted to window when the
    // reading is done, and FinishReading then starts the check. Until then
    // the run's lists and counts are the reading's: nothing but Reading,
    // ReadingEnded, ReadingProgress, FinishReading and Stop may be called.
    // False (nothing started) when the thread cannot be made.
    bool StartReading(const LoadCodec* only, HWND window, UINT message);
    bool Reading() const { return reader_.Get() != nullptr; }
    bool ReadingEnded() const;
    // The codecs whose files are judged so far, of total (0 while the registry is read).
    void ReadingProgress(std::size_t* judged, std::size_t* total) const;
    // Waits for the reading to end, then starts the first child (as Start).
    void FinishReading();
    // Checks the ACM and Video for Windows codecs of one view alone (0: the
    // program's own), those of the kinds and names given (count of them), or
    // all of them where count is 0.
    struct DriverName {
        DriverKind kind;
        const wchar_t* name;
    };
    void StartDrivers(REGSAM view, const DriverName* names, std::size_t count);
    // Checks Explorer's handlers of one view alone (0: the program's own).
    void StartShellHandlers(REGSAM view);
    // Drives each handler Explorer uses for the file's extension (of the
    // program's own view) with the file, as Explorer drives it, each at most
    // kShellFileLimitMs; the thumbnails made are saved in folder, named by
    // ShellThumbnailPath.
    void StartShellFile(const wchar_t* file, const wchar_t* folder);
    LoadRunState Poll();
    // Ends the child at work, or the reading; the results so far stay, and
    // the codecs not checked (or not yet judged) say so.
    void Stop();

    // The program's own view's codecs, and how many of them have a result.
    LoadCodecList& Own() { return own_; }
    std::size_t Checked() const { return checked_; }
    // The other view's codecs (none on 32-bit Windows) and its width (64 or 32).
    LoadCodecList& Other() { return other_; }
    bool HasOtherView() const { return otherWidth_ != 0; }
    int OtherWidth() const { return otherWidth_; }
    // Counts the own view's codecs with a result anew (after they were changed).
    void Recount();
    // The codec the child is at, or null.
    const LoadCodec* Current() const;
    // Whether a child ran with administrator rights (child_process.h).
    bool Elevated() const { return elevated_; }

private:
    // Which codecs a start takes.
    struct Scope {
        const LoadCodec* only = nullptr;
        LoadSources sources = AllCodecSources;
        REGSAM sourceView = 0;  // the one view read where sources are not all
        const DriverName* names = nullptr;
        std::size_t nameCount = 0;
        const wchar_t* extension = nullptr;  // Explorer's handlers of this extension only
        bool Takes(const LoadCodec& codec) const;
    };
    void StartScope(const Scope& scope);
    // The parts of a start: the state and the reading's counts set, and the
    // child started early (it touches only the child, its work list and
    // journal), on the polling thread; the codecs read and their files judged
    // (on any thread: it touches only the lists, the counts and the reading's
    // progress); the work list written and the child told to go, on the
    // polling thread again.
    void BeginScope();
    void StartEarlyChild(const Scope& scope);
    void ReadScope(const Scope& scope);
    void StartChecking();
    static DWORD WINAPI ReadOnThread(void* run);
    void StopReading();
    // The lines of the child's journal, each checked against the work list.
    void TakeLine(wchar_t* line) override;
    bool Complete() const override { return false; }
    void TakeStep(unsigned long index, unsigned long step, long kind);
    void TakeResult(wchar_t kind, unsigned long index, const wchar_t* fields);
    void TakeMade(unsigned long index, const wchar_t* fields);
    // Takes the lines the child has added to the journal; false when the
    // journal is out of its bounds.
    bool ReadJournal();
    // Starts a child for the work items from next_ on: one of them alone
    // while some are to be checked again, else all the rest. The child
    // waits for the word that its list is ready (Go).
    bool StartChild();
    bool Go();
    // The time limit counts anew from a step begun: a step's, or what is
    // left of the codec's.
    void RestartStepClock();
    // The current codec's result counts: the child went on or ended cleanly.
    void Believe();
    void ChildEnded(ChildState state);
    // Goes on after a child ended: a new child, or the end of the check.
    void Continue();
    // Sets the result of work item `item`, once.
    void Finish(std::size_t item, LoadOutcome outcome, const wchar_t* result);
    // Gives every codec of the own view without a result the reason why.
    void MarkUnchecked(const wchar_t* why);

    LoadRunState state_ = LoadNotStarted;
    LoadCodecList own_;
    LoadCodecList other_;
    int otherWidth_ = 0;
    HeapArray<std::size_t> work_;  // each work item's index into own_
    LoadWorkList workList_;
    // The child's pipe: it writes its lines to the journal, so anything in
    // the pipe is a codec's own writing, bounded and passed over.
    struct PipeLines final : ChildLineReader {
        void TakeLine(wchar_t*) override {}
        bool Complete() const override { return false; }
    } pipeLines_;
    ChildLineSplitter journal_{kLoadLineChars, 0};
    SIZE_T consumed_ = 0;  // the journal's bytes taken
    std::unique_ptr<ChildProcess> child_;
    ChildEndMessage endMessage_ = {};
    std::size_t next_ = 0;      // the first work item without a result that counts
    std::size_t first_ = 0;     // the child's work items: from first_ up to end_
    std::size_t end_ = 0;
    std::size_t alone_ = 0;     // the work items below this, from next_ on, are each checked alone
    long current_ = -1;         // the work item the child is at, -1 before its first
    int stepOrder_ = -1;        // the order of the current codec's last step begun
    LoadStep step_ = StepLoadLibrary;
    int kind_ = 0;
    ULONGLONG codecStarted_ = 0;
    bool codecLimit_ = false;   // the clock runs to the codec's limit rather than the step's
    // The current codec's result, until it counts.
    bool resultTaken_ = false;
    bool pendingMade_ = false;
    unsigned long pendingWidth_ = 0, pendingHeight_ = 0, pendingProperties_ = 0;
    LoadOutcome pendingOutcome_ = OutcomeUnchecked;
    wchar_t pendingResult_[kNameCapacity] = {};
    bool childDone_ = false;    // its last line came, in order
    bool broken_ = false;       // it broke the journal's rules
    int failedStarts_ = 0;
    // The limits of a step and of a codec; a file's check has one for each handler.
    DWORD stepLimitMs_ = kLoadStepLimitMs;
    DWORD codecLimitMs_ = kLoadCodecLimitMs;
    // A file's check: the file, and the folder of the thumbnails.
    wchar_t media_[kNameCapacity] = {};
    wchar_t thumbnails_[kNameCapacity] = {};
    std::size_t checked_ = 0;
    bool elevated_ = false;
    // The start: whether a child was started before the codecs were read;
    // the reading's thread, its scope, its progress and its stop.
    bool early_ = false;
    KernelHandle reader_;
    Scope readScope_;
    HWND readWindow_ = nullptr;
    UINT readMessage_ = 0;
    volatile LONG judged_ = 0;
    volatile LONG toJudge_ = 0;
    volatile LONG stopReading_ = 0;
    // Set by the reading thread once its work is done, before it posts its
    // message: the thread itself may take a while longer to end.
    volatile LONG readDone_ = 0;
};
