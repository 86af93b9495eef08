// Shared ground of the benchmark program: a clock, repeated samples with their
// median and spread, the result table, and the shape of the synthetic registry.
#pragma once
#include "../base/win_headers.h"
#include "../tests/common/test_text.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The synthetic registry the fill step writes and the measurements rely on.
constexpr int kBenchClassKeys = 10000;      // plain class keys under HKCR\CLSID
constexpr int kBenchFilters = 500;          // filter Instance entries, with class keys of their own
constexpr int kBenchMissingServerEvery = 5; // every 5th filter's server file does not exist
constexpr int kBenchPreferredValues = 40;   // values in DirectShow\Preferred, each naming a legacy bench filter
extern const wchar_t kBenchObjectPrefix[];  // default value of the plain class keys
constexpr int kBenchTransforms = 500;       // Media Foundation video decoders, with class keys of their own
// The legacy filter with the lowest merit, which the mapper enumerates last:
// the filter of measurements 3, 7 and 8.
extern const wchar_t kBenchLastFilterName[];

// Makes the dialog template with the procedure (no owner), draws it whole
// and destroys it; returns the rows its list (listId) held, -1 when it could
// not be made. Times the program's dialogs and their bare twins alike.
int ShowAndDestroyDialog(int templateId, int listId, DLGPROC procedure);

// Milliseconds from an arbitrary origin, from the performance counter.
double NowMs();

// Times one call in milliseconds.
double TimeMs(const std::function<void()>& work);

// Polls (1 ms apart) until the condition holds; false after the deadline.
bool PollUntil(const std::function<bool()>& condition, double deadlineMs);

// Calls visit(subkeyName) for each subkey of an open key, in enumeration
// order, with the platform's calls alone (the baselines' walk).
template <typename Visitor>
void ForEachSubkey(HKEY parent, Visitor&& visit) {
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD count = 256;
        if (RegEnumKeyExW(parent, index, name, &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return;
        visit(static_cast<const wchar_t*>(name));
    }
}

// A visible dialog of process pid with the title, or null.
HWND FindVisibleDialog(DWORD pid, const wchar_t* title);

// Runs "<exe>" <arguments> with a pipe as its standard output, from
// CreateProcess until the pipe closes and the process has ended; its output
// goes to *output. Milliseconds, or negative when it could not be started.
double RunToEnd(const std::wstring& exe, const std::wstring& arguments, std::string* output);

// Repeated measurements of one quantity.
struct Samples {
    std::vector<double> values;
    void Add(double value) { values.push_back(value); }
    double Median() const;
    double Min() const;
    double Max() const;
};

// One row of the result table: the program's operation against its baseline.
struct ResultRow {
    std::string id;           // "1" to "9"
    std::string measurement;  // what the program did
    std::string baseline;     // what the baseline did (printed under the table)
    std::string unit;         // "ms" or "MB"
    Samples program;
    Samples reference;
    std::string note;         // counts seen during the measurement
};

// Prints the table and, under it, what each baseline is.
void PrintTable(const std::vector<ResultRow>& rows);

// printf-style formatting into a std::string (the table is narrow text).
std::string Text(const char* format, ...);

// Whether measurement `id` ("1" to "9") is to run: all of them, unless the
// environment variable VANTREL_BENCH_ONLY lists some (e.g. "1,4").
bool Selected(const char* id);

// Progress lines go to stderr so that stdout carries the table alone.
void Progress(const char* format, ...);

// Steps of the benchmark, one per source file.
int FillRegistry();                                            // bench_fill.cpp
bool RunInProcess(std::vector<ResultRow>& rows, int scale);    // bench_inprocess.cpp
bool RunProcesses(std::vector<ResultRow>& rows, const std::wstring& programExe, const std::wstring& bareExe,
                  int scale);                                   // bench_process.cpp
void MeasurePlaybackCheck(std::vector<ResultRow>& rows, const std::wstring& programExe, const std::wstring& bareExe,
                          int scale);                                   // bench_playback.cpp
void RunReportMeasurement(std::vector<ResultRow>& rows, int scale);  // bench_report.cpp
void RunTransformsMeasurement(std::vector<ResultRow>& rows, int scale);  // bench_report.cpp
void RunBackupsMeasurement(std::vector<ResultRow>& rows, int scale); // bench_backups.cpp
// Writes the index-th bench transform (a video decoder with its class key); its key's name to keyName.
bool WriteBenchTransform(int index, std::wstring* keyName);               // bench_fill.cpp
void RunTransformsDialogMeasurements(std::vector<ResultRow>& rows, int scale);  // bench_transforms.cpp
// Measurement 16: dialog 136 with 500 codec values planted in Drivers32 (removed afterwards).
void RunDriversMeasurement(std::vector<ResultRow>& rows, int scale);  // bench_drivers.cpp
void RunWalksMeasurement(std::vector<ResultRow>& rows, int scale);    // bench_walks.cpp
// The bare child of measurement 18c ("/bare-walk"): walks the audio compressors and ends.
int RunBareWalk();
void RunShellMeasurement(std::vector<ResultRow>& rows, int scale);    // bench_shell.cpp
// Measurement 15 on a prefix not yet filled; prints its own table.
int RunLoadsMeasurement(const std::wstring& programExe, int scale);  // bench_loads.cpp
// Writes kBenchPreferredValues Preferred values under fresh subtypes, naming the filters given; returns how many.
int FillPreferredValues(const std::vector<std::wstring>& filterClassIds);  // bench_preferred.cpp
// With the main window made by RunInProcess.
void RunPreferredMeasurements(std::vector<ResultRow>& rows, int scale);     // bench_preferred.cpp
