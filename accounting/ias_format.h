// The IAS (legacy) log, defined once for its reader (ias_read.cpp), its
// writer (ias_write.cpp) and the tests.
//
// One line per request, CR LF at its end: six fixed fields, then pairs of
// an attribute number and its value, all separated by commas:
//
//   NAS-IP-Address,User-Name,Record-Date,Record-Time,Service-Name,Computer-Name,
//   40,1,44,"168",46,1800,...
//
// Texts may stand in double quotes ("" for a quote inside). Record-Date and
// Record-Time are the IAS server's local time ("06/18/2024", "14:45:48").
// Attribute numbers are RFC 2865/2866/2869's, and the server's own from
// 4096 on (4136 Packet-Type: 1 to 3 authentication, 4 accounting).
// Event time, best first: attribute 55 Event-Timestamp (seconds since 1970
// UTC, or "MM/DD/YYYY HH:MM:SS" taken as UTC); the local Record-Date and
// Record-Time minus attribute 41 Acct-Delay-Time. The NAS is attribute 4,
// else the first field, else 95, else 32; the user attribute 1, else the
// second field; the port 87, else 5.
#ifndef VELMAR_ACCOUNTING_IAS_FORMAT_H
#define VELMAR_ACCOUNTING_IAS_FORMAT_H

#include <cstddef>

#include "accounting/request.h"

// The fixed fields by index.
enum IasField {
  kIasNasIpAddress = 0,  // NAS-IP-Address
  kIasUserName = 1,      // User-Name
  kIasRecordDate = 2,    // Record-Date
  kIasRecordTime = 3,    // Record-Time
  kIasServiceName = 4,   // Service-Name: "IAS" or "RAS"
  kIasComputerName = 5,  // Computer-Name
  kIasFixedCount = 6,    // fixed fields before the pairs
};

// Attribute numbers.
enum IasAttribute {
  kIasAttrUserName = 1,
  kIasAttrNasIpAddress = 4,
  kIasAttrNasPort = 5,
  kIasAttrServiceType = 6,
  kIasAttrFramedProtocol = 7,
  kIasAttrCallingStationId = 31,
  kIasAttrNasIdentifier = 32,
  kIasAttrAcctStatusType = 40,
  kIasAttrAcctDelayTime = 41,
  kIasAttrAcctInputOctets = 42,
  kIasAttrAcctOutputOctets = 43,
  kIasAttrAcctSessionId = 44,
  kIasAttrAcctAuthentic = 45,
  kIasAttrAcctSessionTime = 46,
  kIasAttrAcctTerminateCause = 49,
  kIasAttrEventTimestamp = 55,
  kIasAttrNasPortType = 61,
  kIasAttrNasPortId = 87,
  kIasAttrNasIpv6Address = 95,
  kIasAttrClientIpAddress = 4108,
  kIasAttrClientFriendlyName = 4128,
  kIasAttrPacketType = 4136,
};

// Values of Service-Name that mark the format's lines.
inline const char* const kIasServiceIas = "IAS";
inline const char* const kIasServiceRas = "RAS";

// Writes q as one line of the format, CR LF included, into out (room for
// cap bytes). Record-Date and Record-Time show Received in local time
// (TZ). Returns the bytes written, 0 when it does not fit.
size_t IasWrite(const AcctRequest* q, char* out, size_t cap);

#endif  // VELMAR_ACCOUNTING_IAS_FORMAT_H
