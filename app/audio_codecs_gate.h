// Before the program first loads DirectShow: the audio codecs the audio
// compression manager would open in the program (those without a cache
// entry) are opened in a child first, and one that hangs or crashes there is
// named to the user, who may turn it off in dialog 136 before the program
// goes on, or close the program rather than have it hang.
#pragma once
#include <cstddef>

// Whether an audio codec without a cache entry hangs or crashes as the audio
// compression manager opens it (checked in a child, within its time): the
// codecs without an entry, ", "-joined, go to names, and what one did
// ("не ответил за 5 секунд") to what.
bool AudioCodecFailsToOpen(wchar_t* names, std::size_t namesCapacity, wchar_t* what, std::size_t whatCapacity);

// True when the program may load DirectShow; false when the user chose to
// close it. Shows the main window (showCommand) before it asks.
bool AudioCodecsLetDirectShowLoad(int showCommand);
