// The program's entry point: everything happens in RunProgram. The one
// command line the program reads is the playback check's own, with which it
// starts a copy of itself to build a file's graph.
#include "../base/app_state.h"
#include "../playback/graph_child.h"
#include "main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    wchar_t path[kNameCapacity];
    if (IsPlaybackCheckChild(path, kNameCapacity)) return RunPlaybackCheckChild(path);
    return RunProgram(instance, showCommand);
}
