// The program's entry point: everything happens in RunProgram. The only
// command lines the program reads are its checks' children's own, with which
// it starts a copy of itself to build a file's graph, to load codecs, or to
// load the audio codecs' manager before the program does.
#include "../base/app_state.h"
#include "../drivercodecs/audio_codecs_start.h"
#include "../loadcheck/load_child.h"
#include "../playback/graph_child.h"
#include "main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    wchar_t path[kNameCapacity];
    if (IsPlaybackCheckChild(path, kNameCapacity)) return RunPlaybackCheckChild(path);
    if (IsWaitingPlaybackCheckChild()) return RunPlaybackCheckChild(nullptr);
    HANDLE section = nullptr;
    if (IsLoadCheckChild(&section)) return RunLoadCheckChild(section);
    if (IsAudioStartChild()) return RunAudioStartChild();
    return RunProgram(instance, showCommand);
}
