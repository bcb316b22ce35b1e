// The NPS DTS-compliant log (XML), defined once for its reader
// (dts_read.cpp), its writer (dts_write.cpp) and the tests.
//
// One element per request on a line of its own, CR LF at its end:
//
//   <Event><Timestamp data_type="4">12/22/2009 15:06:56.609</Timestamp>
//   <Computer-Name data_type="1">NPS01</Computer-Name>...
//   <Acct-Status-Type data_type="0">1</Acct-Status-Type>...</Event>
//
// (one line in the file). Each attribute is an element named after it,
// its data_type 0 a number, 1 a text, 2 octets in hex, 3 an address, 4 a
// date and time. Texts escape & < > " ' as XML entities (&#N; and &#xH;
// too). Timestamp is the NPS server's local time of receipt. Event time,
// best first: Event-Timestamp (seconds since 1970 UTC, or a date text
// "MM/DD/YYYY HH:MM:SS" taken as UTC); the local Timestamp minus
// Acct-Delay-Time.
#ifndef VELMAR_ACCOUNTING_DTS_FORMAT_H
#define VELMAR_ACCOUNTING_DTS_FORMAT_H

#include <cstddef>

#include "accounting/request.h"

// The elements the reader uses, in the order of kDtsNames.
enum DtsElement {
  kDtsTimestamp,        // local receive time, data_type 4
  kDtsPacketType,       // 1 to 3 authentication, 4 accounting
  kDtsUserName,         // text
  kDtsNasIpAddress,     // address
  kDtsNasIpv6Address,   // address
  kDtsNasIdentifier,    // text
  kDtsNasPort,          // number
  kDtsNasPortId,        // text
  kDtsAcctStatusType,   // number
  kDtsAcctDelayTime,    // number
  kDtsAcctSessionId,    // text
  kDtsAcctSessionTime,  // number
  kDtsEventTimestamp,   // number, or a date text
  kDtsElementCount,     // elements the reader uses
};

inline constexpr const char* kDtsNames[kDtsElementCount] = {
    "Timestamp",        "Packet-Type",     "User-Name",       "NAS-IP-Address",
    "NAS-IPv6-Address", "NAS-Identifier",  "NAS-Port",        "NAS-Port-Id",
    "Acct-Status-Type", "Acct-Delay-Time", "Acct-Session-Id", "Acct-Session-Time",
    "Event-Timestamp",
};

// The line's frame.
inline const char* const kDtsEventOpen = "<Event>";
inline const char* const kDtsEventClose = "</Event>";

// Further elements the writer writes and the reader passes over.
inline const char* const kDtsComputerName = "Computer-Name";  // the NPS server
inline const char* const kDtsEventSource = "Event-Source";    // "IAS"
inline const char* const kDtsNasPortType = "NAS-Port-Type";
inline const char* const kDtsCallingStationId = "Calling-Station-Id";
inline const char* const kDtsAcctInputOctets = "Acct-Input-Octets";
inline const char* const kDtsAcctOutputOctets = "Acct-Output-Octets";
inline const char* const kDtsAcctTerminateCause = "Acct-Terminate-Cause";
inline const char* const kDtsClientIpAddress = "Client-IP-Address";

// The data_type values.
enum DtsDataType {
  kDtsNumber = 0,   // a decimal number
  kDtsText = 1,     // a text
  kDtsOctets = 2,   // bytes in hex
  kDtsAddress = 3,  // an IP address
  kDtsTime = 4,     // a date and time
};

// Writes q as one line of the format, CR LF included, into out (room for
// cap bytes). Timestamp shows Received in local time (TZ) with its
// milliseconds. Returns the bytes written, 0 when it does not fit.
size_t DtsWrite(const AcctRequest* q, char* out, size_t cap);

#endif  // VELMAR_ACCOUNTING_DTS_FORMAT_H
