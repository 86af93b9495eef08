// The program's entry point. The checks' children come first: with their own
// command lines the program starts a copy of itself to build a file's graph,
// to load codecs, or to walk a compressor category before the program does. Then the program's own command line: a report written to a file
// without a window, the usage, or the window as always (RunProgram).
#include "../base/app_state.h"
#include "../loadcheck/codec_walk.h"
#include "../loadcheck/load_child.h"
#include "../playback/graph_child.h"
#include "codec_walk_guard.h"
#include "command_line.h"
#include "command_runs.h"
#include "main_window.h"

namespace {

// The commands that end without a window; COM is there for them as for the window.
int RunCommand(const ProgramCommand& command) {
    if (command.kind == CommandUsage) return PrintUsage(command);
    // No error box of the system stops a command that nobody watches.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    CoInitialize(nullptr);
    const int code = command.kind == CommandReport ? RunReportCommand(command) : RunLoadCheckCommand(command);
    CoUninitialize();
    return code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    wchar_t path[kNameCapacity];
    if (IsPlaybackCheckChild(path, kNameCapacity)) return RunPlaybackCheckChild(path);
    if (IsWaitingPlaybackCheckChild()) return RunPlaybackCheckChild(nullptr);
    HANDLE section = nullptr;
    if (IsLoadCheckChild(&section)) return RunLoadCheckChild(section);
    WalkKind walk;
    if (IsCodecWalkChild(&walk)) return RunCodecWalkChild(walk);
    // Every walk of the platform's categories in the program is made by a child first.
    InstallCodecWalkGuard();
    ProgramCommand command;
    ReadProgramCommand(command);
    if (command.kind != CommandWindow) return RunCommand(command);
    return RunProgram(instance, showCommand);
}
