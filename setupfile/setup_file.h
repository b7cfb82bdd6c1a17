// The setup file: where it is, the settings read from it, and the decoding
// of its attribute-list values.
#pragma once

#include "platform.h"

enum { SETUP_PATH_SIZE = 260, ATTRIBUTE_LIST_SIZE = 1000, LIST_KEY_SIZE = 16 };

// Empty when no setup file could be determined; nothing is read then.
extern char SetupFilePath[SETUP_PATH_SIZE];

// The text after the program's name in a Windows command line.
LPCSTR GetCommandLineTail(LPCSTR commandLine);

// Fills SetupFilePath from a command-line tail, or beside the executable
// when the tail is empty. FALSE (and SetupFilePath empty) when the path
// would not fit or the executable's path cannot be had.
BOOL FillSetupFilePath(LPCSTR tail);
BOOL LocateSetupFile(void);

void ReadTitleSetting(LPSTR buffer, int size);
void ReadLoadMessageSetting(LPSTR buffer, int size);

// Forms "<stem><index>" from a format such as "Driver%d". FALSE when the
// name would not fit LIST_KEY_SIZE; the caller ends its list there.
BOOL FormatListKey(LPSTR key, LPCSTR format, int index);

// Turns each "\0" in a NUL-terminated value into a NUL, in place, leaving a
// list closed by two NULs.
void DecodeAttributeList(LPSTR buffer);
