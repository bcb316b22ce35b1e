// The names a message gives to the places a report reads and writes: the
// SYSTEM log and the port list of a computer, and the working folder where
// the user index is made. Each names what the report's calls open.
#ifndef VELMAR_EVENTLOG_PLACENAMES_H
#define VELMAR_EVENTLOG_PLACENAMES_H

#include <cstddef>

// The name of the log that OpenSystemLog(server) opens, into out (size > 0
// bytes, cut to fit): the path of its SysEvent.Evt when that is a file
// (under $VELMAR_LOGDIR, and everywhere but on Windows), else "SYSTEM log
// of \\NAME" or "SYSTEM log of this computer". A computer name the log
// folder refuses is given as it stands.
void SystemLogName(const char* server, char* out, size_t size);

// The name of the port list that the port enumeration reads for server:
// the path of its RasPorts.txt, or on Windows, where the system's library
// answers, "RAS ports of \\NAME" or "RAS ports of this computer". A refused
// computer name is given as it stands.
void PortListName(const char* server, char* out, size_t size);

// The working folder's path into out (size > 0 bytes). For a removed folder,
// what the system still tells of it where it does ("/srv/x (deleted)"),
// else ".".
void WorkingFolderName(char* out, size_t size);

#endif  // VELMAR_EVENTLOG_PLACENAMES_H
