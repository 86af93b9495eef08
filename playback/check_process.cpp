#include "check_process.h"

#include "graph_child.h"


PlaybackCheckRun::PlaybackCheckRun() {
    // The time limit is restarted by Begin; until then nothing polls the child.
    child_.Start(kPlaybackCheckOption, {kReportLineCapacity - 1, kReportBytesAtMost, kCheckTimeLimitMs}, nullptr, true);
}

bool PlaybackCheckRun::Begin(const wchar_t* path) {
    child_.RestartClock(kCheckTimeLimitMs);
    return child_.Send(path);
}
