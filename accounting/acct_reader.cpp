// Opening an accounting file, telling its kind from the first block, and
// serving its lines from one block of kAcctBlockSize bytes: a line that
// runs past the block's end is moved to the front before the next read, and
// one longer than kAcctLineLimit is dropped as it streams by.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "accounting/acct.h"
#include "accounting/acct_internal.h"
#include "evt/evtformat.h"

namespace {

struct KindName {
  AcctKind Kind;     // the kind
  const char* Name;  // its name
};

const KindName kKindNames[] = {
    {kAcctAuto, "auto"}, {kAcctEvt, "evt"},        {kAcctDetail, "detail"}, {kAcctNps, "nps"},
    {kAcctIas, "ias"},   {kAcctNpsXml, "nps-xml"}, {kAcctEmpty, "empty"},
};

const char* const kTried = "evt, detail, nps, ias, nps-xml";

uint32_t Le32(const char* p) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  return static_cast<uint32_t>(u[0]) | static_cast<uint32_t>(u[1]) << 8 |
         static_cast<uint32_t>(u[2]) << 16 | static_cast<uint32_t>(u[3]) << 24;
}

// The line at s (n bytes left): its length without CR LF, whether its line
// end is among the n bytes, and in *step the bytes up to the next line.
size_t LineAt(const char* s, size_t n, bool* ended, size_t* step) {
  const char* nl = static_cast<const char*>(memchr(s, '\n', n));
  *ended = nl != nullptr;
  size_t len = nl != nullptr ? static_cast<size_t>(nl - s) : n;
  *step = nl != nullptr ? len + 1 : n;
  if (len > 0 && s[len - 1] == '\r') --len;
  return len;
}

// Is the line of a detail record's attribute: indented, "Name = value".
bool AttributeLine(const char* s, size_t n) {
  if (n == 0 || (s[0] != '\t' && s[0] != ' ')) return false;
  return memchr(s, '=', n) != nullptr;
}

AcctKind DetectLine(const char* s, size_t n, bool ended, const char* rest, size_t restLen) {
  static const char kEvent[] = "<Event>";
  if (n >= sizeof kEvent - 1 && memcmp(s, kEvent, sizeof kEvent - 1) == 0) return kAcctNpsXml;
  if (!ended) return kAcctAuto;
  int64_t local;
  if (DetailHeaderTime(s, n, &local)) {
    bool nextEnded;
    size_t step;
    size_t next = LineAt(rest, restLen, &nextEnded, &step);
    return AttributeLine(rest, next) ? kAcctDetail : kAcctAuto;
  }
  if (NpsLooksLike(s, n)) return kAcctNps;
  if (IasLooksLike(s, n)) return kAcctIas;
  return kAcctAuto;
}

int Fail(AcctReader* r, const char* reason) {
  snprintf(r->Message, sizeof r->Message, "%s: %s", r->Name, reason);
  return 0;
}

// Reads more bytes after Block[End]. Returns 1, or -1 with Message set.
int Fill(AcctReader* r) {
  size_t room = kAcctBlockSize - r->End;
  size_t got = 0;
  if (r->File != nullptr) {
    got = fread(r->Block + r->End, 1, room, r->File);
    if (got < room && ferror(r->File)) {
      int err = errno != 0 ? errno : EIO;
      snprintf(r->Message, sizeof r->Message, "%s: line %llu: %s", r->Name,
               static_cast<unsigned long long>(r->LineNumber + 1), strerror(err));
      return -1;
    }
    if (got < room) r->AtEnd = true;
  } else {
    got = r->BytesLeft < room ? r->BytesLeft : room;
    if (got > 0) memcpy(r->Block + r->End, r->Bytes, got);
    r->Bytes += got;
    r->BytesLeft -= got;
    if (r->BytesLeft == 0) r->AtEnd = true;
  }
  r->End += got;
  return 1;
}

// Sets the current line to n bytes at s (CR before the line end dropped).
void Deliver(AcctReader* r, char* s, size_t n, bool ended) {
  if (n > 0 && s[n - 1] == '\r') --n;
  r->Line = s;
  r->LineLength = n;
  r->LineEnded = ended;
  r->LineLong = false;
}

void DeliverLong(AcctReader* r, bool ended) {
  r->Line = r->Block;
  r->LineLength = 0;
  r->LineEnded = ended;
  r->LineLong = true;
  r->Skipping = false;
}

// Tells the kind from the first block (after a failed read, 0).
int Detect(AcctReader* r, AcctKind forced) {
  if (Fill(r) < 0) return 0;
  int gzip = 0;
  AcctKind kind = AcctDetectKind(r->Block, r->End, &gzip);
  // No text format starts as gzip does, so even a kind given is no reason
  // to read its bytes as lines.
  if (gzip) {
    const char* file = strcmp(r->Name, "-") == 0 ? "FILE" : r->Name;
    snprintf(r->Message, sizeof r->Message,
             "%s: compressed with gzip, which is not read here; "
             "pipe it in instead: zcat %s | velmar-log busy -",
             r->Name, file);
    return 0;
  }
  if (forced != kAcctAuto) {
    r->Kind = forced;
    return 1;
  }
  if (kind == kAcctEmpty && !r->AtEnd) kind = kAcctAuto;
  if (kind == kAcctAuto) {
    snprintf(r->Message, sizeof r->Message, "%s: not an accounting log nor an event log (tried %s)",
             r->Name, kTried);
    return 0;
  }
  r->Kind = kind;
  return 1;
}

