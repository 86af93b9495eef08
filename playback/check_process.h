// The program's side of the playback check: starts the child process for a
// file (child/child_process.h) and collects its report as it arrives.
#pragma once
#include "../child/child_process.h"
#include "check_report.h"

constexpr DWORD kCheckTimeLimitMs = 15000;

class PlaybackCheckRun final : private ChildLineReader {
public:
    // Starts the child at once, before the file is known: it makes its
    // filter graph and waits for Begin.
    PlaybackCheckRun();
    // Hands the child the file; its time limit counts from now. False when
    // the child is gone (Poll then says how).
    bool Begin(const wchar_t* path);

    // A child that sends a line longer than it ever writes, or more than a
    // whole report holds, is ended at once; so is one still at work at the
    // time limit.
    ChildState Poll() { return child_.Poll(); }
    const CheckReport& Report() const { return report_; }
    // Posts message to window as soon as the child ends (ChildProcess::PostOnEnd).
    void PostOnEnd(HWND window, UINT message) { child_.PostOnEnd(window, message); }
    // Whether the child ran with administrator rights (child_process.h).
    bool Elevated() const { return child_.Elevated(); }

private:
    void TakeLine(wchar_t* line) override { ReadReportLine(report_, line); }
    bool Complete() const override { return report_.finished; }

    CheckReport report_;
    ChildProcess child_{*this};
};
