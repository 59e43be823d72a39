#pragma once
// COM for the calling thread for the life of a scope, released only when this scope initialised
// it. COM pointers are Microsoft::WRL::ComPtr (wrl/client.h).
#include <objbase.h>

namespace hv {

class TComScope {
 public:
  explicit TComScope(DWORD model = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE) noexcept
      : FResult(CoInitializeEx(nullptr, model)) {}
  ~TComScope() {
    if (SUCCEEDED(FResult)) CoUninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;
  HRESULT Result() const noexcept { return FResult; }
  // Another threading model on this thread still allows the calls.
  bool Usable() const noexcept { return SUCCEEDED(FResult) || FResult == RPC_E_CHANGED_MODE; }

 private:
  HRESULT FResult;
};

}  // namespace hv
