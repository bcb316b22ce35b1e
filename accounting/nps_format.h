// The NPS/IAS database-compatible log ("ODBC" format), defined once for its
// reader (nps_read.cpp), its writer (nps_write.cpp) and the tests.
//
// One line per request, CR LF at its end, no header row: the 66 columns
// below in this order, separated by commas, text values in double quotes
// ("" for a quote inside), an absent value empty. Authentication requests
// (Packet-Type 1 to 3) share the file with accounting ones (4).
//
// Record-Date and Record-Time are the NPS server's local time
// ("06/18/2024", "14:45:48"; the date is read as month/day/year).
// Event time, best first: Event-Timestamp (seconds since 1970 UTC); the
// local Record-Date and Record-Time minus Acct-Delay-Time. The columns hold
// no NAS-IPv6-Address and no NAS-Port-Id: the NAS is NAS-IP-Address, else
// NAS-Identifier; the port is NAS-Port.
#ifndef VELMAR_ACCOUNTING_NPS_FORMAT_H
#define VELMAR_ACCOUNTING_NPS_FORMAT_H

#include <cstddef>

#include "accounting/request.h"

// The columns by index.
enum NpsColumn {
  kNpsComputerName = 0,                     // ComputerName
  kNpsServiceName = 1,                      // ServiceName
  kNpsRecordDate = 2,                       // Record-Date
  kNpsRecordTime = 3,                       // Record-Time
  kNpsPacketType = 4,                       // Packet-Type
  kNpsUserName = 5,                         // User-Name
  kNpsFullyQualifiedDistinguishedName = 6,  // Fully-Qualified-Distinguished-Name
  kNpsCalledStationId = 7,                  // Called-Station-ID
  kNpsCallingStationId = 8,                 // Calling-Station-ID
  kNpsCallbackNumber = 9,                   // Callback-Number
  kNpsFramedIpAddress = 10,                 // Framed-IP-Address
  kNpsNasIdentifier = 11,                   // NAS-Identifier
  kNpsNasIpAddress = 12,                    // NAS-IP-Address
  kNpsNasPort = 13,                         // NAS-Port
  kNpsClientVendor = 14,                    // Client-Vendor
  kNpsClientIpAddress = 15,                 // Client-IP-Address
  kNpsClientFriendlyName = 16,              // Client-Friendly-Name
  kNpsEventTimestamp = 17,                  // Event-Timestamp
  kNpsPortLimit = 18,                       // Port-Limit
  kNpsNasPortType = 19,                     // NAS-Port-Type
  kNpsConnectInfo = 20,                     // Connect-Info
  kNpsFramedProtocol = 21,                  // Framed-Protocol
  kNpsServiceType = 22,                     // Service-Type
  kNpsAuthenticationType = 23,              // Authentication-Type
  kNpsPolicyName = 24,                      // Policy-Name
  kNpsReasonCode = 25,                      // Reason-Code
  kNpsClass = 26,                           // Class
  kNpsSessionTimeout = 27,                  // Session-Timeout
  kNpsIdleTimeout = 28,                     // Idle-Timeout
  kNpsTerminationAction = 29,               // Termination-Action
  kNpsEapFriendlyName = 30,                 // EAP-Friendly-Name
  kNpsAcctStatusType = 31,                  // Acct-Status-Type
  kNpsAcctDelayTime = 32,                   // Acct-Delay-Time
  kNpsAcctInputOctets = 33,                 // Acct-Input-Octets
  kNpsAcctOutputOctets = 34,                // Acct-Output-Octets
  kNpsAcctSessionId = 35,                   // Acct-Session-Id
  kNpsAcctAuthentic = 36,                   // Acct-Authentic
  kNpsAcctSessionTime = 37,                 // Acct-Session-Time
  kNpsAcctInputPackets = 38,                // Acct-Input-Packets
  kNpsAcctOutputPackets = 39,               // Acct-Output-Packets
  kNpsAcctTerminateCause = 40,              // Acct-Terminate-Cause
  kNpsAcctMultiSsnId = 41,                  // Acct-Multi-Ssn-ID
  kNpsAcctLinkCount = 42,                   // Acct-Link-Count
  kNpsAcctInterimInterval = 43,             // Acct-Interim-Interval
  kNpsTunnelType = 44,                      // Tunnel-Type
  kNpsTunnelMediumType = 45,                // Tunnel-Medium-Type
  kNpsTunnelClientEndpt = 46,               // Tunnel-Client-Endpt
  kNpsTunnelServerEndpt = 47,               // Tunnel-Server-Endpt
  kNpsAcctTunnelConn = 48,                  // Acct-Tunnel-Conn
  kNpsTunnelPvtGroupId = 49,                // Tunnel-Pvt-Group-ID
  kNpsTunnelAssignmentId = 50,              // Tunnel-Assignment-ID
  kNpsTunnelPreference = 51,                // Tunnel-Preference
  kNpsMsAcctAuthType = 52,                  // MS-Acct-Auth-Type
  kNpsMsAcctEapType = 53,                   // MS-Acct-EAP-Type
  kNpsMsRasVersion = 54,                    // MS-RAS-Version
  kNpsMsRasVendor = 55,                     // MS-RAS-Vendor
  kNpsMsChapError = 56,                     // MS-CHAP-Error
  kNpsMsChapDomain = 57,                    // MS-CHAP-Domain
  kNpsMsMppeEncryptionTypes = 58,           // MS-MPPE-Encryption-Types
  kNpsMsMppeEncryptionPolicy = 59,          // MS-MPPE-Encryption-Policy
  kNpsProxyPolicyName = 60,                 // Proxy-Policy-Name
  kNpsProviderType = 61,                    // Provider-Type
  kNpsProviderName = 62,                    // Provider-Name
  kNpsRemoteServerAddress = 63,             // Remote-Server-Address
  kNpsMsRasClientName = 64,                 // MS-RAS-Client-Name
  kNpsMsRasClientVersion = 65,              // MS-RAS-Client-Version
  kNpsColumnCount = 66,                     // columns a line has
};
static_assert(kNpsMsRasClientVersion == kNpsColumnCount - 1, "every column has its index");

