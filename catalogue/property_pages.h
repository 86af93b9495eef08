// A filter's own property pages, shown in the system's modal property frame.
#pragma once
#include "../app/win_headers.h"

// Finds the entry of selectedName (exact case) in currentCategory and binds
// it to a filter; the caller releases it. Null when there is none.
IBaseFilter* BindSelectedFilter();

// Shows the filter's pages; 1 when the frame was shown and closed, 0 when the
// filter offers no pages. The filter is neither kept nor released.
int ShowPropertyFrame(IBaseFilter* filter);

// Shows the property pages of the filter of the list's selected row.
void ShowFilterProperties();
