#include "managed_codec.h"

#include "../base/bounded_text.h"
#include "../catalogue/category_combo.h"

void TakeManagedCodec(ManagedCodec& codec) {
    CopyText(codec.name, kNameCapacity, g_app.selectedName);
    CopyText(codec.classId, kNameCapacity, g_app.selectedClsid);
    CopyText(codec.objectName, kNameCapacity, g_app.objectName);
    CopyText(codec.serverPath, kNameCapacity, g_app.serverPath);
    codec.serverPathType = g_app.serverPathType;
    codec.merit = g_app.currentMerit;
    codec.lookupKind = g_app.lookupKind;
    codec.byClassId = g_app.selectedByClassId;
    codec.categoryRow = SelectedCategoryRow();
}

void PutBackManagedCodec(const ManagedCodec& codec) {
    CopyText(g_app.selectedName, kNameCapacity, codec.name);
    CopyText(g_app.selectedClsid, kNameCapacity, codec.classId);
    CopyText(g_app.objectName, kNameCapacity, codec.objectName);
    CopyText(g_app.serverPath, kNameCapacity, codec.serverPath);
    g_app.serverPathType = codec.serverPathType;
    g_app.currentMerit = codec.merit;
    g_app.lookupKind = codec.lookupKind;
    g_app.selectedByClassId = codec.byClassId;
    RestoreCategoryRow(codec.categoryRow);
}
