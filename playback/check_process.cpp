#include "check_process.h"

#include "../base/bounded_text.h"
#include "graph_child.h"

#include <iterator>

PlaybackCheckRun::PlaybackCheckRun(const wchar_t* path) {
    wchar_t arguments[MAX_PATH + kNameCapacity];
    if (FormatText(arguments, std::size(arguments), L"%ls \"%ls\"", kPlaybackCheckOption, path) != kTextOk) return;
    child_.Start(arguments, {kReportLineCapacity - 1, kReportBytesAtMost, kCheckTimeLimitMs});
}
