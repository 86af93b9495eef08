// A filter's own property pages, shown in the system's modal property frame.
#pragma once
#include "../base/win_headers.h"

// Finds the first filter of the category whose friendly name equals
// friendlyName (letter case counting) and binds it; the caller releases it.
// Null when there is none or it cannot be bound.
IBaseFilter* BindFilterNamed(const GUID& category, const wchar_t* friendlyName);
// The same for selectedName in the category last listed, currentCategory.
IBaseFilter* BindSelectedFilter();

// Shows the filter's pages; 1 when the frame was shown and closed, 0 when the
// filter offers no pages. The filter is neither kept nor released.
int ShowPropertyFrame(IBaseFilter* filter);

// Shows the property pages of the filter of the list's selected row.
void ShowFilterProperties();
