// Opening the SYSTEM log that the report reads: the log of the local
// computer or of a named one, or the saved log under $VELMAR_LOGDIR in its
// place when that variable is set, so a copy of a server's log can be
// reported on from any desktop.
#ifndef VELMAR_EVENTLOG_SYSTEMLOG_H
#define VELMAR_EVENTLOG_SYSTEMLOG_H

#include "platform/winapi.h"

// Opens the SYSTEM log of server (null for the local computer, else "\\NAME"
// or "NAME") for the read calls of the event log interface; close it with
// CloseEventLog. With VELMAR_LOGDIR set and not empty, the file
// $VELMAR_LOGDIR/SysEvent.Evt (or .../NAME/SysEvent.Evt) is opened as a
// saved log, NAME checked as the log folder's host names are (a refused name
// fails); otherwise the live log, OpenEventLogA(server, "SYSTEM"). Returns
// null on failure, the reason in GetLastError.
HANDLE OpenSystemLog(const char* server);

#endif  // VELMAR_EVENTLOG_SYSTEMLOG_H
