#pragma once
// Facts about the running system that the forms adapt to.

namespace hv {

// A screen reader runs (SPI_GETSCREENREADER); false when the value cannot be read.
bool IsScreenReaderActive();

}  // namespace hv