// The columns by name, in order.
inline const char* const kNpsColumnNames[kNpsColumnCount] = {
    "ComputerName",
    "ServiceName",
    "Record-Date",
    "Record-Time",
    "Packet-Type",
    "User-Name",
    "Fully-Qualified-Distinguished-Name",
    "Called-Station-ID",
    "Calling-Station-ID",
    "Callback-Number",
    "Framed-IP-Address",
    "NAS-Identifier",
    "NAS-IP-Address",
    "NAS-Port",
    "Client-Vendor",
    "Client-IP-Address",
    "Client-Friendly-Name",
    "Event-Timestamp",
    "Port-Limit",
    "NAS-Port-Type",
    "Connect-Info",
    "Framed-Protocol",
    "Service-Type",
    "Authentication-Type",
    "Policy-Name",
    "Reason-Code",
    "Class",
    "Session-Timeout",
    "Idle-Timeout",
    "Termination-Action",
    "EAP-Friendly-Name",
    "Acct-Status-Type",
    "Acct-Delay-Time",
    "Acct-Input-Octets",
    "Acct-Output-Octets",
    "Acct-Session-Id",
    "Acct-Authentic",
    "Acct-Session-Time",
    "Acct-Input-Packets",
    "Acct-Output-Packets",
    "Acct-Terminate-Cause",
    "Acct-Multi-Ssn-ID",
    "Acct-Link-Count",
    "Acct-Interim-Interval",
    "Tunnel-Type",
    "Tunnel-Medium-Type",
    "Tunnel-Client-Endpt",
    "Tunnel-Server-Endpt",
    "Acct-Tunnel-Conn",
    "Tunnel-Pvt-Group-ID",
    "Tunnel-Assignment-ID",
    "Tunnel-Preference",
    "MS-Acct-Auth-Type",
    "MS-Acct-EAP-Type",
    "MS-RAS-Version",
    "MS-RAS-Vendor",
    "MS-CHAP-Error",
    "MS-CHAP-Domain",
    "MS-MPPE-Encryption-Types",
    "MS-MPPE-Encryption-Policy",
    "Proxy-Policy-Name",
    "Provider-Type",
    "Provider-Name",
    "Remote-Server-Address",
    "MS-RAS-Client-Name",
    "MS-RAS-Client-Version",
};

// Values of ServiceName that mark the format's lines.
inline const char* const kNpsServiceRas = "RAS";  // logged by RRAS itself
inline const char* const kNpsServiceIas = "IAS";  // logged by NPS/IAS

// Writes q as one line of the format, CR LF included, into out (room for
// cap bytes). Record-Date and Record-Time show Received in local time
// (TZ). Returns the bytes written, 0 when it does not fit.
size_t NpsWrite(const AcctRequest* q, char* out, size_t cap);

#endif  // VELMAR_ACCOUNTING_NPS_FORMAT_H
