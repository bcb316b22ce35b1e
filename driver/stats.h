// The summaries after a complete scan: how long k lines were in use at once,
// logins and busy time per port, and connections and connected time per
// user (one ordered walk over the user index, grouping equal names).
#ifndef VELMAR_DRIVER_STATS_H
#define VELMAR_DRIVER_STATS_H

#include <cstdio>

#include "driver/options.h"
#include "driver/porttable.h"
#include "driver/scan.h"
#include "driver/usercollect.h"

// Writes seconds as "%3d:%2d:%02d" of hours, minutes and seconds, each
// truncated toward zero.
void WriteStatsDuration(FILE* out, EventTime seconds);

// "General Statistics:" with the scan's length, and when that is not 0 one
// row per count of lines in use from 0 to PortCount, at most to 255: the
// last counter also holds any time with more lines in use.
void WriteGeneralStats(FILE* out, const ScanState* scan);

// "Port-based Statistics:": logins and busy time of each port in table
// order, names escaped when html. Written only when the scan's length is
// not 0 and the table exists.
void WritePortStats(FILE* out, const ScanState* scan, const PortTable* ports, bool html);

// "User-based Statistics:": per user name of the collector's index, in key
// order, the connections and their total time; names wider than width are
// written whole, and escaped when html. Every entry counts, those of 0 seconds too. Nothing at all
// when there is no index or it is empty. A node that cannot be read ends
// the summary where it stands, with the failure kept in users->Failed
// (UserCollectWalkFailed): the totals would be short, so the run must fail.
void WriteUserStats(FILE* out, UserCollector* users, int width, bool html);

// The summaries that opts asks for, in order: general, port, user (the last
// two only when the scan's length is not 0). users may be null; a failed
// walk of its index is left in users->Failed.
void WriteStatistics(FILE* out, const ReportOptions* opts, const ScanState* scan,
                     const PortTable* ports, UserCollector* users);

#endif  // VELMAR_DRIVER_STATS_H
