// The benchmark program.
//   vantrel_bench fill
//       writes the synthetic registry into the current Wine prefix;
//   vantrel_bench run <PelmoraVantrel.exe> <bench_bare_window.exe> [scale]
//       times the program's operations in this process (1 to 4, 10 to 14c,
//       16 to 18) and the real program as a process (5 to 9), then prints the
//       result table on stdout;
//   vantrel_bench loads <PelmoraVantrel.exe> [scale]
//       measurement 15, on a prefix not yet filled: prints its table.
// scale multiplies every repetition count (default 1).
#include "bench_common.h"

#include "../app/codec_walk_guard.h"
#include "../loadcheck/codec_walk.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    // The table and the progress lines go out with bare line feeds, as the shell prints them.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // The walk guard's child is a copy of this program, as the program's is of the program.
    WalkKind walk;
    if (IsCodecWalkChild(&walk)) return RunCodecWalkChild(walk);
    if (argc >= 2 && std::wcscmp(argv[1], L"/bare-walk") == 0) return RunBareWalk();
    if (argc >= 2 && std::wcscmp(argv[1], L"fill") == 0) return FillRegistry();
    if (argc >= 4 && std::wcscmp(argv[1], L"run") == 0) {
        const int scale = argc >= 5 ? std::max(1, _wtoi(argv[4])) : 1;
        std::vector<ResultRow> rows;
        const double start = NowMs();
        // The program's walks of categories are guarded as in the program.
        InstallCodecWalkGuard();
        if (!RunInProcess(rows, scale)) {
            std::printf("the main window could not be created\n");
            return 1;
        }
        RunReportMeasurement(rows, scale);
        RunTransformsMeasurement(rows, scale);
        RunTransformsDialogMeasurements(rows, scale);
        RunBackupsMeasurement(rows, scale);
        RunDriversMeasurement(rows, scale);
        RunWalksMeasurement(rows, scale);
        RunShellMeasurement(rows, scale);
        RunProcesses(rows, WindowsPath(argv[2]), WindowsPath(argv[3]), scale);
        if (Selected("9")) MeasurePlaybackCheck(rows, WindowsPath(argv[2]), WindowsPath(argv[3]), scale);
        PrintTable(rows);
        std::printf("\nbench program time: %.0f s\n", (NowMs() - start) / 1000.0);
        return 0;
    }
    if (argc >= 3 && std::wcscmp(argv[1], L"loads") == 0) {
        return RunLoadsMeasurement(WindowsPath(argv[2]), argc >= 4 ? std::max(1, _wtoi(argv[3])) : 1);
    }
    std::printf("usage: vantrel_bench fill | run <PelmoraVantrel.exe> <bench_bare_window.exe> [scale]"
                " | loads <PelmoraVantrel.exe> [scale]\n");
    return 2;
}
