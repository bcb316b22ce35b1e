// The body of the accounting readers' fuzz targets: any bytes read as the
// target's kind and as whatever kind they look like. No crash, no hang, and
// every record handed out is one the contract allows: texts within their
// bounds, a NAS, a session id for session records, a time RADIUS can hold.
#ifndef VELMAR_TESTS_ACCOUNTING_FUZZ_ACCT_H
#define VELMAR_TESTS_ACCOUNTING_FUZZ_ACCT_H

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "accounting/acct.h"

inline void FuzzCheckRecord(const AcctRecord& r) {
  bool session = r.Status == kAcctStart || r.Status == kAcctStop || r.Status == kAcctInterim;
  bool known = session || r.Status == kAcctOn || r.Status == kAcctOff;
  if (!known || r.NasLength == 0 || r.NasLength > kAcctTextMax || r.PortLength > kAcctTextMax ||
      r.UserLength > kAcctTextMax || r.SessionIdLength > kAcctTextMax ||
      (session && r.SessionIdLength == 0) || r.Time < 0 || r.Time > 0xFFFFFFFFll ||
      r.Nas[r.NasLength] != '\0' || r.Port[r.PortLength] != '\0' || r.User[r.UserLength] != '\0' ||
      r.SessionId[r.SessionIdLength] != '\0' || r.Line == 0)
    __builtin_trap();
}

// Reads data as kind; every record, and the counts at the end, checked.
inline void FuzzRead(const uint8_t* data, size_t size, AcctKind kind) {
  static AcctReader reader;  // large; one per process is enough
  const char* bytes = size != 0 ? reinterpret_cast<const char*>(data) : "";
  if (!AcctOpenBytes(&reader, bytes, size, "fuzz", kind)) {
    AcctClose(&reader);
    return;
  }
  AcctRecord rec;
  uint64_t records = 0, lastLine = 0;
  while (AcctRead(&reader, &rec) == 1) {
    FuzzCheckRecord(rec);
    if (rec.Line <= lastLine && reader.Kind != kAcctDetail) __builtin_trap();
    lastLine = rec.Line;
    ++records;
  }
  const AcctCounts& c = reader.Counts;
  uint64_t handled = c.Records + c.Authentication + c.NotAccounting;
  for (int i = 0; i < kSkipReasonCount; ++i) handled += c.Skipped[i];
  if (records != c.Records || handled > c.Lines) __builtin_trap();
  AcctClose(&reader);
}

inline int FuzzAcct(const uint8_t* data, size_t size, AcctKind kind) {
  FuzzRead(data, size, kind);
  FuzzRead(data, size, kAcctAuto);
  return 0;
}

#endif  // VELMAR_TESTS_ACCOUNTING_FUZZ_ACCT_H
