// The program under measurement as a process of its own, started as a user
// starts it and driven from the benchmark: ended (if still running) and its
// handles closed when the owner goes.
#pragma once
#include "../base/scoped.h"
#include "../base/win_headers.h"

#include <string>

class BenchProgram {
public:
    BenchProgram() = default;
    ~BenchProgram();
    BenchProgram(const BenchProgram&) = delete;
    BenchProgram& operator=(const BenchProgram&) = delete;

    // Starts the program with its own folder as the current directory.
    bool Start(const std::wstring& path);
    // Polls (1 ms apart) until a visible top-level window of that class has a
    // list with rows; returns the window, or null after the deadline.
    HWND WaitFilledList(const wchar_t* className, DWORD deadlineMs);
    // Closes the window as its close box does and waits for the exit code (-1000: none in time).
    int Close(HWND window);
    double PeakWorkingSetMb() const;
    int ExitCode() const;
    DWORD Pid() const { return pid_; }
    bool Running() const { return WaitForSingleObject(Process(), 0) == WAIT_TIMEOUT; }

private:
    HANDLE Process() const { return handles_.Process(); }
    ProcessHandles handles_;
    DWORD pid_ = 0;
};
