#include "audio_codecs_gate.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/message_box.h"
#include "../drivercodecs/audio_codecs_start.h"
#include "../drivercodecs/drivers_dialog.h"
#include "../loadcheck/driver_check.h"

namespace {

const wchar_t kCaption[] = L"Кодек ACM не открывается";

// The first name of a ", "-joined list, into name.
void FirstName(const wchar_t* names, wchar_t* name, std::size_t capacity) {
    CopyText(name, capacity, names);
    for (std::size_t i = 0; name[i]; ++i) {
        if (name[i] == L',') {
            name[i] = L'\0';
            break;
        }
    }
}

}  // namespace

bool AudioCodecFailsToOpen(wchar_t* names, std::size_t namesCapacity, wchar_t* what, std::size_t whatCapacity) {
    if (FindUncachedAudioCodecs(names, namesCapacity) == 0) return false;
    DWORD code = 0;
    const AudioStartResult result = CheckAudioCodecsStart(&code);
    // Where no child can run, or the DLLs only fail to load (DirectShow
    // then fails to load in the program too, which it survives), the
    // program goes on as it always has.
    if (result == AudioStartEnded || result == AudioStartFailed || result == AudioStartNotRun) return false;
    if (result == AudioStartHung) {
        FormatText(what, whatCapacity, L"не ответил за %lu секунд", kAudioStartSeconds);
    } else {
        FormatText(what, whatCapacity, L"аварийно завершил работу (0x%08lX)", code);
    }
    return true;
}

bool AudioCodecsLetDirectShowLoad(int showCommand) {
    for (;;) {
        wchar_t names[kNameCapacity];
        wchar_t what[kShortTextCapacity];
        if (!AudioCodecFailsToOpen(names, kNameCapacity, what, kShortTextCapacity)) return true;
        wchar_t text[kNameCapacity * 2];
        FormatText(text, kNameCapacity * 2,
                   L"Кодек ACM, которого нет в кэше диспетчера сжатия звука, %ls при открытии. Так кодеки ACM "
                   L"открывает каждая программа, загружающая winmm.dll, в том числе DirectShow в этой "
                   L"программе: она бы зависла или закрылась.\n\nКодеки ACM без записи в кэше: %ls\n\n"
                   L"Открыть окно \"Кодеки ACM и Video for Windows\", чтобы проверить их и отключить "
                   L"неисправный?\nНет - программа закроется.",
                   what, names);
        ShowWindow(g_app.mainWindow, showCommand);
        UpdateWindow(g_app.mainWindow);
        if (ShowMessageBox(g_app.mainWindow, text, kCaption, MB_YESNO | MB_ICONWARNING) != IDYES) return false;
        wchar_t first[kNameCapacity];
        FirstName(names, first, kNameCapacity);
        OpenDriverCodecsDialogAt(0, DriverAudio, first, MakeDriverLoadCheck);
    }
}
