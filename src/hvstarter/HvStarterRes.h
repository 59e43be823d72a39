#pragma once
// Resource identifiers of HvStarter (1 to 99: program; the libraries keep their own ranges).
#define IDI_MAINICON 1
