// The program's side of a child process that loads codecs: a second copy of
// the program's own exe, started with a command line of its own, so that
// third-party code never runs in the program. The child writes lines to a
// pipe (child_lines.h); the program reads them a bounded amount per poll and
// ends a child that floods the pipe or outlives its time limit. Polled from
// a dialog's timer, so that the program's windows keep answering meanwhile.
// The playback check and the codec load check both start their children here.
#pragma once
#include "../base/scoped.h"
#include "child_lines.h"

enum ChildState {
    ChildRunning,
    ChildFinished,    // the child sent its last line
    ChildCrashed,     // it ended without it
    ChildTimedOut,    // it was ended at its time limit
    ChildFlooded,     // it was ended for sending what it never writes
    ChildNotStarted,  // it could not be started
};

// The line a check's result adds when its child ran with administrator
// rights (ChildProcess::Elevated): "Проверка выполнена с правами администратора".
extern const wchar_t kCheckedWithAdministratorRights[];

// A window's message, posted when a child ends (ChildProcess::PostOnEnd).
struct ChildEndMessage {
    HWND window;
    UINT message;
};

struct ChildLimits {
    SIZE_T lineChars;  // the longest line the child writes, its line feed included
    SIZE_T bytes;      // the most it sends in all
    DWORD timeMs;      // from its start, or from the last RestartClock
};

class ChildProcess {
public:
    explicit ChildProcess(ChildLineReader& reader) : reader_(reader) {}
    // Starts "<the program's exe>" <arguments>, its standard output a pipe, in
    // the system folder (so that no DLL of the program's current folder is
    // found for a codec). inherited, when given, is an inheritable handle the
    // child receives. Where the program is elevated, the child runs with the
    // restricted token (restricted_token.h); where the platform refuses that,
    // with the program's own, and Elevated() says so. The child belongs to a
    // job that ends it when the program ends, however the program ends.
    // With input, its standard input is a pipe that Send writes to. False,
    // the state ChildNotStarted, when it could not be started; once only.
    bool Start(const wchar_t* arguments, const ChildLimits& limits, HANDLE inherited = nullptr, bool input = false);
    // Writes one line (a line feed is added) to the child's standard input:
    // a few words, which the pipe takes at once whether or not the child
    // reads them. False when the child has no input or is gone.
    bool Send(const wchar_t* line);
    ~ChildProcess();  // a child still at work is ended
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads what the child has sent, a bounded amount a call, and hands each
    // whole line to the reader. A child that sends a line longer than
    // lineChars, or more than bytes in all, is ended at once; so is one still
    // at work at its time limit. Once the child is over, the same state is
    // given on every later call.
    ChildState Poll();
    // Posts message to window from another thread as soon as the child ends,
    // so that a window polling the child from a timer learns it at once.
    void PostOnEnd(HWND window, UINT message);
    // Ends the child as the state says (a caller that reads lines of the
    // child elsewhere ends a flooding child with ChildFlooded).
    void End(ChildState state);
    // The time limit counts anew from now, timeMs long.
    void RestartClock(DWORD timeMs);
    // Waits at most ms for the child to end (Poll then tells how).
    void WaitForEnd(DWORD ms) const;
    // The child's exit code, once it has ended by itself.
    DWORD ExitCode() const { return exitCode_; }
    // Whether the child runs with administrator rights: the program is
    // elevated and the platform refused the restricted token.
    bool Elevated() const { return elevated_; }

private:
    bool Launch(const wchar_t* arguments, HANDLE inherited, bool input);
    bool ReadAvailable();
    // Reads what an ended child left in the pipe, in bounded rounds; false
    // when that was more than it may send.
    bool Drain();

    ChildLimits limits_ = {};
    ChildLineReader& reader_;
    ChildState state_ = ChildNotStarted;
    bool elevated_ = false;
    DWORD exitCode_ = 0;
    KernelHandle pipe_;   // the reading end of its output
    KernelHandle input_;  // the writing end of its input
    KernelHandle job_;
    ProcessHandles process_;
    ULONGLONG clockStart_ = 0;
    DWORD clockLimit_ = 0;
    ChildLineSplitter lines_{1, 0};
    // What the wait for the child's end posts, and the wait itself.
    ChildEndMessage endMessage_ = {};
    HANDLE endWait_ = nullptr;
    HeapBuffer chunk_;  // what one read takes
};
