// Accounting logs as a source of sessions: the RADIUS accounting records
// that pools after NT write (FreeRADIUS and GNU Radius `detail` files, and
// the three Windows NPS/IAS log formats), read one record at a time into one
// common record. The reader decodes; it applies no session rule. Which
// record opens, closes or repeats a session is the caller's business.
//
// A reader reads its file once, forwards, in blocks of kAcctBlockSize bytes
// parsed in place: memory is one block and one record per open reader,
// whatever the size of the file or of its lines, and nothing is allocated
// per record. Standard input ("-") reads the same way, since the kind of a
// file is told from its first bytes.
//
// Damage never yields a misread record. A record that cannot be read whole
// and sure is skipped and counted by reason (AcctSkip), with the line of the
// first one; only a failed read of the input ends the reading.
//
// What a caller gets, and what is left to it:
//  - Records come in file order, which is the order the server received
//    them: event times within one NAS may go back (a delayed request), and
//    a request sent twice comes twice (same NAS, Acct-Session-Id, status
//    and time). Nothing is sorted, merged or dropped as a duplicate here.
//  - Every record has a NAS key and a time; Start, Stop and Interim-Update
//    have a session id; Accounting-On and -Off may have none, and any
//    record may name no port or no user ("").
//  - Event time, best first: Event-Timestamp in seconds (or a date text
//    that names UTC); the server's receive time in UTC less Acct-Delay-Time
//    (detail's Timestamp); detail's Event-Timestamp as a local date text;
//    the receive time in the server's local time less Acct-Delay-Time
//    (detail's header, nps and ias Record-Date and Record-Time, nps-xml's
//    Timestamp), turned into UTC in the zone of TZ (PlatformMakeLocalTime).
//    AcctRecord::TimeFrom says which one it was.
#ifndef VELMAR_ACCOUNTING_ACCT_H
#define VELMAR_ACCOUNTING_ACCT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

// ---- kinds of file ----

// What a file holds. The names are those of `--input KIND`.
enum AcctKind {
  kAcctAuto,    // not known yet: told from the content (AcctOpen only)
  kAcctEvt,     // "evt": a classic NT event log; read it with eventlog/
  kAcctDetail,  // "detail": FreeRADIUS or GNU Radius detail file
  kAcctNps,     // "nps": NPS/IAS database-compatible, 66 columns a line
  kAcctIas,     // "ias": IAS (legacy), attribute numbers and values
  kAcctNpsXml,  // "nps-xml": NPS DTS-compliant, one <Event> a line
  kAcctEmpty,   // nothing but blank lines: no record, whatever kind it was
};

// The name of a kind ("detail"); "auto" and "empty" for those two.
const char* AcctKindName(AcctKind kind);

// The kind named by text as `--input` takes it ("evt", "detail", "nps",
// "ias", "nps-xml"). Returns 1 with *kind set, else 0.
int AcctKindFromName(const char* text, AcctKind* kind);

// The kind of a file from its first n bytes (n may be less than the file):
// the .evt header signature; a line in `ctime` form followed by an indented
// "Attribute = value" line (detail); a CSV line of 66 fields whose second
// is "RAS" or "IAS" (nps); a CSV line whose fifth field is "RAS" or "IAS"
// after a date and a time, with attribute numbers in pairs after the sixth
// (ias); a line starting with "<Event>" (nps-xml). Blank lines and a UTF-8
// byte order mark before the first line are passed over; only blank lines
// gives kAcctEmpty. kAcctAuto when it is none of them; *gzip is set to 1
// when the bytes start as gzip does (1f 8b), else 0.
AcctKind AcctDetectKind(const char* bytes, size_t n, int* gzip);

// ---- the common record ----

// Acct-Status-Type values the reader hands on (RFC 2866 numbers).
enum AcctStatus {
  kAcctStart = 1,    // a session began ("Start")
  kAcctStop = 2,     // a session ended ("Stop"), with its connected seconds
  kAcctInterim = 3,  // a session goes on ("Interim-Update", once "Alive")
  kAcctOn = 7,       // the NAS started accounting: every session of it ended
  kAcctOff = 8,      // the NAS stops accounting: every session of it ends
};

// Which attribute gave the record's NAS key.
enum AcctNasFrom {
  kNasIpAddress,    // NAS-IP-Address (attribute 4), dotted decimal
  kNasIpv6Address,  // NAS-IPv6-Address (95), as written
  kNasIdentifier,   // NAS-Identifier (32)
};

