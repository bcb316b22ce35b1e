// One request as an accounting server logs it: what the writers of the four
// formats (detail_format.h, nps_format.h, ias_format.h, dts_format.h) put
// into a file, each in its own form. The same request written in every
// format reads back as the same AcctRecord, names of the port aside (the
// nps columns hold no NAS-Port-Id).
#ifndef VELMAR_ACCOUNTING_REQUEST_H
#define VELMAR_ACCOUNTING_REQUEST_H

#include <cstddef>
#include <cstdint>

#include "accounting/acct.h"

// RADIUS packet types as the NPS formats log them.
enum AcctPacketType {
  kPacketAccessRequest = 1,      // a user asks to log in
  kPacketAccessAccept = 2,       // ... and may
  kPacketAccessReject = 3,       // ... and may not
  kPacketAccountingRequest = 4,  // a Start, Stop, Interim-Update, Accounting-On or -Off
};

// Values of NAS-Port-Type (RFC 2865) the writers name.
enum AcctPortType {
  kPortAsync = 0,    // a modem line
  kPortVirtual = 5,  // a VPN tunnel
};

// Acct-Terminate-Cause values (RFC 2866) the writers name.
enum AcctTerminateCause {
  kCauseNone = 0,         // not given
  kCauseUserRequest = 1,  // the user hung up
  kCauseLostCarrier = 2,  // the line dropped
  kCauseIdleTimeout = 4,  // idle too long
  kCauseAdminReboot = 7,  // the NAS was shut down
};

// One request. Texts are NUL-terminated, at most kAcctTextMax bytes.
struct AcctRequest {
  AcctPacketType Packet;      // accounting, or one of the authentication steps
  AcctStatus Status;          // Acct-Status-Type of an accounting request
  const char* NasIp;          // NAS-IP-Address, dotted decimal
  const char* NasIdentifier;  // NAS-Identifier
  uint32_t Port;              // NAS-Port; not written for Accounting-On and -Off
  const char* PortId;         // NAS-Port-Id, or null (the nps columns never hold it)
  AcctPortType PortType;      // NAS-Port-Type
  const char* User;           // User-Name, or null
  const char* SessionId;      // Acct-Session-Id
  const char* Calling;        // Calling-Station-Id, or null
  int64_t Event;              // when it happened, seconds since 1970 UTC
  bool SendEventTimestamp;    // the NAS puts Event = Event-Timestamp in the request
  uint32_t Delay;             // Acct-Delay-Time: Received - Event
  int64_t Received;           // when the server received it, seconds since 1970 UTC
  uint32_t ReceivedMs;        // and milliseconds, 0 to 999 (the XML Timestamp shows them)
  bool HasSessionTime;        // Stop and Interim-Update: Acct-Session-Time is given
  uint32_t SessionTime;       // its seconds
  uint32_t InputOctets;       // Acct-Input-Octets, with the session time
  uint32_t OutputOctets;      // Acct-Output-Octets, with the session time
  AcctTerminateCause Cause;   // Stop: Acct-Terminate-Cause
  const char* Server;         // the accounting server's computer name (NPS formats)
};

// Room enough for one request in any format.
const size_t kAcctRequestTextMax = 8192;

#endif  // VELMAR_ACCOUNTING_REQUEST_H