void Init(AcctReader* r, const char* name) {
  memset(r, 0, sizeof *r);
  snprintf(r->Name, sizeof r->Name, "%s", name);
  r->Kind = kAcctAuto;
}

int Start(AcctReader* r, AcctKind kind) {
  // Zeroed whole: the words read past the bytes held (and never counted)
  // are bytes of some value, even before the first block fills it.
  r->Block = static_cast<char*>(calloc(kAcctBlockSize + 1 + kAcctBlockPad, 1));
  if (r->Block == nullptr) return Fail(r, strerror(ENOMEM));
  return Detect(r, kind);
}

// Makes the next line current; see AcctNextLineSlow.
int NextLine(AcctReader* r) {
  for (;;) {
    char* start = r->Block + r->Pos;
    size_t avail = r->End - r->Pos;
    char* nl = avail > 0 ? static_cast<char*>(memchr(start, '\n', avail)) : nullptr;
    if (nl != nullptr) {
      size_t len = static_cast<size_t>(nl - start);
      r->Pos += len + 1;
      ++r->LineNumber;
      if (r->Skipping || len > kAcctLineLimit)
        DeliverLong(r, true);
      else
        Deliver(r, start, len, true);
      return 1;
    }
    if (r->AtEnd) {
      if (avail == 0 && !r->Skipping) return 0;
      r->Pos = r->End;
      ++r->LineNumber;
      if (r->Skipping || avail > kAcctLineLimit)
        DeliverLong(r, false);
      else
        Deliver(r, start, avail, false);
      return 1;
    }
    // No line end in the block: keep the line's start, unless it is
    // already too long to keep at all.
    if (r->Skipping || avail > kAcctLineLimit) {
      r->Skipping = true;
      avail = 0;
    } else if (r->Pos > 0) {
      memmove(r->Block, start, avail);
    }
    r->Pos = 0;
    r->End = avail;
    if (Fill(r) < 0) return -1;
  }
}

}  // namespace

const char* AcctKindName(AcctKind kind) {
  for (const KindName& k : kKindNames)
    if (k.Kind == kind) return k.Name;
  return "auto";
}

int AcctKindFromName(const char* text, AcctKind* kind) {
  for (const KindName& k : kKindNames) {
    if (k.Kind == kAcctAuto || k.Kind == kAcctEmpty || strcmp(k.Name, text) != 0) continue;
    *kind = k.Kind;
    return 1;
  }
  return 0;
}

AcctKind AcctDetectKind(const char* bytes, size_t n, int* gzip) {
  *gzip = n >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
          static_cast<unsigned char>(bytes[1]) == 0x8B;
  if (*gzip) return kAcctAuto;
  if (n >= 8 && Le32(bytes) == kEvtHeaderSize && Le32(bytes + 4) == kEvtSignature) return kAcctEvt;
  size_t at = n >= 3 && memcmp(bytes, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  while (at < n) {
    bool ended;
    size_t step;
    size_t len = LineAt(bytes + at, n - at, &ended, &step);
    if (!AcctBlank(bytes + at, len))
      return DetectLine(bytes + at, len, ended, bytes + at + step, n - at - step);
    at += step;
  }
  return kAcctEmpty;
}

int AcctOpen(AcctReader* r, const char* path, AcctKind kind) {
  Init(r, path);
  if (strcmp(path, "-") == 0) {
    r->File = stdin;
  } else {
    r->File = fopen(path, "rb");
    if (r->File == nullptr) return Fail(r, strerror(errno));
    r->OwnsFile = true;
  }
  return Start(r, kind);
}

int AcctOpenBytes(AcctReader* r, const char* bytes, size_t n, const char* name, AcctKind kind) {
  Init(r, name);
  r->Bytes = bytes;
  r->BytesLeft = n;
  return Start(r, kind);
}

void AcctClose(AcctReader* r) {
  if (r->OwnsFile && r->File != nullptr) fclose(r->File);
  r->File = nullptr;
  r->OwnsFile = false;
  free(r->Block);
  r->Block = nullptr;
}

int AcctNextLineSlow(AcctReader* r) {
  int got = NextLine(r);
  r->Ends = 0;
  r->ScanAt = r->Pos;
  return got;
}

int AcctRead(AcctReader* r, AcctRecord* rec) {
  int got = 0;
  switch (r->Kind) {
    case kAcctDetail:
      got = DetailNext(r, rec);
      break;
    case kAcctNps:
      got = NpsNext(r, rec);
      break;
    case kAcctIas:
      got = IasNext(r, rec);
      break;
    case kAcctNpsXml:
      got = DtsNext(r, rec);
      break;
    default:
      break;
  }
  r->Counts.Lines = r->LineNumber;
  return got;
}