// Where the record's event time came from, best first.
enum AcctTimeFrom {
  kTimeEventTimestamp,  // Event-Timestamp as seconds since 1970 UTC (or a date text in UTC)
  kTimeReceived,        // the server's receive time in UTC, minus Acct-Delay-Time
  kTimeEventLocal,      // detail: Event-Timestamp as a local date text
  kTimeReceivedLocal,   // the receive time in the server's local time, minus Acct-Delay-Time
};

// Texts longest an attribute holds (RFC 2865: 253 bytes of value).
const size_t kAcctTextMax = 253;

// One accounting record. The texts are NUL-terminated (a NUL inside one is
// kept, so use the lengths), hold the bytes as the file has them once
// unquoted (invalid UTF-8 included), and belong to the reader: good until
// the next AcctRead or AcctClose.
struct AcctRecord {
  AcctStatus Status;       // Start, Stop, Interim-Update, Accounting-On or -Off
  const char* Nas;         // NAS key: NAS-IP-Address, else NAS-IPv6-Address, else NAS-Identifier
  size_t NasLength;        // bytes of Nas, never 0
  AcctNasFrom NasFrom;     // which of the three it is
  const char* Port;        // NAS-Port-Id, else NAS-Port in decimal; "" when neither is there
  size_t PortLength;       // bytes of Port
  const char* User;        // User-Name; "" when absent
  size_t UserLength;       // bytes of User
  const char* SessionId;   // Acct-Session-Id (detail: else Acct-Unique-Session-Id); never ""
                           // for Start, Stop and Interim-Update
  size_t SessionIdLength;  // bytes of SessionId
  int64_t Time;            // the event's time, seconds since 1970 UTC (0 to 2^32 - 1)
  AcctTimeFrom TimeFrom;   // how Time was found
  bool HasSessionTime;     // Acct-Session-Time was there
  uint32_t SessionTime;    // its seconds (Stop and Interim-Update carry it)
  uint32_t Delay;          // Acct-Delay-Time, 0 when absent
  uint64_t Line;           // line of the file where the record starts, from 1
};

// Why records were skipped. Each is counted in AcctCounts, and the line of
// the first one kept.
enum AcctSkip {
  kSkipLongLine,     // a line longer than kAcctLineLimit (its record goes with it)
  kSkipTruncated,    // cut short: input ends inside the record or its line
  kSkipNoBlankLine,  // detail: the next record's header follows without a blank line
  kSkipBadLine,      // a line not of the format: detail header or attribute line, CSV or XML
  kSkipBadValue,     // a value the reader uses is of the wrong type or out of range
  kSkipRepeated,     // an attribute the reader uses is there twice (two records run together)
  kSkipBadStatus,    // Acct-Status-Type outside Start, Stop, Interim-Update, Accounting-On, -Off
  kSkipMissing,      // no NAS key, no event time, or no Acct-Session-Id for a session record
  kSkipReasonCount,  // number of reasons
};

// The fixed text of a reason, for a line on standard error ("a line longer
// than 65536 bytes").
const char* AcctSkipText(AcctSkip reason);

// What a reader has met so far.
struct AcctCounts {
  uint64_t Records;                      // records handed out
  uint64_t Authentication;               // authentication lines (NPS packet types 1 to 3)
  uint64_t NotAccounting;                // other records that are no accounting request
  uint64_t Skipped[kSkipReasonCount];    // damaged records by reason
  uint64_t FirstSkip[kSkipReasonCount];  // line of the first of each, 0 for none
  uint64_t Lines;                        // lines read
};

// ---- the reader ----

const size_t kAcctBlockSize = 1 << 20;  // bytes read at a time
const size_t kAcctLineLimit = 1 << 16;  // a longer line is skipped, never held whole
const size_t kAcctNameMax = 4096;       // bytes of a file name kept for messages

