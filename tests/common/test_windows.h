// Window helpers of the end-to-end driver and the benchmark, which drive the
// real program from another process: finding its windows, reading their
// texts and rows, pressing buttons, and waiting with a deadline.
#pragma once
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The static control that holds a message box's text.
constexpr int kMessageBoxTextId = 0xFFFF;

// Polls the condition, pollMs apart, until it holds or the deadline (milliseconds) passes.
bool WaitUntil(const std::function<bool()>& condition, DWORD deadlineMs = 10000, DWORD pollMs = 20);

// The visible top-level windows of process `pid` whose class is `className`.
std::vector<HWND> VisibleTopLevelWindows(DWORD pid, const wchar_t* className);

std::wstring WindowText(HWND window);
std::wstring ControlText(HWND dialog, int id);
std::wstring MessageBoxText(HWND box);
// The texts of every descendant window, in the order the system lists them.
std::vector<std::wstring> ChildTexts(HWND parent);
bool HasChildText(HWND parent, const std::wstring& text);

// Presses a button of a dialog without waiting for what the press opens.
void PressButton(HWND dialog, int id);

std::vector<std::wstring> ListBoxRows(HWND list);
std::vector<std::wstring> ComboBoxRows(HWND combo);
// A real double click on a list row, through the list's own mouse handling:
// the row is scrolled into view and clicked twice at its left end.
void DoubleClickListRow(HWND list, int row);

// A report-style list view of another process (Wine does not carry the
// records of its messages across processes: they go through memory in the
// program's process): its column headings, its rows' first `columns` cells,
// and a row chosen as a click chooses it.
std::vector<std::wstring> ListViewHeadings(HWND list, DWORD pid);
std::vector<std::vector<std::wstring>> ListViewRows(HWND list, DWORD pid, int columns);
void SelectListViewRow(HWND list, DWORD pid, int row);
// Sets whether a row (-1: every row) of another process's list view is selected, the others left as they are.
void SetListViewRowSelected(HWND list, DWORD pid, int row, bool selected);
