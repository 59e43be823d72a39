#include "base/app/SystemInfo.h"

#include <windows.h>

namespace hv {

bool IsScreenReaderActive() {
  BOOL on = FALSE;
  return SystemParametersInfoW(SPI_GETSCREENREADER, 0, &on, 0) && on;
}

}  // namespace hv
