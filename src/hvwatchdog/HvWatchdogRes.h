#pragma once
// Resource identifiers of HvWatchdog (1 to 99: program; the libraries keep their own ranges).
#define IDI_MAINICON 1
// Tray icons: not monitoring, waiting, files pending.
#define IDI_MICOFF 2
#define IDI_MICWAIT 3
#define IDI_MICRUN 4
