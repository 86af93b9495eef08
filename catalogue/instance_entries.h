// Walking the entries of a category's Instance key, where the filters of the
// category are registered one subkey each.
#pragma once
#include "../base/app_state.h"
#include "../base/scoped.h"
#include "registry_text.h"

// How a walk of an Instance key ended.
enum InstanceWalkEnd {
    InstanceWalkNoKey,    // the Instance key could not be opened
    InstanceWalkEnded,    // every entry was visited
    InstanceWalkStopped,  // a visit returned true
};

// Opens instancePath (ending with a separator) under HKEY_CLASSES_ROOT and
// calls visit(entry, entryName) for each entry, in enumeration order, that can
// be opened, until a visit returns true. Each entry is closed after its visit.
template <typename Visitor>
InstanceWalkEnd ForEachInstanceEntry(const wchar_t* instancePath, Visitor&& visit) {
    RegKey instance;
    if (instance.Open(HKEY_CLASSES_ROOT, instancePath) != ERROR_SUCCESS) return InstanceWalkNoKey;
    const bool stopped = ForEachSubkeyName(instance.Get(), [&](const wchar_t* entryName) {
        RegKey entry;
        if (OpenClassesChild(entry, instancePath, entryName) != ERROR_SUCCESS) return false;
        return visit(entry.Get(), entryName);
    });
    return stopped ? InstanceWalkStopped : InstanceWalkEnded;
}
