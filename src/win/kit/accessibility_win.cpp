#include "win/kit/accessibility_win.h"

// The service's class and property IDs are defined here, as its documentation asks.
#include <initguid.h>
#include <oleacc.h>

#include <string>

#include "win/kit/com_ptr_win.h"
#include "win/kit/controls_win.h"

namespace reprisa {

namespace {
AccessibleNameService g_service = nullptr;
}  // namespace

HRESULT SystemAccessibleNameService(HWND window, const wchar_t* name) noexcept {
  ComPtr<IAccPropServices> services;
  HRESULT result = CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IAccPropServices,
                                    reinterpret_cast<void**>(services.put()));
  if (FAILED(result)) return result;
  if (!services) return E_NOINTERFACE;
  return services->SetHwndPropStr(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                  PROPID_ACC_NAME, name);
}

bool SetAccessibleName(TWinControl* control, std::wstring_view name) noexcept {
  HWND window = control ? control->WindowHandle() : nullptr;
  if (!window) return false;
  try {
    const std::wstring text(name);
    AccessibleNameService service = g_service ? g_service : &SystemAccessibleNameService;
    return SUCCEEDED(service(window, text.c_str()));
  } catch (...) {
    return false;
  }
}

void SetAccessibleNameService(AccessibleNameService service) noexcept { g_service = service; }

}  // namespace reprisa
