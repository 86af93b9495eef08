// The program's guard of the platform's walks of categories: each walk that
// loads codecs is made by a child first (loadcheck/codec_walk.h), and where
// that child crashed or hung at a codec, the main window names it and offers
// dialog 136 at it.
#pragma once
#include "../base/win_headers.h"

// The main window's message that a walk of its list was refused; wParam: 1
// when the user chose the category (then asked each time), 0 otherwise (asked
// once for a verdict).
constexpr UINT kWalkRefusedMessage = WM_APP + 40;

// Installs the guard; with a window, the refusals of its list are asked about.
void InstallCodecWalkGuard();

// The question of a refused walk, and dialog 136 at the codec on "Да".
void AskAboutRefusedWalk(bool userChose);

// The combobox's change is the user's choice while this lives.
class UserChoosesCategory {
public:
    UserChoosesCategory();
    ~UserChoosesCategory();
    UserChoosesCategory(const UserChoosesCategory&) = delete;
    UserChoosesCategory& operator=(const UserChoosesCategory&) = delete;
};
