// The launcher window: its class, size and private start message.
#pragma once

#include "platform.h"

#define WM_LAUNCHER_START (WM_USER + 1)

enum { LAUNCHER_WIDTH = 250, LAUNCHER_HEIGHT = 150 };

extern const char LauncherClassName[];

void RegisterLauncherClass(HINSTANCE instance);
LRESULT CALLBACK LauncherWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
