// The user-statistics collector: one entry per disconnect in a disk index
// (user name as key, connected seconds as value), so per-user totals never
// sit in memory. The index file gets a fresh unique name in the current
// directory and is deleted at release, or on a terminating signal. Its
// first failure is kept with its reason, for the run to report.
#ifndef VELMAR_DRIVER_USERCOLLECT_H
#define VELMAR_DRIVER_USERCOLLECT_H

#include <cstdint>

#include "index/dbi.h"

// Key length of the user index: names are kept to their first 20 bytes, cut
// at the last character boundary at or before them.
#define USER_KEY_LEN 20

// Name pattern of the index file; the X's become a unique part.
#define USER_INDEX_TEMPLATE "velmarXXXXXX.tmp"

// The collector of one run. All zero means not started.
struct UserCollector {
  DBI* Index;          // the user index, or null when not created
  const char* Failed;  // the index's message of the first failure, or null
  int SystemError;     // the C library's errno at that failure, 0 when it gave none
  bool Guarding;       // signal handlers installed, to be put back at release
};

// Creates the index file with the label "USER" and key length 20, and from
// then on lets the signals that end a process delete it first (see
// SignalGuardInstall; on Windows the system deletes the file however the
// process ends). Returns null, or the index's message when it cannot be
// created, also kept in Failed with SystemError (whatever was made is still
// the collector's, for UserCollectRelease). One collector per process.
const char* UserCollectStart(UserCollector* users);

// Adds one connection of user with its connected seconds (RasDecode's). The
// name is cut to at most 20 bytes at a UTF-8 character boundary (RasNameCut), so
// names that agree up to there are one user. The first failure is kept in
// Failed (the index's message) with SystemError; nothing is added after it.
// Does nothing before a start.
void UserCollectAdd(UserCollector* users, const char* user, int32_t seconds);

// Keeps a failed read of the index during the summary's walk as the
// collector's failure (the index's message, SystemError), unless one is kept
// already: the summary is then short and the run must fail.
void UserCollectWalkFailed(UserCollector* users);

// Closes and frees the index, deletes its file and puts the signal handlers
// back; forgets any failure. Safe on a collector that never started or that
// failed to.
void UserCollectRelease(UserCollector* users);

#endif  // VELMAR_DRIVER_USERCOLLECT_H