// The scratch of the record being read: what the attributes said so far.
// The reader's own; AcctRecord's texts point here.
struct AcctFields {
  char Ip[kAcctTextMax + 1];         // NAS-IP-Address
  size_t IpLength;                   // 0 when absent
  char Ipv6[kAcctTextMax + 1];       // NAS-IPv6-Address
  size_t Ipv6Length;                 // 0 when absent
  char Ident[kAcctTextMax + 1];      // NAS-Identifier
  size_t IdentLength;                // 0 when absent
  char PortId[kAcctTextMax + 1];     // NAS-Port-Id
  size_t PortIdLength;               // 0 when absent
  char PortNumber[12];               // NAS-Port in decimal, "" when absent
  char User[kAcctTextMax + 1];       // User-Name
  size_t UserLength;                 // 0 when absent
  char SessionId[kAcctTextMax + 1];  // Acct-Session-Id
  size_t SessionIdLength;            // 0 when absent
  char UniqueId[kAcctTextMax + 1];   // detail: Acct-Unique-Session-Id
  size_t UniqueIdLength;             // 0 when absent
  int Status;                        // Acct-Status-Type, -1 when absent
  int PacketType;                    // NPS/IAS Packet-Type, -1 when absent
  bool HasSessionTime;               // Acct-Session-Time was there
  uint32_t SessionTime;              // its value
  bool HasDelay;                     // Acct-Delay-Time was there
  uint32_t Delay;                    // its value
  bool HasEvent;                     // Event-Timestamp in UTC
  int64_t Event;                     // its seconds
  bool HasEventLocal;                // Event-Timestamp as a local date text (detail)
  int64_t EventLocal;                // its local seconds (as if the clock were UTC)
  bool HasReceived;                  // the receive time in UTC (detail Timestamp)
  int64_t Received;                  // its seconds
  bool HasReceivedLocal;             // the receive time in local time (header, Record-Date/Time)
  int64_t ReceivedLocal;             // its local seconds (as if the clock were UTC)
  uint32_t Seen;                     // bit per attribute met, to find one met twice
  int Damage;                        // the AcctSkip the record is damaged by, -1 when whole
};

// The last local-to-UTC answer, reused while the local minute is the same.
struct AcctZoneCache {
  bool Valid;      // Minute and Utc hold an answer
  int64_t Minute;  // local seconds of the minute asked, as if the clock were UTC
  int64_t Utc;     // the instant the local clock showed that minute
};

// One open accounting file. Its fields are the reader's; read Kind, Counts
// and Message.
struct AcctReader {
  char Name[kAcctNameMax];               // the path as given ("-" for standard input), for messages
  AcctKind Kind;                         // what the file holds, once open
  FILE* File;                            // the input, or null for bytes in memory
  bool OwnsFile;                         // File was opened here and is closed by AcctClose
  const char* Bytes;                     // bytes in memory not yet taken (AcctOpenBytes)
  size_t BytesLeft;                      // how many
  char* Block;                           // kAcctBlockSize + 1 bytes and a pad, zeroed at first
  size_t Pos;                            // next unread byte in Block
  size_t End;                            // bytes held in Block
  uint64_t Ends;                         // line ends past Pos in the 64 bytes before ScanAt
  size_t ScanAt;                         // where the search for line ends goes on
  bool AtEnd;                            // the input has no more bytes
  bool Skipping;                         // inside a line longer than kAcctLineLimit
  char* Line;                            // the current line in Block, CR LF or LF dropped (no NUL)
  size_t LineLength;                     // its bytes
  bool LineEnded;                        // it had its line end (not cut off by the end of input)
  bool LineLong;                         // it was too long: its text is gone, LineLength is 0
  uint64_t LineNumber;                   // number of the current line, from 1
  bool HaveLine;                         // detail: the current line is unhandled (read ahead)
  uint64_t RecordLine;                   // line where the record being read starts
  AcctFields Fields;                     // the record being read
  AcctZoneCache Zone;                    // local times turned into UTC
  AcctCounts Counts;                     // what was met
  char Message[2 * kAcctNameMax + 256];  // "NAME: line N: REASON" after a failure
};

// Opens the file at path ("-" is standard input) and tells its kind from
// the first bytes, or takes `kind` as it is when it is not kAcctAuto (but
// gzip is refused all the same).
// Returns 1 with r->Kind set: an accounting kind or kAcctEmpty, ready for
// AcctRead, or kAcctEvt, for the caller to read with the event log reader
// (nothing more is read here; from standard input it cannot be, since that
// reader needs a file it can seek in). Returns 0 with r->Message set when
// the file cannot be opened or read, is compressed with gzip (the message
// says how to pipe it in), or is of no kind known (the message names the
// kinds tried). Call AcctClose after either result.
int AcctOpen(AcctReader* r, const char* path, AcctKind kind);

// As AcctOpen over n bytes in memory, which must stay until AcctClose;
// name is used in messages.
int AcctOpenBytes(AcctReader* r, const char* bytes, size_t n, const char* name, AcctKind kind);

// Reads the next accounting record into *rec. Returns 1 with the record, 0
// at the end of the input, -1 with r->Message set when a read failed.
// Damaged records, authentication lines and other records that are no
// accounting request are passed over and counted in r->Counts.
int AcctRead(AcctReader* r, AcctRecord* rec);

// Closes what AcctOpen opened and frees the block; safe after a failed
// open and on a reader set to zeros.
void AcctClose(AcctReader* r);

#endif  // VELMAR_ACCOUNTING_ACCT_H
