// Accounting records read into plain values, for tests that compare what a
// reader gives with what they expect: every record of some bytes as one
// line of text each, and the reader's counts.
#ifndef VELMAR_TESTS_SUPPORT_ACCTREAD_H
#define VELMAR_TESTS_SUPPORT_ACCTREAD_H

#include <string>
#include <vector>

#include "accounting/acct.h"

// What reading gave.
struct AcctResult {
  bool Opened = false;               // AcctOpenBytes succeeded
  AcctKind Kind = kAcctAuto;         // the kind it found (or was given)
  std::string Message;               // the failure's message, if any
  std::vector<std::string> Records;  // AcctText of each record
  AcctCounts Counts = {};            // the reader's counts at the end
  int End = 0;                       // AcctRead's last result: 0 the end, -1 a failure
};

// A record as one line: "LINE STATUS nas=NAS(FROM) port=PORT user=USER
// id=ID time=TIME(FROM) [session=SECONDS] [delay=SECONDS]", texts as they
// are (bytes below 0x20 and above 0x7E as \xHH).
std::string AcctText(const AcctRecord& rec);

// Reads every record of bytes (named "test") as the kind given or found.
AcctResult ReadAcct(const std::string& bytes, AcctKind kind = kAcctAuto);

// The records' texts without their line numbers, for comparing records
// read from files of different formats.
std::vector<std::string> WithoutLines(const std::vector<std::string>& records);

// The counts of skipped records as "reason=count@first" pieces, the reasons
// by their index, and "auth=N" and "other=N" when not 0; "" for none.
std::string SkipText(const AcctCounts& counts);

#endif  // VELMAR_TESTS_SUPPORT_ACCTREAD_H
