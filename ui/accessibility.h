// What a screen reader learns of the progress window beyond what the
// platform's own accessibility tells it: the status lines are live regions
// that it reads out when they change, and the bar keeps one name while its
// value moves.
#pragma once

#include <windows.h>

// Marks `headline` and `detail` as polite live regions and names `bar` by its
// own (never drawn) text. Where the platform has no such annotations, nothing
// changes.
void DescribeProgressWindow(HWND headline, HWND detail, HWND bar);

// The event that tells a screen reader that a live region's text changed:
// the live-region event from Windows 8 on, the name change before.
DWORD LiveTextChangeEvent();

// Tells screen readers that `line`'s text changed, with `event`.
void AnnounceTextChange(HWND line, DWORD event);
