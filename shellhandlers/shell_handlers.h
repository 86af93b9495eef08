// Explorer's handlers of media files, as Explorer finds them: for every
// extension of a video or audio file, each kind of handler (thumbnails, the
// older image extractor, previews, properties) looked up in the order the
// shell looks, the first one found taken and those it hides named. Each
// handler is judged as the load check judges a codec's file, nothing loaded:
// its class key, its server file, the file's width and the DLLs it needs,
// and whether the shell was told to leave it alone. The one reading the
// dialog 138, the load check and the report share. Read only; a registry
// link on the way is never gone through.
#pragma once
#include "../base/app_state.h"
#include "../base/scoped.h"

#include <cstddef>

enum ShellKind {
    ShellThumbnail,     // ShellEx\{E357FCCD-...}: IThumbnailProvider
    ShellExtractImage,  // ShellEx\{BB2E617C-...}: IExtractImage
    ShellPreview,       // ShellEx\{8895B1C6-...}: IPreviewHandler
    ShellProperty,      // PropertySystem\PropertyHandlers\.ext: IPropertyStore
    kShellKindCount
};

struct ShellKindInfo {
    const wchar_t* title;          // "эскизы", "эскизы (IExtractImage)", "просмотр", "свойства"
    const wchar_t* shellExKey;     // the key below ShellEx, null for a property handler
    const IID* interfaceId;        // what the handler's object must answer
    const wchar_t* interfaceName;  // "IThumbnailProvider"
};
extern const ShellKindInfo kShellKinds[kShellKindCount];

// The key of property handlers, below HKEY_LOCAL_MACHINE, and of the handlers the shell leaves alone.
extern const wchar_t kPropertyHandlersPath[];  // "SOFTWARE\Microsoft\Windows\CurrentVersion\PropertySystem\PropertyHandlers"
extern const wchar_t kBlockedPath[];           // "SOFTWARE\Microsoft\Windows\CurrentVersion\Shell Extensions\Blocked"

constexpr std::size_t kExtensionCapacity = 64;
// Room for the handlers a row hides, each with its key: all six places of the lookup.
constexpr std::size_t kHiddenCapacity = kNameCapacity * 6;

// What a handler's row says, nothing loaded.
enum ShellHandlerState {
    ShellStateOk,          // "в порядке"
    ShellStateBlocked,     // "отключен": its class id under Blocked, the machine's or the user's
    ShellStateNotApproved, // "не одобрен": the policy asks for approval and it has none
    ShellStateFileFails,   // its class key, its file or the DLLs it needs: stateText says what
};

struct ShellHandlerRow {
    wchar_t extension[kExtensionCapacity];  // ".mkv"
    ShellKind kind;
    GUID classGuid;
    wchar_t classId[40];                    // "{...}" as found
    wchar_t name[kNameCapacity];            // the class key's name, else the class id
    bool classKeyFound;
    wchar_t file[kNameCapacity];            // the server file, expanded and located as the scan does
    bool fileLoadable;                      // its file may be loaded by a program of the view's width
    wchar_t where[kNameCapacity];           // the key where the lookup found it
    bool blockedByMachine;                  // under the machine's Blocked (else, when blocked, the user's)
    ShellHandlerState state;
    wchar_t stateText[kNameCapacity];
    wchar_t note[kNameCapacity];            // delay-loaded DLLs not found
    // The handlers found at later places of the lookup, which Explorer never
    // reaches: "<name> (<key>)", joined by "; ".
    wchar_t hidden[kHiddenCapacity];
};

using ShellHandlerList = HeapArray<ShellHandlerRow>;

// Reads the handlers of the view (0: the program's own, KEY_WOW64_64KEY or
// KEY_WOW64_32KEY) into rows (emptied first): a row per extension and kind
// that has a handler, those with a problem first, then by extension and kind.
void ReadShellHandlers(REGSAM view, ShellHandlerList& rows);

// A file's extension as Explorer takes it: from the last dot of its name
// (after its last \\ or /), or "." for a name without one.
const wchar_t* ShellFileExtension(const wchar_t* file);

// Whether the row's state is a problem (every state but "в порядке" and "отключен").
bool IsShellProblem(const ShellHandlerRow& row);
