// Reads every record of an accounting file (its kind told from its
// content, "-" standard input) and prints what it met:
// "records N lines N skipped N authentication N".
//   acct-bench-read FILE
#include <cstdio>

#include "accounting/acct.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  static AcctReader reader;
  if (!AcctOpen(&reader, argv[1], kAcctAuto)) {
    std::fprintf(stderr, "%s\n", reader.Message);
    AcctClose(&reader);
    return 2;
  }
  AcctRecord rec;
  int got;
  unsigned long long sessionSeconds = 0;  // something of every record, so none is skipped unread
  while ((got = AcctRead(&reader, &rec)) == 1) sessionSeconds += rec.SessionTime + rec.PortLength;
  if (got < 0) std::fprintf(stderr, "%s\n", reader.Message);
  unsigned long long skipped = 0;
  for (int i = 0; i < kSkipReasonCount; ++i) skipped += reader.Counts.Skipped[i];
  std::printf("records %llu lines %llu skipped %llu authentication %llu check %llu\n",
              static_cast<unsigned long long>(reader.Counts.Records),
              static_cast<unsigned long long>(reader.Counts.Lines), skipped,
              static_cast<unsigned long long>(reader.Counts.Authentication), sessionSeconds);
  AcctClose(&reader);
  return got < 0 ? 2 : 0;
}
