// OLE/COM result codes as the kit reports them: the system's text for a code, and the check that
// turns a failed code into an EOleSysError.
#pragma once

#include <windows.h>

#include <string>

namespace reprisa {

// The system's description of a result code (trailing line breaks trimmed), or a German text
// naming the code in hex when the system has none.
std::wstring OleErrorMessage(HRESULT code);
// Raises EOleSysError for a negative result code; returns the code otherwise.
HRESULT OleCheck(HRESULT code);

}  // namespace reprisa
