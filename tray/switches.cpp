// Browser setting switches driven by the toolbar module and the command line.
// Each handler answers the message with 1.
#include "tray/qvtoolbar.h"

LRESULT SetImages(WPARAM) { return 1; }
LRESULT SetActiveX(WPARAM) { return 1; }
LRESULT SetShockwave(WPARAM) { return 1; }
LRESULT SetStopLoad(WPARAM) { return 1; }
LRESULT ProtectHomepage(WPARAM) { return 1; }
LRESULT RestoreHomepage(WPARAM) { return 1; }
LRESULT SetAnimations(WPARAM) { return 1; }
LRESULT SetSounds(WPARAM) { return 1; }
