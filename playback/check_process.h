// The program's side of the playback check: starts the child process for a
// file, collects its report as it arrives, and ends a child that crashed or
// that still works after the time limit. Polled from the dialog's timer, so
// that the program's windows keep answering meanwhile.
#pragma once
#include "../base/scoped.h"
#include "check_report.h"

constexpr DWORD kCheckTimeLimitMs = 15000;

enum CheckState {
    CheckRunning,
    CheckFinished,    // the child sent its whole report
    CheckCrashed,     // the child ended without it
    CheckTimedOut,    // the child was ended at the time limit
    CheckFlooded,     // the child was ended for sending what no report holds
    CheckNotStarted,  // the child could not be started
};

class PlaybackCheckRun {
public:
    explicit PlaybackCheckRun(const wchar_t* path);
    ~PlaybackCheckRun();
    PlaybackCheckRun(const PlaybackCheckRun&) = delete;
    PlaybackCheckRun& operator=(const PlaybackCheckRun&) = delete;

    // Reads what the child has sent, a bounded amount a call, so that the
    // program keeps answering whatever the child sends. A child that sends a
    // line longer than it ever writes, or more than a whole report holds, is
    // ended at once; so is one still at work at the time limit. Once the
    // check is over, the same state is given on every later call.
    CheckState Poll();
    const CheckReport& Report() const { return report_; }

private:
    bool ReadAvailable();
    bool TakeLines(SIZE_T newBytes);
    // Reads what an ended child left in the pipe, in bounded rounds; false
    // when that was more than a report holds.
    bool Drain();
    void End(CheckState state);

    CheckState state_ = CheckRunning;
    KernelHandle pipe_;  // the reading end
    ProcessHandles process_;
    ULONGLONG started_ = 0;
    HeapBuffer bytes_;
    SIZE_T byteCount_ = 0;     // bytes held: the line not yet ended
    SIZE_T bytesReceived_ = 0; // everything the child has sent
    CheckReport report_;
};
