// String-table ids of the display names of the family's products, which the installed-
// products scan loads from the program's string table. The program's resource ids include
// this file; it is read by the resource compiler too, so it holds only #define lines.
#pragma once

#define IDS_IC_CLIENT_SOFTWARE    7127
#define IDS_IC_SECURITY_SERVER    7128
#define IDS_IC_CONTROL_CENTER     7129
#define IDS_IC_UPDATE_SERVER      7130
#define IDS_IC_CSP                7131
