// Fitting a control to its text: translated captions are longer or shorter than
// the English ones that the dialog templates were laid out for.
#pragma once

#include <windows.h>

// The width in pixels of the control's caption, one line in the control's font,
// with "&" taken as the accelerator mark it is.
int CaptionWidth(HWND control);

// Sizes a check box to its caption (never wider than up to maxRight, in its
// parent's client pixels) and moves the follower control to just after it: a
// button that belongs to the check box stays beside its text in every language.
void FitCheckBoxAndFollower(HWND checkBox, HWND follower, int maxRight);
