// The launcher window: its class, size and private start message.
#pragma once

#include "launcher_size.h"
#include "platform.h"

#define WM_LAUNCHER_START (WM_USER + 1)

extern const char LAUNCHER_CLASS_NAME[];

void RegisterLauncherClass(HINSTANCE instance);
LRESULT CALLBACK LauncherWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
