// Names for screen readers of controls that have no label to be named after. The system's
// annotation service for standard controls takes the name for the control's window; where that
// service is missing or refuses, the control stays as it was, unnamed.
#pragma once

#include <windows.h>

#include <string_view>

namespace reprisa {

class TWinControl;

// How a name reaches the system for a window. Tests put a recorder in the service's place
// (Wine's service is a stub that keeps no name).
using AccessibleNameService = HRESULT (*)(HWND window, const wchar_t* name);

// The system's service: the name property of the window's own accessible object.
HRESULT SystemAccessibleNameService(HWND window, const wchar_t* name) noexcept;

// Names the control's window through the service in use; false when the control has no window
// yet or the service failed. Nothing is raised.
bool SetAccessibleName(TWinControl* control, std::wstring_view name) noexcept;

// Test seam: the service used from now on (null: the system's).
void SetAccessibleNameService(AccessibleNameService service) noexcept;

}  // namespace reprisa
