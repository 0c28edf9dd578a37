// Resource identifiers of floor_two_windows.exe, shared by its resource
// script and its code.
#pragma once

#define FLOOR_DIALOG_ICON 1      // assets/dialog.ico: the agreement window's icon
#define FLOOR_SPLASH 100         // assets/splash.bmp: the backdrop's picture
#define FLOOR_AGREEMENT_TEXT 200 // assets/agreement.txt: ASCII, CR LF line ends
