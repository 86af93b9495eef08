// The Media Foundation transforms of one category in one registry view, as
// the dialog and the report show them: read from the registry's transform
// keys and category entries, and in the program's own view also from the
// platform's enumeration, which adds the decoders that Windows packages
// install. Read only: no transform is ever activated, and no registry link
// is gone through.
#pragma once
#include "../base/app_state.h"
#include "../base/scoped.h"
#include "transform_types.h"

#include <cstddef>

struct IMFAttributes;

struct TransformRow {
    wchar_t name[kNameCapacity];            // the default value, or MFT_FRIENDLY_NAME_Attribute; where there
                                            // is none, "(без имени) " and the class id as the entry spells it
    wchar_t keyName[kShortTextCapacity];    // the category entry's name as the registry spells it
    wchar_t classId[kShortTextCapacity];    // "{...}" where keyName is a GUID in any spelling; otherwise keyName itself
    bool classIdIsGuid;
    GUID id;                                // the class, where classIdIsGuid
    int category;                           // an index into kTransformCategories
    wchar_t type[kShortTextCapacity];       // "аппаратный, асинхронный, ..."
    wchar_t inputs[kFormatsCapacity];
    wchar_t outputs[kFormatsCapacity];
    wchar_t serverPath[kNameCapacity];      // the InprocServer32 default value, as shown and as the actions take it
    DWORD serverPathType;                   // its type: only REG_EXPAND_SZ has its variables expanded
    wchar_t file[kNameCapacity];            // the server path with its file's facts
    const wchar_t* status;                  // one of the statuses below
    wchar_t note[kNameCapacity];            // from Preferred and DoNotUse
    bool packaged;                          // known only to the platform's enumeration
    bool transformKeyFound;
};

extern const wchar_t kTransformStatusNoTransformKey[];  // "нет записи кодека"
extern const wchar_t kTransformStatusTypesDamaged[];    // "данные типов повреждены"

struct TransformList {
    HeapBuffer records;
    std::size_t count = 0;
    bool failed = false;  // memory ran out: the list is not whole
};

TransformRow& TransformAt(const TransformList& list, std::size_t index);

// The rows of one category (an index into kTransformCategories) in the view
// (0 for the program's own), with their notes, sorted by name.
void ReadTransformRows(REGSAM view, int category, TransformList& list);

// The rows of every category in the view, each with its category, in one
// read: the platform's enumeration started once, the notes read once; sorted
// by name.
void ReadViewTransforms(REGSAM view, TransformList& list);

// Adds the transforms that the activation objects describe and the list does
// not hold yet (by class id, in any spelling), as "пакет Windows" of the
// category. Only their attributes are read.
void AddPackagedTransforms(TransformList& list, IMFAttributes* const* objects, unsigned count, int category = 0);

// Fills each row's note from the view's Preferred and DoNotUse keys.
void NoteTransformPreferences(REGSAM view, TransformList& list);

// Sorts the rows by name as the program's lists sort.
void SortTransformRows(TransformList& list);

// The name of the transform that classId (a GUID in any spelling, or a key's
// name) names in the view: its transform key's default value (the key named
// without braces first, then in braces), else its class key's; false, with
// name empty, when neither is there.
bool ReadTransformName(REGSAM view, const wchar_t* classId, wchar_t* name, std::size_t capacity);
