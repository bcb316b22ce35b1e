// The settings of one report run: their defaults, how the command line fills
// them, the steps common to every source of settings (default title, width
// bounds, the TZ assignment), and the usage text.
#ifndef VELMAR_DRIVER_OPTIONS_H
#define VELMAR_DRIVER_OPTIONS_H

#include <cstdint>
#include <cstdio>

// Widest column for a user name (and for a port column of the table).
#define MAX_WIDTH 20

// Longest TZ text that fits the assignment "TZ=%s" in its 80-byte buffer.
#define MAX_TZ_TEXT 76

// Settings of one run. Texts point into the argument vector (or the decoded
// form) and are never copied: their source outlives the run.
struct ReportOptions {
  int32_t Offset;            // days from today: 0 today, -1 yesterday
  const char* Date;          // "YYYY-MM-DD" that sets Offset as the run starts, or null
  const char* ComputerName;  // "\\NAME" as given, or null for the local computer
  const char* Title1;        // first title, or null
  const char* Title2;        // second title; "Velmar" when none is given
  int32_t Duration;          // window length in hours; 0 runs to the end of today
  int32_t Width;             // column width of user names, 1 to MAX_WIDTH
  const char* TZ;            // zone text for TZ, or null to keep the environment's
  bool Tabulated;            // one column per port instead of port/user/action
  bool GeneralStats;         // time with k lines in use
  bool PortStats;            // logins and busy time per port
  bool UserStats;            // connections and connected time per user
  bool Listing;              // the time-ordered listing itself
  bool Html;                 // an HTML page: outside texts are escaped (settings from a form)
};

// A number as atol reads it (blanks, sign, digits up to the first other
// character, 0 without digits; NumberAtol), held to the 32-bit range instead
// of overflowing. Used for every number setting, from any source.
int32_t ToInt32(const char* text);

// Sets every field to its default: offset 0, local computer, no titles,
// no date, duration 0, width 8, TZ untouched, only the listing on, plain
// text (no escaping).
void OptionsInit(ReportOptions* opts);

// Fills opts from the command line (argc >= 2). Argument 1 is the offset,
// converted as atol does whatever it looks like, unless it is written as a
// date (ArgumentIsDate), which then goes to Date; from argument 2 on:
// "+d", "+w", "+z" take the rest as duration, width, TZ; "+t", "+g", "+p",
// "+u" turn on their flag; "-l..." turns the listing off; "\\..." is the
// computer name (the last one counts); anything else fills Title1, then
// Title2. Any other option letter and surplus titles are ignored.
void OptionsFromArgs(ReportOptions* opts, int argc, char** argv);

// The steps after the settings are gathered, from any source: Title2
// defaults to "Velmar"; Width is brought into 1..MAX_WIDTH; a TZ text is put
// into the environment as "TZ=%s" through putenv (an empty text removes TZ,
// a text longer than MAX_TZ_TEXT is refused and the environment kept).
// Returns 1, or 0 when a TZ text was refused (the run goes on without it).
int OptionsFinish(ReportOptions* opts);

// Whether argument 1 of the command line is meant as a date rather than an
// offset: it starts with four digits and a '-' ("2026-12-01", also a
// malformed "2026-13-01" or "2026-2-3"). Such a text read as an offset
// would be thousands of days ahead.
bool ArgumentIsDate(const char* arg);

// Whether argument 1 of the command line can be read at all: an offset
// written as an optional sign and decimal digits ("1", "-1", "+2"), or a
// date (ArgumentIsDate). Anything else ("yesterday", "--help",
// "12/01/2026") would silently give some other report: the program shows
// its usage instead.
bool ArgumentIsOffsetOrDate(const char* arg);

// Writes the usage text to out with the program's name in it.
void WriteUsage(FILE* out, const char* programName);

// Whether the command line asks for the version alone: "--version" as its
// only argument. It names no report day, so it is no report.
bool ArgumentsAskVersion(int argc, char** argv);

// Writes "velmar VERSION" and a line end to out.
void WriteVersion(FILE* out);

#endif  // VELMAR_DRIVER_OPTIONS_H
