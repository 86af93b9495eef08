// The management dialog reached from a check's row, as a user would reach
// it through the main window, for the registration the check found.
#pragma once

// A filter: the first category whose list shows the name and holds an entry
// whose CLSID names classId ("DirectShow Filters " first) is selected, then
// its row, then the management dialog for that entry, so that a twin of the
// same name is never the one managed. With classId empty, the first row of
// the name is managed as a lookup by name finds it. Tells the user when no
// list shows it.
void ManageFilterOfClass(const wchar_t* name, const wchar_t* classId);

