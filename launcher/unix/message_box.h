// Where MessageBoxA shows its warnings on Linux: standard error until the
// launcher hands it a box to draw them in.
#pragma once

typedef void (*WarningBoxFunction)(const char* caption, const char* text);

// From now on every MessageBoxA is a box drawn by `show`.
void ShowWarningsIn(WarningBoxFunction show);
