// The maintenance scan over every category and list row for broken registrations.
#pragma once
#include "../base/win_headers.h"

#include <cstdint>

// How a scan ended.
enum ScanEnd {
    ScanEndCompleted,
    ScanEndCancelled,
    ScanEndQuitRequested,
};

// Walks every category and row; returns how it ended. A quit request met in
// the message pump ends the scan at once; the caller posts the quit again.
ScanEnd ScanForBrokenCodecs(int* quitCode);

void UpdateScanProgress();

// Test seam, never called by the program: with true, every row is looked up
// with a walk of the registry (FindFilterRegistration), as the management
// dialog looks its row up, instead of from what the scan has read.
void SetScanLooksUpEachRow(bool eachRow);

// The progress bar's position for row index of count: the integer part of
// index / count * 100, worked in double precision.
int ScanProgressPosition(std::uint32_t index, std::uint32_t count);

INT_PTR CALLBACK ScanDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The maintenance scan with its progress dialog and closing message.
void RunScanCommand();
