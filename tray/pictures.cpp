// Picture collector: moves the pictures the browser toolbar saved into the
// user's picture folder when the toolbar's timer runs out.
#include "tray/qvtoolbar.h"

void CALLBACK PictureTimerProc(HWND window, UINT, UINT_PTR id, DWORD) { KillTimer(window, id); }
