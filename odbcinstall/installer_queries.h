// What velloran-apply asks the installer beyond the four calls that change
// the configuration: the error detail of a failed call, and the live
// configuration through the installer's read functions. velloran asks
// neither, so its calls stay exactly the four.
#pragma once

#include "platform.h"

#include <string>
#include <vector>

struct InstallerError {
    DWORD code;
    std::string message;
};
typedef std::vector<InstallerError> InstallerErrors;

// While a list is set, a failed call of one of the four wrappers appends the
// installer's error records (SQLInstallerError 1..8) to it, asked before
// the library is released. NULL, the default, asks nothing.
void CollectInstallerErrors(InstallerErrors* errors);

// A group of reads of the live configuration with the library loaded once:
// the configuration mode is the library's own state, so choosing a view and
// reading in it must happen within one load.
struct LiveReader {
    HMODULE library;
    bool modeChanged;
    UWORD savedMode;
};

enum LiveReaderOpening { LIVE_READER_OPEN, LIVE_READER_NO_LIBRARY, LIVE_READER_NO_FUNCTIONS };

LiveReaderOpening OpenLiveReader(LiveReader& reader);
// Puts the configuration mode back as it was, then releases the library.
void CloseLiveReader(LiveReader& reader);

// ODBC_USER_DSN or ODBC_SYSTEM_DSN for the ODBC.INI reads that follow.
bool SelectLiveView(LiveReader& reader, UWORD mode);
// The drivers the installer lists. false when the list cannot be had whole.
bool ReadInstalledDrivers(const LiveReader& reader, std::vector<std::string>& names);
// A key's value in "ODBCINST.INI" or "ODBC.INI". false when the key is
// missing.
bool ReadLiveValue(const LiveReader& reader, LPCSTR file, LPCSTR section, LPCSTR key,
                   std::string& value);
// Whether a section holds any key.
bool LiveSectionExists(const LiveReader& reader, LPCSTR file, LPCSTR section);
