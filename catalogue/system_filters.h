// Names of the system's own utility filters, hidden from the list while
// hideSystemFilters is set.
#pragma once

bool IsSystemFilterName(const wchar_t* name);
