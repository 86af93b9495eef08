#include "codec_walk_guard.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/message_box.h"
#include "../catalogue/filter_list.h"
#include "../catalogue/walk_guard.h"
#include "../drivercodecs/drivers_dialog.h"
#include "../loadcheck/codec_walk.h"
#include "../loadcheck/driver_check.h"

namespace {

const wchar_t kCaption[] = L"Кодек не открывается";

bool g_userChoosing = false;
// The verdicts already asked about, so that a refill does not ask again.
ULONG g_verdictsSeen[kWalkKindCount] = {};

bool Why(const GUID* category, wchar_t* codec, std::size_t codecCapacity, wchar_t* what, std::size_t whatCapacity) {
    WalkKind kind;
    if (!RefusingWalk(category, &kind)) return false;
    const WalkVerdict& verdict = CodecWalkVerdict(kind);
    CopyText(codec, codecCapacity, verdict.codec);
    CopyText(what, whatCapacity, verdict.what);
    return true;
}

void Refused(const GUID*) {
    if (g_app.mainWindow) PostMessageW(g_app.mainWindow, kWalkRefusedMessage, g_userChoosing ? 1 : 0, 0);
}

}  // namespace

void InstallCodecWalkGuard() { SetWalkGuard({CodecWalkAllowed, Why, Refused, CodecWalkRows}); }

UserChoosesCategory::UserChoosesCategory() { g_userChoosing = true; }
UserChoosesCategory::~UserChoosesCategory() { g_userChoosing = false; }

void AskAboutRefusedWalk(bool userChose) {
    WalkKind kind;
    const GUID* category = nullptr;
    if (!RefusingWalk(category, &kind)) return;
    const ULONG verdictNumber = CodecWalkVerdictNumber(kind);
    if (!userChose && g_verdictsSeen[kind] == verdictNumber) return;
    g_verdictsSeen[kind] = verdictNumber;
    const WalkVerdict& verdict = CodecWalkVerdict(kind);
    wchar_t text[kNameCapacity * 2];
    DescribeRefusedWalk(kind, text, kNameCapacity * 2);
    AppendText(text, kNameCapacity * 2,
               L".\n\nОткрыть окно \"Кодеки ACM и Video for Windows\", чтобы проверить кодек и отключить его?");
    if (ShowMessageBox(g_app.mainWindow, text, kCaption, MB_YESNO | MB_ICONWARNING) != IDYES) return;
    OpenDriverCodecsDialogAt(0, kind == WalkAudio ? DriverAudio : DriverVideo, verdict.codec, MakeDriverLoadCheck);
    RefreshFilterList();
}
