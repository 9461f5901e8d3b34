// SPDX-License-Identifier: MIT
// Ids of the window's resources (resources/tarvex.rc) and of its system-menu entry; plain defines,
// so that the resource compiler reads them too.
#pragma once

#define IDD_ABOUT 100
#define IDS_ABOUT_ENTRY 101
#define IDS_IMPORT_ENTRY 104
#define IDS_SOCKETS_FAILED 103
#define IDI_TARVEX 128

// The About entry in the system menu; system commands keep their low four bits for the system.
#define IDM_ABOUT 0x0010
// The bin map entry beside it.
#define IDM_BIN_MAP 0x0020
// Import Bins from Model Library, in the system menu before About.
#define IDM_IMPORT_BINS 0x0030
// Read Sizes as SPICE Does, checkable, before the bin map.
#define IDM_SPICE_SIZES 0x0040
