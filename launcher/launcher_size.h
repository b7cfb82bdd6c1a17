// The launcher window's fixed size, the same on Windows and Linux.
#pragma once

enum { LAUNCHER_WIDTH = 250, LAUNCHER_HEIGHT = 150 };
