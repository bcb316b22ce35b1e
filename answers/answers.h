// The answers from the logs (info, sessions, users, busy, allbusy,
// capacity), shared by velmar-log's commands and the report's downloads:
// their settings, the table writer for text, CSV, JSON, NDJSON and SQL, the
// pool's lines from the port lists, and each answer's output. Failures go to standard error as
// "PROGRAM: PATH: REASON", PROGRAM as the settings name it, and end the
// answer with status 2.
#ifndef VELMAR_ANSWERS_ANSWERS_H
#define VELMAR_ANSWERS_ANSWERS_H

#include <cstdint>
#include <vector>

#include "accounting/acct.h"
#include "analytics/busy.h"
#include "analytics/filter.h"
#include "analytics/model.h"
#include "analytics/zone.h"
#include "answers/outbuf.h"

// Exit status of a failed answer: bad usage, a log that cannot be read, a
// port list that cannot be used, output that cannot be written.
const int kAnswerFailed = 2;

// Output formats.
enum AnswerFormat {
  kFormatText,    // aligned columns for a terminal
  kFormatCsv,     // RFC 4180, a header row, the same columns on every row
  kFormatJson,    // one document
  kFormatNdjson,  // one object per line (sessions, allbusy)
  kFormatSvg,     // a standalone chart (busy, charts/busychart.h)
  kFormatSql,     // a script of one table for sqlite3: CREATE TABLE, then INSERTs, one transaction
};

// The answer an AnswerOptions serves: a message may have to name it.
enum AnswerCommand {
  kAnswerInfo,      // info
  kAnswerSessions,  // sessions
  kAnswerUsers,     // users
  kAnswerBusy,      // busy
  kAnswerAllBusy,   // allbusy
  kAnswerCapacity,  // capacity
};

// The settings of one answering command.
struct AnswerOptions {
  std::vector<const char*> Logs;       // the .evt files and accounting logs ("-": standard input)
  AcctKind Input;                      // --input: the kind of every log, kAcctAuto to tell each
  EventTime Since;                     // --since, kAlways when not given
  EventTime Until;                     // --until, kForever when not given
  AnswerFormat Format;                 // --format
  bool Utc;                            // --utc: times in UTC
  AnswerCommand Command;               // the answer run
  bool Download;                       // the report's download: its range is the form's window
  BucketStep Step;                     // --step hour, day, week or month (weekhour is hour)
  bool WeekHour;                       // --step weekhour
  SessionFilter Filter;                // --user, --port: the sessions counted
  const char* Sort;                    // --sort: a column name; null for the answer's own order
  uint64_t Top;                        // --top: the first rows alone, 0 for all
  int64_t Lines;                       // the pool's lines N, 0 when unknown
  const char* LinesFrom;               // where N came from: "--lines", "--ports", "RasPorts.txt"
  std::vector<const char*> PortFiles;  // --ports
  std::vector<double> Targets;         // --target
  ZoneCache Zone;                      // the zone of every time
  const char* Program;                 // named at the start of every message
  bool Overflow;                       // set when busy needed more than kMaxBusyRows buckets
  bool Unopened;                       // set when a log could not be opened at all
};

// Sets opt to the defaults: no logs, no range (kAlways to kForever), text,
// the busy answer for velmar-log (not a download), local time, hourly
// buckets, every session, the answer's own order and every row, no lines
// known, targets 0.01, 0.02, 0.05, messages from "velmar-log". The zone cache is left for ZoneInit
// once TZ is settled.
void AnswerOptionsInit(AnswerOptions* opt);

// Finds the pool's lines N for busy and capacity when --lines did not give
// them: the sum of the lists opt->PortFiles, else of the RasPorts.txt lists
// beside the event logs (each server once; N stays unknown when a server
// has none, or when an accounting log is given). A list is a port list by
// the rules of RasPorts.txt, one port a line, or, when every line is a
// name and a number split by blanks ("192.0.2.1 8"), a list of NAS and
// their port counts, which add up. A list that can't be read, is empty or
// holds a blank line is a message and kAnswerFailed. Returns 0 otherwise.
int AnswerFindLines(AnswerOptions* opt);

