// Reads every record of an accounting file (its kind told from its
// content, "-" standard input) and prints what it met:
// "records N lines N skipped N authentication N check N". With --lines it
// only walks the file's lines through the reader's block, the part of the
// work no line-by-line reader can do without, to show what is left for
// the parsing. With --dump it prints every record and every count, all
// bytes of every field, so that two builds of the reader can be compared
// byte for byte. With --csv it writes the records as CSV rows for an
// import into a database, the alternative the benchmark weighs.
//   acct-bench-read [--lines | --dump | --csv] [--input KIND] FILE
#include <cstdio>
#include <cstring>

#include "accounting/acct.h"
#include "accounting/acct_internal.h"

namespace {

enum Mode { kCount, kLines, kDump, kCsv };

const char* StatusName(AcctStatus s) {
  switch (s) {
    case kAcctStart:
      return "Start";
    case kAcctStop:
      return "Stop";
    case kAcctInterim:
      return "Interim";
    case kAcctOn:
      return "On";
    case kAcctOff:
      return "Off";
  }
  return "?";
}

// A text with every byte outside printable ASCII, and the backslash, as
// \xHH: a dump line is one line whatever the field holds.
void PutEscaped(const char* s, size_t n, FILE* out) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c > 0x7E || c == '\\')
      std::fprintf(out, "\\x%02X", c);
    else
      std::fputc(c, out);
  }
}

// A text as a CSV field: quoted, a quote doubled.
void PutCsv(const char* s, size_t n, FILE* out) {
  std::fputc('"', out);
  for (size_t i = 0; i < n; ++i) {
    if (s[i] == '"') std::fputc('"', out);
    std::fputc(s[i], out);
  }
  std::fputc('"', out);
}

void Dump(const AcctRecord& rec, FILE* out) {
  std::fprintf(out, "%llu %s nas=", static_cast<unsigned long long>(rec.Line),
               StatusName(rec.Status));
  PutEscaped(rec.Nas, rec.NasLength, out);
  std::fprintf(out, " from=%d port=", static_cast<int>(rec.NasFrom));
  PutEscaped(rec.Port, rec.PortLength, out);
  std::fputs(" user=", out);
  PutEscaped(rec.User, rec.UserLength, out);
  std::fputs(" id=", out);
  PutEscaped(rec.SessionId, rec.SessionIdLength, out);
  std::fprintf(out, " time=%lld from=%d session=%d/%lu delay=%lu\n",
               static_cast<long long>(rec.Time), static_cast<int>(rec.TimeFrom),
               rec.HasSessionTime ? 1 : 0, static_cast<unsigned long>(rec.SessionTime),
               static_cast<unsigned long>(rec.Delay));
}

// status,nas,port,user,session_id,time,session_time (empty when absent)
void Csv(const AcctRecord& rec, FILE* out) {
  std::fprintf(out, "%s,", StatusName(rec.Status));
  PutCsv(rec.Nas, rec.NasLength, out);
  std::fputc(',', out);
  PutCsv(rec.Port, rec.PortLength, out);
  std::fputc(',', out);
  PutCsv(rec.User, rec.UserLength, out);
  std::fputc(',', out);
  PutCsv(rec.SessionId, rec.SessionIdLength, out);
  std::fprintf(out, ",%lld,", static_cast<long long>(rec.Time));
  if (rec.HasSessionTime) std::fprintf(out, "%lu", static_cast<unsigned long>(rec.SessionTime));
  std::fputc('\n', out);
}

void DumpCounts(const AcctReader& r, int got, FILE* out) {
  const AcctCounts& c = r.Counts;
  std::fprintf(out, "end %d kind %s records %llu lines %llu authentication %llu other %llu\n", got,
               AcctKindName(r.Kind), static_cast<unsigned long long>(c.Records),
               static_cast<unsigned long long>(c.Lines),
               static_cast<unsigned long long>(c.Authentication),
               static_cast<unsigned long long>(c.NotAccounting));
  for (int i = 0; i < kSkipReasonCount; ++i)
    std::fprintf(out, "skip %d %llu first %llu\n", i, static_cast<unsigned long long>(c.Skipped[i]),
                 static_cast<unsigned long long>(c.FirstSkip[i]));
}

int Usage(const char* self) {
  std::fprintf(stderr, "usage: %s [--lines | --dump | --csv] [--input KIND] FILE\n", self);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Mode mode = kCount;
  AcctKind kind = kAcctAuto;
  int at = 1;
  for (; at < argc - 1; ++at) {
    if (strcmp(argv[at], "--lines") == 0)
      mode = kLines;
    else if (strcmp(argv[at], "--dump") == 0)
      mode = kDump;
    else if (strcmp(argv[at], "--csv") == 0)
      mode = kCsv;
    else if (strcmp(argv[at], "--input") == 0 && at + 2 < argc &&
             AcctKindFromName(argv[at + 1], &kind))
      ++at;
    else
      return Usage(argv[0]);
  }
  if (at != argc - 1) return Usage(argv[0]);
  static AcctReader reader;
  if (!AcctOpen(&reader, argv[at], kind)) {
    std::fprintf(stderr, "%s\n", reader.Message);
    if (mode == kDump) std::printf("open failed: %s\n", reader.Message);
    AcctClose(&reader);
    return 2;
  }
  AcctRecord rec;
  int got = 0;
  unsigned long long check = 0;  // something of every record or line, so none goes unread
  if (reader.Kind == kAcctEvt) {
    if (mode == kDump) std::printf("kind evt\n");
  } else if (mode == kLines) {
    while ((got = AcctNextLine(&reader)) == 1)
      check += reader.LineLength > 0 ? static_cast<unsigned char>(reader.Line[0]) : 0;
    reader.Counts.Lines = reader.LineNumber;
  } else if (mode == kDump) {
    while ((got = AcctRead(&reader, &rec)) == 1) Dump(rec, stdout);
    DumpCounts(reader, got, stdout);
  } else if (mode == kCsv) {
    while ((got = AcctRead(&reader, &rec)) == 1) Csv(rec, stdout);
  } else {
    while ((got = AcctRead(&reader, &rec)) == 1) check += rec.SessionTime + rec.PortLength;
  }
  if (got < 0) std::fprintf(stderr, "%s\n", reader.Message);
  unsigned long long skipped = 0;
  for (int i = 0; i < kSkipReasonCount; ++i) skipped += reader.Counts.Skipped[i];
  if (mode == kCount || mode == kLines)
    std::printf("records %llu lines %llu skipped %llu authentication %llu check %llu\n",
                static_cast<unsigned long long>(reader.Counts.Records),
                static_cast<unsigned long long>(reader.Counts.Lines), skipped,
                static_cast<unsigned long long>(reader.Counts.Authentication), check);
  AcctClose(&reader);
  return got < 0 ? 2 : 0;
}
