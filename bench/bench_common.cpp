#include "bench_common.h"

#include "../tests/common/test_windows.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

const wchar_t kBenchObjectPrefix[] = L"Bench object ";
const wchar_t kBenchLastFilterName[] = L"Bench Filter 000";

double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

double TimeMs(const std::function<void()>& work) {
    const double start = NowMs();
    work();
    return NowMs() - start;
}

bool PollUntil(const std::function<bool()>& condition, double deadlineMs) {
    const double end = NowMs() + deadlineMs;
    while (!condition()) {
        if (NowMs() > end) return false;
        Sleep(1);
    }
    return true;
}

HWND FindVisibleDialog(DWORD pid, const wchar_t* title) {
    for (HWND window : VisibleTopLevelWindows(pid, L"#32770")) {
        if (WindowText(window) == title) return window;
    }
    return nullptr;
}

double RunToEnd(const std::wstring& exe, const std::wstring& arguments, std::string* output) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 64 * 1024)) return -1;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    PROCESS_INFORMATION process{};
    const double start = NowMs();
    const BOOL created = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    CloseHandle(writeEnd);
    output->clear();
    if (created) {
        char chunk[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, chunk, sizeof(chunk), &got, nullptr) && got > 0) output->append(chunk, got);
        WaitForSingleObject(process.hProcess, 120000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    const double elapsed = NowMs() - start;
    CloseHandle(readEnd);
    return created ? elapsed : -1;
}

double Samples::Median() const {
    if (values.empty()) return 0.0;
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2.0;
}

double Samples::Min() const { return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end()); }
double Samples::Max() const { return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end()); }

std::string Text(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    return buffer;
}

bool Selected(const char* id) {
    char only[64] = {};
    if (GetEnvironmentVariableA("VANTREL_BENCH_ONLY", only, sizeof(only)) == 0) return true;
    return std::strstr(only, id) != nullptr;
}

void Progress(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::fputs("# ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputs("\n", stderr);
    std::fflush(stderr);
    va_end(args);
}

namespace {

// Numbers keep three significant digits at least, without a run of zeros.
std::string Number(double value) {
    if (value >= 100.0) return Text("%.0f", value);
    if (value >= 10.0) return Text("%.1f", value);
    return Text("%.2f", value);
}

std::string Spread(const Samples& samples) {
    return Number(samples.Min()) + ".." + Number(samples.Max()) + " (n=" + Text("%zu", samples.values.size()) + ")";
}

}  // namespace

void PrintTable(const std::vector<ResultRow>& rows) {
    std::printf("%-2s %-52s %10s %-22s %10s %-22s %7s\n", "#", "measurement", "median", "spread min..max",
                "baseline", "baseline spread", "ratio");
    for (const ResultRow& row : rows) {
        const double median = row.program.Median();
        const double base = row.reference.Median();
        const std::string ratio = base > 0.0 ? Text("%.2f", median / base) : std::string("-");
        std::printf("%-2s %-52s %7s %-2s %-22s %7s %-2s %-22s %7s\n", row.id.c_str(), row.measurement.c_str(),
                    Number(median).c_str(), row.unit.c_str(), Spread(row.program).c_str(), Number(base).c_str(),
                    row.unit.c_str(), Spread(row.reference).c_str(), ratio.c_str());
    }
    std::printf("\nbaselines and counts:\n");
    for (const ResultRow& row : rows) {
        std::printf("%-2s baseline: %s\n", row.id.c_str(), row.baseline.c_str());
        if (!row.note.empty()) std::printf("   seen: %s\n", row.note.c_str());
    }
    std::fflush(stdout);
}

int ShowAndDestroyDialog(int templateId, int listId, DLGPROC procedure) {
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), nullptr, procedure, 0);
    if (!dialog) return -1;
    RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    const int rows = static_cast<int>(SendDlgItemMessageW(dialog, listId, LVM_GETITEMCOUNT, 0, 0));
    DestroyWindow(dialog);
    return rows;
}