// N for an answer over the one log opt->Logs[0], as AnswerFindLines finds
// it beside the logs: one log is one server, so the log itself is not
// opened for its computer. Unknown (0) when no RasPorts.txt lies beside it.
int AnswerLinesBesideLog(AnswerOptions* opt);

// ---- the table writer ----

// What a cell holds.
enum CellKind {
  kCellText,     // Text
  kCellInt,      // Int
  kCellReal,     // Real with Digits decimals
  kCellTime,     // Int as an ISO 8601 time with its offset
  kCellBool,     // Int: true or false
  kCellNull,     // nothing: empty in text and CSV, null in JSON and SQL
  kCellSeconds,  // Int, a duration in seconds: h:mm:ss in text (hours unbounded), else a number
};

struct Cell {
  CellKind Kind;     // what it holds
  const char* Text;  // kCellText
  int64_t Int;       // kCellInt, kCellTime, kCellBool
  double Real;       // kCellReal
  int Digits;        // decimals of a kCellReal
};

Cell TextCell(const char* text);
Cell IntCell(int64_t v);
Cell RealCell(double v, int digits);
Cell TimeCell(EventTime t);
Cell BoolCell(bool v);
Cell NullCell();
Cell SecondsCell(int64_t seconds);

// A column: its name (the CSV header, the JSON key, the SQL column), its
// text width and heading, and what its cells hold.
struct Column {
  const char* Name;     // also the text heading unless Heading is given
  int Width;            // text: padded to this many bytes (longer values push on)
  bool Right;           // text: aligned to the right (numbers)
  CellKind Kind;        // SQL: the column's type (a time is three columns); null cells aside
  const char* Heading;  // text: the heading with its unit ("time (h:mm:ss)"); null for Name
};

// Rows of one table on one output.
struct Table {
  OutBuf* Out;            // where it goes
  AnswerFormat Format;    // text, CSV, JSON (an array's elements), NDJSON or SQL
  const Column* Columns;  // the columns
  int Count;              // how many
  ZoneCache* Zone;        // for time cells
  const char* Name;       // SQL: the table's name
  uint64_t Rows;          // rows written so far
};

// Starts a table: the heading line in text, the header row in CSV; in SQL
// the transaction, then the table `name` made afresh (one of that name
// dropped first, so a second run gives the same database) with a column
// per Column, typed by its Kind: TEXT, INTEGER (also durations and
// booleans) or REAL, and for a time NAME (ISO 8601 text), NAME_epoch
// (seconds since 1970, INTEGER) and NAME_local (local time as
// "YYYY-MM-DD HH:MM:SS", which SQLite's date functions read as it
// stands). name may be null for the other formats.
void TableStart(Table* t, OutBuf* out, AnswerFormat format, const Column* columns, int count,
                ZoneCache* zone, const char* name);

// Writes one row of t->Count cells (an INSERT in SQL).
void TableRow(Table* t, const Cell* cells);

// Ends a table written whole: in SQL, commits the transaction. An answer
// that fails leaves it out, so sqlite3 keeps nothing of a table cut short.
// Nothing in the other formats.
void TableEnd(Table* t);

// Writes text as an SQL string that sqlite3 reads back as the same bytes:
// in single quotes, quotes doubled, when it is UTF-8 without control
// characters; else as CAST(X'...' AS TEXT), its bytes in hex, so that no
// byte of a name from a log can end the literal, the statement or a line.
void SqlString(OutBuf* o, const char* text);

// Writes a duration as h:mm:ss, hours unbounded, "-" before a negative
// one, at the end of out's size bytes (at least 24). Returns its start.
const char* ClockText(int64_t seconds, char* out, size_t size);

// The length of the UTF-8 character text starts with, 1 to 4 bytes; 0 when
// its bytes are no character of RFC 3629 (a stray continuation byte, an
// overlong form, a surrogate, a code point past U+10FFFF, a cut sequence).
int Utf8Length(const char* text);

