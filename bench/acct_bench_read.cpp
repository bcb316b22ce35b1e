// Reads every record of an accounting file (its kind told from its
// content, "-" standard input) and prints what it met:
// "records N lines N skipped N authentication N check N". With --lines it
// only walks the file's lines through the reader's block, the part of the
// work no line-by-line reader can do without, to show what is left for
// the parsing.
//   acct-bench-read [--lines] FILE
#include <cstdio>
#include <cstring>

#include "accounting/acct.h"
#include "accounting/acct_internal.h"

int main(int argc, char** argv) {
  bool linesOnly = argc == 3 && strcmp(argv[1], "--lines") == 0;
  if (argc != 2 && !linesOnly) {
    std::fprintf(stderr, "usage: %s [--lines] FILE\n", argv[0]);
    return 2;
  }
  static AcctReader reader;
  if (!AcctOpen(&reader, argv[argc - 1], kAcctAuto)) {
    std::fprintf(stderr, "%s\n", reader.Message);
    AcctClose(&reader);
    return 2;
  }
  AcctRecord rec;
  int got;
  unsigned long long check = 0;  // something of every record or line, so none goes unread
  if (linesOnly) {
    while ((got = AcctNextLine(&reader)) == 1)
      check += reader.LineLength > 0 ? static_cast<unsigned char>(reader.Line[0]) : 0;
    reader.Counts.Lines = reader.LineNumber;
  } else {
    while ((got = AcctRead(&reader, &rec)) == 1) check += rec.SessionTime + rec.PortLength;
  }
  if (got < 0) std::fprintf(stderr, "%s\n", reader.Message);
  unsigned long long skipped = 0;
  for (int i = 0; i < kSkipReasonCount; ++i) skipped += reader.Counts.Skipped[i];
  std::printf("records %llu lines %llu skipped %llu authentication %llu check %llu\n",
              static_cast<unsigned long long>(reader.Counts.Records),
              static_cast<unsigned long long>(reader.Counts.Lines), skipped,
              static_cast<unsigned long long>(reader.Counts.Authentication), check);
  AcctClose(&reader);
  return got < 0 ? 2 : 0;
}
