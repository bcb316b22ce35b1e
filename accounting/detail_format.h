// The FreeRADIUS and GNU Radius `detail` file, defined once for its reader
// (detail_read.cpp), its writer (detail_write.cpp) and the tests.
//
// One record per request, records separated by a blank line:
//
//   Tue Sep 13 16:24:27 2011                  the receive time, `ctime` form, local time
//   <TAB>User-Name = "bob"                    one indented line per attribute:
//   <TAB>NAS-IP-Address = 10.10.0.179         Name = value, the indent a tab or spaces;
//   <TAB>NAS-Port = 0                         texts in double quotes (\" \\ \n \r \t
//   <TAB>Acct-Status-Type = Start             and \ooo escapes), enumerated values by
//   <TAB>Timestamp = 1554226681               name (or "::Name"), numbers and addresses
//   (blank line)                              bare
//
// Timestamp is the receive time in seconds since 1970 UTC, added by the
// server, which may also add Acct-Unique-Session-Id (taken as the session
// id of a record that has no Acct-Session-Id). Event time, best first: Event-Timestamp (seconds;
// FreeRADIUS 3 writes it as a local date text "Sep 13 2011 16:24:27 CEST", which ranks below
// Timestamp unless it names UTC or GMT); Timestamp minus Acct-Delay-Time; the header's local time
// minus Acct-Delay-Time.
#ifndef VELMAR_ACCOUNTING_DETAIL_FORMAT_H
#define VELMAR_ACCOUNTING_DETAIL_FORMAT_H

#include <cstddef>

#include "accounting/request.h"

// The attributes the reader uses, in the order of kDetailNames.
enum DetailAttribute {
  kDetailUserName,             // text
  kDetailNasIpAddress,         // dotted decimal
  kDetailNasIpv6Address,       // IPv6 text
  kDetailNasIdentifier,        // text
  kDetailNasPort,              // number
  kDetailNasPortId,            // text
  kDetailAcctStatusType,       // enumerated (kDetailStatusNames) or a number
  kDetailAcctSessionId,        // text
  kDetailAcctSessionTime,      // number
  kDetailAcctDelayTime,        // number
  kDetailEventTimestamp,       // number, or a date text
  kDetailTimestamp,            // number
  kDetailAcctUniqueSessionId,  // text: the session id when Acct-Session-Id is absent
  kDetailAttributeCount,       // number of attributes the reader uses
};

// Their names as the file writes them (compared without regard to case).
inline constexpr const char* kDetailNames[kDetailAttributeCount] = {
    "User-Name",
    "NAS-IP-Address",
    "NAS-IPv6-Address",
    "NAS-Identifier",
    "NAS-Port",
    "NAS-Port-Id",
    "Acct-Status-Type",
    "Acct-Session-Id",
    "Acct-Session-Time",
    "Acct-Delay-Time",
    "Event-Timestamp",
    "Timestamp",
    "Acct-Unique-Session-Id",
};

// Further attributes the writer writes and the reader passes over.
inline const char* const kDetailAcctAuthentic = "Acct-Authentic";    // value "RADIUS"
inline const char* const kDetailNasPortType = "NAS-Port-Type";       // kDetailPortTypeNames
inline const char* const kDetailServiceType = "Service-Type";        // value "Framed-User"
inline const char* const kDetailFramedProtocol = "Framed-Protocol";  // value "PPP"
inline const char* const kDetailCallingStationId = "Calling-Station-Id";
inline const char* const kDetailAcctInputOctets = "Acct-Input-Octets";
inline const char* const kDetailAcctOutputOctets = "Acct-Output-Octets";
inline const char* const kDetailAcctTerminateCause = "Acct-Terminate-Cause";  // kDetailCauseNames

// An enumerated value and its number.
struct DetailName {
  const char* Name;  // as written
  int Value;         // the RFC number
};

// Acct-Status-Type by name: the five the reader hands on, "Alive" (the old
// name of Interim-Update), and the tunnel and failure types of RFC 2867,
// known but not handed on. Ends with a null Name.
inline const DetailName kDetailStatusNames[] = {
    {"Start", 1},
    {"Stop", 2},
    {"Interim-Update", 3},
    {"Alive", 3},
    {"Accounting-On", 7},
    {"Accounting-Off", 8},
    {"Tunnel-Start", 9},
    {"Tunnel-Stop", 10},
    {"Tunnel-Reject", 11},
    {"Tunnel-Link-Start", 12},
    {"Tunnel-Link-Stop", 13},
    {"Tunnel-Link-Reject", 14},
    {"Failed", 15},
    {nullptr, 0},
};

// NAS-Port-Type and Acct-Terminate-Cause by name, for the writer. End with
// a null Name.
inline const DetailName kDetailPortTypeNames[] = {
    {"Async", 0}, {"Sync", 1}, {"ISDN", 2}, {"Virtual", 5}, {nullptr, 0},
};
inline const DetailName kDetailCauseNames[] = {
    {"User-Request", 1}, {"Lost-Carrier", 2}, {"Idle-Timeout", 4},
    {"Admin-Reboot", 7}, {nullptr, 0},
};

// The `ctime` names of the header line.
inline const char* const kDetailWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
inline const char* const kDetailMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Writes q as a detail record (its header, attribute lines and the blank
// line) into out, which has room for cap bytes. Authentication requests
// have no place in a detail file: nothing is written for them. The header
// shows Received in local time (TZ). Returns the bytes written, 0 when
// nothing is written or it does not fit.
size_t DetailWrite(const AcctRequest* q, char* out, size_t cap);

#endif  // VELMAR_ACCOUNTING_DETAIL_FORMAT_H
