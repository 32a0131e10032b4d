#pragma once

#include <windows.h>

namespace snaplark::platform::win32 {

// The DPI the notification area draws its icons at now, from the agent's hidden window: it lies
// at the primary monitor's origin, on the monitor whose task bar has the notification area.
UINT notificationAreaDpi(HWND window);

// The small-icon size (SM_CXSMICON) at `dpi`, the size the notification area shows.
int smallIconSize(UINT dpi);
// The same from the metric at the system DPI, for Windows without GetSystemMetricsForDpi.
int smallIconSizeScaled(int systemSize, UINT systemDpi, UINT dpi);

// The program's icon at `size` pixels square; null when it cannot be loaded.
HICON loadProgramIcon(int size);

}  // namespace snaplark::platform::win32
