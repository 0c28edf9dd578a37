// Resource identifiers shared by the resource script and the windows.
#pragma once

#define IDI_PROGRAM 1     // program icon: 32x32 and 16x16, the exe's own icon
#define IDI_DIALOG 2      // dialog icon: 32x32
#define IDB_SPLASH 100    // splash picture, 227x338
#define IDR_AGREEMENT 200 // agreement text, ASCII with CR LF line ends
