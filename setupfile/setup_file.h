// The setup file: where it is, the settings and list entries read from it,
// and the decoding of its attribute-list values.
#pragma once

#include "platform.h"

enum { SETUP_PATH_SIZE = 260, ATTRIBUTE_LIST_SIZE = 1000, LIST_KEY_SIZE = 16 };

// Buffers the run reads into; a longer value is cut to one less.
enum { TITLE_SIZE = 100, LOAD_MESSAGE_SIZE = 150, DRIVER_NAME_SIZE = 150, REQUEST_KEYWORD_SIZE = 20 };

// Where everything is read from. The run and the checker share these names.
const char SETTINGS_SECTION[] = "Settings";
const char TITLE_KEY[] = "Title";
const char LOAD_MESSAGE_KEY[] = "LoadMessage";
const char INSTALL_MANAGER_SECTION[] = "InstallManager";
const char INSTALL_KEY[] = "Install";
const char TRANSLATORS_SECTION[] = "Translators";
const char TRANSLATOR_KEY_FORMAT[] = "Translator%d";
const char DRIVERS_SECTION[] = "Drivers";
const char DRIVER_KEY_FORMAT[] = "Driver%d";
const char DATA_SOURCES_SECTION[] = "Data Sources";
const char DATA_SOURCE_DRIVER_KEY_FORMAT[] = "DSDriver%d";
const char DATA_SOURCE_ATTRIBUTES_KEY_FORMAT[] = "DSAttrib%d";
const char DATA_SOURCE_REQUEST_KEY_FORMAT[] = "DSRequest%d";
// What a missing list key reads as, and the value that ends a list.
const char END_OF_LIST[] = "None";

// Empty when no setup file could be determined; nothing is read then.
extern char SetupFilePath[SETUP_PATH_SIZE];

// The one rule every program applies before reading a setup file (velloran,
// velloran-check, velloran-apply): only an existing regular file of at most
// SETUP_FILE_SIZE_LIMIT bytes is read. Anything else (missing, a folder, a
// FIFO or pipe, a device such as /dev/zero, a larger file) counts as
// unreadable: velloran then reads no setup file (window fallbacks, no
// installer call), the checker exits 2 with the reason. The limit is far
// above any setup file's size and small enough that the file's text and its
// parse fit in memory on any machine that runs an installer. Opening never
// waits on a FIFO.
enum { SETUP_FILE_SIZE_LIMIT = 64 * 1024 * 1024 };

enum SetupFileCheck {
    SETUP_FILE_READABLE,
    SETUP_FILE_NOT_OPENED,  // GetLastError says why
    SETUP_FILE_PIPE,
    SETUP_FILE_DEVICE,
    SETUP_FILE_NOT_REGULAR,
    SETUP_FILE_TOO_LARGE,
};

// Opens the setup file and applies the rule to the open file, so what is
// checked is what gets read. On SETUP_FILE_READABLE *file is left open for
// the caller to read and close; otherwise nothing stays open.
SetupFileCheck OpenSetupFile(LPCSTR path, HANDLE* file);

// TRUE only for an existing regular file no larger than
// SETUP_FILE_SIZE_LIMIT.
BOOL SetupFileReadable(LPCSTR path);

// The text after the program's name in a Windows command line.
LPCSTR GetCommandLineTail(LPCSTR commandLine);

// Fills SetupFilePath from a command-line tail, or beside the executable
// when the tail is empty. FALSE (and SetupFilePath empty) when the path
// would not fit or the executable's path cannot be had.
BOOL FillSetupFilePath(LPCSTR tail);
// The same for the file a console program is given: Windows looks for a
// bare file name in its own folder, and the console programs mean the
// working folder, on both systems.
BOOL FillSetupFilePathFromArgument(LPCSTR file);
BOOL LocateSetupFile(void);

void ReadTitleSetting(LPSTR buffer, int size);
void ReadLoadMessageSetting(LPSTR buffer, int size);

// Forms "<stem><index>" from a format such as "Driver%d". FALSE when the
// name would not fit LIST_KEY_SIZE; the caller ends its list there.
BOOL FormatListKey(LPSTR key, LPCSTR format, int index);

// Turns each "\0" in a NUL-terminated value into a NUL, in place, leaving a
// list closed by two NULs.
void DecodeAttributeList(LPSTR buffer);

// Nonzero when the driver manager is to be installed.
BOOL ReadInstallManagerSetting(void);

// A list value as the run reads it, before decoding: ATTRIBUTE_LIST_SIZE
// bytes, END_OF_LIST when the key is missing.
void ReadListValue(LPCSTR section, LPCSTR key, LPSTR value);

// Entry <index> of a translator or driver list, decoded into value
// (ATTRIBUTE_LIST_SIZE bytes). FALSE at the end of the list: a key name
// past LIST_KEY_SIZE, a missing key or END_OF_LIST.
BOOL ReadComponentEntry(LPCSTR section, LPCSTR keyFormat, int index, LPSTR value);

// Data source <index>: driver name (DRIVER_NAME_SIZE), decoded attributes
// (ATTRIBUTE_LIST_SIZE) and request keyword (REQUEST_KEYWORD_SIZE), the
// last two END_OF_LIST when missing. FALSE at the end of the list, which
// DSDriverN leads.
BOOL ReadDataSourceEntry(int index, LPSTR driver, LPSTR attributes, LPSTR keyword);

// The request keywords and their codes; anything else adds a user data
// source.
struct RequestKeyword {
    LPCSTR keyword;
    WORD request;
};
enum { REQUEST_KEYWORD_COUNT = 6 };
extern const RequestKeyword REQUEST_KEYWORDS[REQUEST_KEYWORD_COUNT];

// The request code for a "DSRequest" keyword; ODBC_ADD_DSN when unknown.
WORD MapRequestKeyword(LPCSTR keyword);
// The keyword of a request code; "?" for a code of none.
LPCSTR RequestKeywordName(WORD request);
// Whether a request works on the system's data sources, not the user's.
BOOL IsSystemRequest(WORD request);
