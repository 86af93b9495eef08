// The main window's registration commands.
#pragma once

// Registers a codec file chosen in the open-file dialog.
void RegisterNewCodec();
// Re-registers the system's own codecs: the main list or the additional one.
void RegisterMainSystemCodecs();
void RegisterAdditionalSystemCodecs();
