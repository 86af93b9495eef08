// The operations that main-window commands lead to, one per command.
#pragma once

// The codec management dialog for the list's selected row.
void OpenManageDialog();
// The selected filter's own property pages.
void ShowFilterProperties();
// Registering a codec file chosen in the open-file dialog.
void RegisterNewCodec();
// Re-registering the system's own codecs: the main list or the additional one.
void RegisterMainSystemCodecs();
void RegisterAdditionalSystemCodecs();
// The maintenance scan with its progress dialog and closing message.
void RunScanCommand();
// Help file, web pages and the about box.
void OpenHelpFile();
void OpenHomePage();
void OpenForumPage();
void OpenAboutBox();