// Writes text as a JSON string, quoted and escaped; a byte that is no part
// of a UTF-8 character becomes U+FFFD, so the document is always UTF-8.
void JsonString(OutBuf* o, const char* text);

// Writes a cell's value alone: in JSON form when json is set, else as text
// (a text cell as TerminalText has it when o->Terminal is set, a duration
// as h:mm:ss).
void CellValue(OutBuf* o, const Cell& c, ZoneCache* zone, bool json);

// Opens a JSON document whose first member is the list `name`
// ("{\n  \"name\": ["), and closes the list and the document.
void JsonListOpen(OutBuf* out, const char* name);
void JsonListClose(OutBuf* out);

// ---- --sort and --top ----

// Whether a comes before b in rows sorted by their column: numbers and
// durations most first, texts in byte order and times earliest first, an
// empty cell last. Equal cells say false: sort stably to keep the
// answer's own order among them.
bool CellBefore(const Cell& a, const Cell& b);

// The column opt->Sort names among columns into *column; -1 when no --sort
// was given (or it names the column whose order is the answer's own,
// ownOrder, -1 for none). Returns true, or false after saying on standard
// error that the answer has no such column, and which it has.
bool AnswerSortColumn(const AnswerOptions* opt, const Column* columns, int count, int ownOrder,
                      int* column);

// How many of n rows --top lets out: all of them, or opt->Top when fewer.
size_t AnswerShown(const AnswerOptions* opt, size_t n);

// ---- the commands' outputs (each returns the exit status) ----

// sessions: one row per session overlapping the range, streamed as they end.
int AnswerSessions(AnswerOptions* opt, OutBuf* out);
// users: per user over the sessions ending in the range.
int AnswerUsers(AnswerOptions* opt, OutBuf* out);
// info: per log its numbers, times, header state and counts; per
// accounting log what its reader met.
int AnswerInfo(AnswerOptions* opt, OutBuf* out);
// busy: the busy table, and the time at exactly k lines, in text, CSV,
// JSON or SQL (the chart is charts/busychart.h's).
int AnswerBusy(AnswerOptions* opt, OutBuf* out);
// allbusy: each interval with all the pool's lines in use, streamed in
// time order, and their total. Needs the pool's lines (opt->Lines):
// without them a message and kAnswerFailed.
int AnswerAllBusy(AnswerOptions* opt, OutBuf* out);
// capacity: the busy hour and Erlang B. Needs the pool's lines (opt->Lines):
// without them a message and kAnswerFailed.
int AnswerCapacity(AnswerOptions* opt, OutBuf* out);

// Runs the busy model over the logs into b (set up with the options'
// range, lines, session filter and the given step). Returns 0, or the exit
// status after a message; a range that needs more than kMaxBusyRows
// buckets also sets opt->Overflow, and is refused before any log is read
// when its length alone says so, with advice that fits opt->Command, its
// step and where its range came from.
int AnswerRunBusy(AnswerOptions* opt, BucketStep step, BusyModel* b);

// AnswerRunBusy over b once BusyInit has set it up, and the caller added
// what it wants told (b->Run).
int AnswerRunBusyModel(AnswerOptions* opt, BusyModel* b);

// Writes ",\n  \"name\": value" of a JSON document's members after its
// first.
void JsonMember(OutBuf* out, const char* name, const Cell& value, ZoneCache* zone);

// Runs the model over opt's logs for listener (facts, when not null,
// counted over opt's range), its warnings on standard error. Returns 0, or
// kAnswerFailed after the failure's message (opt->Unopened set when a log
// could not be opened at all).
int AnswerReadLogs(AnswerOptions* opt, ModelListener* listener, ModelFacts* facts);

// Says on standard error, as opt->Program, why the model failed. Returns
// kAnswerFailed.
int AnswerModelFailed(const AnswerOptions* opt, const ModelFailure* failure);

#endif  // VELMAR_ANSWERS_ANSWERS_H
