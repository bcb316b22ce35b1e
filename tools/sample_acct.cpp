// velmar-log sample --format: the pool's traffic (tools/sample_sim.h) as
// its accounting server logs it. Each server is a NAS that sends a Start
// and a Stop per connection, Interim-Updates, an Accounting-On when it
// boots and an Accounting-Off when it shuts down cleanly; the NPS formats
// also log the authentication before each connection. What only accounting
// has is drawn from a generator of its own, so the traffic itself stays
// the .evt sample's: requests delayed by seconds (Acct-Delay-Time) and now
// and then sent twice, Starts that never arrive, and one NAS in two that
// sends no Event-Timestamp. Requests are written in the order received.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <vector>

#include "accounting/detail_format.h"
#include "accounting/dts_format.h"
#include "accounting/ias_format.h"
#include "accounting/nps_format.h"
#include "eventlog/rasevent.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "tools/logtool.h"
#include "tools/sample_sim.h"

namespace {

const int64_t kInterimAfter =
    600;  // an open session reports again at its NAS's next event after this
const char* const kServer = "NPS01";  // the accounting server's computer name
const char* const kPortsFile = "NasPorts.txt";
const size_t kOutBlock = 1 << 18;  // bytes written at a time

// One port of a NAS.
struct Line {
  bool Open;         // a session is on it
  char Id[12];       // its Acct-Session-Id
  char User[16];     // its user
  int64_t Since;     // its start
  uint32_t Rate;     // bytes a second it carries
  int64_t LastSent;  // time of its last request
};

// One server as a NAS.
struct Nas {
  char Ip[24];               // NAS-IP-Address: 192.0.2.n, a documentation address
  char Ident[24];            // NAS-Identifier: the server's computer name
  Line* Lines;               // its ports
  uint32_t NextId;           // the next session's number
  bool SendsEventTimestamp;  // a newer NAS; the older ones send none
};

// A request waiting for the moment it is received.
struct Pending {
  AcctRequest Q;     // its texts other than the NAS's are below
  uint64_t Seq;      // order of sending, for requests received together
  char User[16];     // User-Name, "" for none
  char Id[12];       // Acct-Session-Id
  char PortId[16];   // NAS-Port-Id, "" for none
  char Calling[16];  // Calling-Station-Id, "" for none
};

bool Later(const Pending& a, const Pending& b) {
  if (a.Q.Received != b.Q.Received) return a.Q.Received > b.Q.Received;
  if (a.Q.ReceivedMs != b.Q.ReceivedMs) return a.Q.ReceivedMs > b.Q.ReceivedMs;
  return a.Seq > b.Seq;
}

// The file being written, through a block.
struct FileOut {
  int Fd;       // the file
  uint64_t At;  // bytes written so far
  char* Block;  // kOutBlock bytes
  size_t Len;   // bytes held in Block
  int Failed;   // a write failed, with errno in Errno
  int Errno;    // errno of the failed write
};

// The accounting server.
struct AcctSink {
  uint64_t Rng;                                        // accounting's own draws
  Nas* Pool;                                           // one per server
  uint32_t Count;                                      // servers
  uint32_t Ports;                                      // ports of each
  std::vector<Pending> Heap;                           // requests not received yet
  uint64_t Seq;                                        // requests sent so far
  size_t (*Write)(const AcctRequest*, char*, size_t);  // the format's writer
  FileOut Out;                                         // the log
  char Text[kAcctRequestTextMax];                      // one request's text
};

void Flush(FileOut* o) {
  if (o->Failed || o->Len == 0) return;
  if (PlatformWriteAllAt(o->Fd, o->Block, o->Len, o->At) != 0) {
    o->Failed = 1;
    o->Errno = errno;
    return;
  }
  o->At += o->Len;
  o->Len = 0;
}

void Put(FileOut* o, const char* s, size_t n) {
  if (o->Len + n > kOutBlock) Flush(o);
  if (o->Failed) return;
  memcpy(o->Block + o->Len, s, n);
  o->Len += n;
}

// Writes the request received first.
void WriteFirst(AcctSink* s) {
  std::pop_heap(s->Heap.begin(), s->Heap.end(), Later);
  Pending& p = s->Heap.back();
  AcctRequest q = p.Q;
  q.User = p.User[0] != '\0' ? p.User : nullptr;
  q.SessionId = p.Id;
  q.PortId = p.PortId[0] != '\0' ? p.PortId : nullptr;
  q.Calling = p.Calling[0] != '\0' ? p.Calling : nullptr;
  size_t n = s->Write(&q, s->Text, sizeof s->Text);
  if (n > 0) Put(&s->Out, s->Text, n);
  s->Heap.pop_back();
}

// Writes what was received before t.
void Receive(AcctSink* s, int64_t t) {
  while (!s->Heap.empty() && s->Heap.front().Q.Received < t) WriteFirst(s);
}

// Whether the local clock changes its offset within two hours of t: a
// time written in local time there may be shown twice, so even an older
// NAS's request carries Event-Timestamp, and the sample's times stay
// exact.
bool NearClockChange(int64_t t) {
  struct tm before, after;
  if (!RasLocalTime(t - 7200, &before) || !RasLocalTime(t + 7200, &after)) return true;
  return before.tm_isdst != after.tm_isdst;
}

// A request of NAS k about line i at t (line null for the NAS as a whole).
Pending Request(AcctSink* s, uint32_t k, const Line* line, uint32_t i, int64_t t) {
  Pending p;
  memset(&p, 0, sizeof p);
  const Nas& nas = s->Pool[k];
  p.Q.Packet = kPacketAccountingRequest;
  p.Q.NasIp = nas.Ip;
  p.Q.NasIdentifier = nas.Ident;
  p.Q.Port = i + 1;
  p.Q.PortType = kPortAsync;
  p.Q.Event = t;
  p.Q.Server = kServer;
  snprintf(p.Id, sizeof p.Id, "00000000");
  if (line == nullptr) return p;
  snprintf(p.Id, sizeof p.Id, "%s", line->Id);
  snprintf(p.User, sizeof p.User, "%s", line->User);
  if (k % 2 == 0) snprintf(p.PortId, sizeof p.PortId, "Async1/%02u", i + 1);
  uint32_t h = 2166136261u;  // the user's phone number, from the name (FNV-1a)
  for (const char* c = line->User; *c != '\0'; ++c) h = (h ^ static_cast<uint8_t>(*c)) * 16777619u;
  snprintf(p.Calling, sizeof p.Calling, "65%08u", h % 100000000u);
  return p;
}

void Push(AcctSink* s, Pending* p, uint32_t delay) {
  p->Q.Delay = delay;
  p->Q.Received = p->Q.Event + delay;
  p->Q.ReceivedMs = SimBelow(&s->Rng, 1000);
  p->Seq = s->Seq++;
  s->Heap.push_back(*p);
  std::push_heap(s->Heap.begin(), s->Heap.end(), Later);
}

// Sends an accounting request: mostly received at once, some seconds
// late, now and then twice (the answer was lost, so the NAS sends it again
// with the delay so far).
void Send(AcctSink* s, uint32_t k, Pending* p) {
  uint32_t roll = SimBelow(&s->Rng, 100);
  uint32_t delay = roll < 85   ? 0
                   : roll < 97 ? SimBetween(&s->Rng, 1, 4)
                               : SimBetween(&s->Rng, 0, 2);
  bool stamp = s->Pool[k].SendsEventTimestamp || NearClockChange(p->Q.Event + delay);
  p->Q.SendEventTimestamp = stamp;
  Push(s, p, delay);
  if (roll >= 97) {
    uint32_t again = delay + SimBetween(&s->Rng, 3, 10);
    p->Q.SendEventTimestamp = stamp || NearClockChange(p->Q.Event + again);
    Push(s, p, again);
  }
}

void SessionTime(Pending* p, const Line* line, int64_t t) {
  int64_t seconds = t - line->Since;
  uint64_t in = static_cast<uint64_t>(seconds) * (line->Rate / 8 + 20);
  uint64_t out = static_cast<uint64_t>(seconds) * line->Rate;
  p->Q.HasSessionTime = true;
  p->Q.SessionTime = static_cast<uint32_t>(seconds);
  p->Q.InputOctets = static_cast<uint32_t>(in > 0xFFFFFFFFu ? 0xFFFFFFFFu : in);
  p->Q.OutputOctets = static_cast<uint32_t>(out > 0xFFFFFFFFu ? 0xFFFFFFFFu : out);
}

void Interim(AcctSink* s, uint32_t k, uint32_t i, int64_t t) {
  Line* line = &s->Pool[k].Lines[i];
  Pending p = Request(s, k, line, i, t);
  p.Q.Status = kAcctInterim;
  SessionTime(&p, line, t);
  line->LastSent = t;
  Send(s, k, &p);
}

// At an event of NAS k: the open sessions whose last report is old (all
// of them at an unrelated record) report now, but not the one on `except`.
void Interims(AcctSink* s, uint32_t k, int64_t t, bool all, uint32_t except) {
  for (uint32_t i = 0; i < s->Ports; ++i) {
    const Line& line = s->Pool[k].Lines[i];
    if (line.Open && i != except && line.LastSent < t &&
        (all || t - line.LastSent >= kInterimAfter))
      Interim(s, k, i, t);
  }
}

// The authentication before a connection (the nps formats log it): now
// and then a wrong password first.
void Authenticate(AcctSink* s, uint32_t k, const Line* line, uint32_t i, int64_t t) {
  bool rejected = SimBelow(&s->Rng, 25) == 0;
  AcctPacketType steps[] = {kPacketAccessRequest, kPacketAccessReject, kPacketAccessRequest,
                            kPacketAccessAccept};
  for (int n = rejected ? 0 : 2; n < 4; ++n) {
    Pending p = Request(s, k, line, i, t);
    p.Q.Packet = steps[n];
    p.Id[0] = '\0';
    Push(s, &p, 0);
  }
}

void Connect(AcctSink* s, const SimEvent* e) {
  Nas* nas = &s->Pool[e->Server];
  Line* line = &nas->Lines[e->Port];
  line->Open = true;
  snprintf(line->Id, sizeof line->Id, "%08X", nas->NextId++);
  snprintf(line->User, sizeof line->User, "%s", e->User);
  line->Since = line->LastSent = e->Time;
  line->Rate = e->Rate;
  Authenticate(s, e->Server, line, e->Port, e->Time);
  // A Start may be lost on the way; only one whose Stop will come, which
  // tells when the session began.
  if (e->EndsByDisconnect && SimBelow(&s->Rng, 40) == 0) return;
  Pending p = Request(s, e->Server, line, e->Port, e->Time);
  p.Q.Status = kAcctStart;
  Send(s, e->Server, &p);
}

void Disconnect(AcctSink* s, const SimEvent* e) {
  Line* line = &s->Pool[e->Server].Lines[e->Port];
  Pending p = Request(s, e->Server, line, e->Port, e->Time);
  p.Q.Status = kAcctStop;
  SessionTime(&p, line, e->Time);
  uint32_t why = SimBelow(&s->Rng, 20);
  p.Q.Cause = why == 0 ? kCauseIdleTimeout : why < 3 ? kCauseLostCarrier : kCauseUserRequest;
  line->Open = false;
  Send(s, e->Server, &p);
}

// Accounting-On at a boot, Accounting-Off two seconds after a clean
// shutdown's disconnects (when the .evt log says it stopped).
void NasState(AcctSink* s, uint32_t k, AcctStatus status, int64_t t) {
  Pending p = Request(s, k, nullptr, 0, t);
  p.Q.Status = status;
  Send(s, k, &p);
}

int AcctEvent(void* context, const SimEvent* e) {
  AcctSink* s = static_cast<AcctSink*>(context);
  Receive(s, e->Time);
  uint32_t k = e->Server, none = UINT32_MAX;
  switch (e->Kind) {
    case kSimBoot:
      Interims(s, k, e->Time, false, none);
      NasState(s, k, kAcctOn, e->Time);
      break;
    case kSimConnect:
      Interims(s, k, e->Time, false, e->Port);
      Connect(s, e);
      break;
    case kSimDisconnect:
      Interims(s, k, e->Time, false, e->Port);
      Disconnect(s, e);
      break;
    case kSimShutdown:
      NasState(s, k, kAcctOff, e->Time + 2);
      break;
    case kSimCrash:  // the sessions end without a word
      for (uint32_t i = 0; i < s->Ports; ++i) s->Pool[k].Lines[i].Open = false;
      break;
    case kSimCrashNoted:
      Interims(s, k, e->Time, false, none);
      break;
    case kSimChatter:
      Interims(s, k, e->Time, true, none);
      break;
  }
  return !s->Out.Failed;
}

// The file name of a format in the sample's folder.
const char* FileName(AcctKind kind) {
  switch (kind) {
    case kAcctDetail:
      return "detail";
    case kAcctNps:
      return "nps.log";
    case kAcctIas:
      return "ias.log";
    default:
      return "nps-xml.log";
  }
}

size_t (*WriterOf(AcctKind kind))(const AcctRequest*, char*, size_t) {
  switch (kind) {
    case kAcctDetail:
      return DetailWrite;
    case kAcctNps:
      return NpsWrite;
    case kAcctIas:
      return IasWrite;
    default:
      return DtsWrite;
  }
}

// The sink's pool. Returns 1, or 0 when out of memory.
int StartPool(AcctSink* s, const SampleOptions* opt) {
  s->Rng = opt->Seed ^ 0x6A09E667F3BCC909ull;  // accounting's draws leave the traffic's alone
  s->Count = opt->Servers;
  s->Ports = opt->Ports;
  s->Pool = static_cast<Nas*>(calloc(opt->Servers, sizeof(Nas)));
  s->Out.Block = static_cast<char*>(malloc(kOutBlock));
  if (s->Pool == nullptr || s->Out.Block == nullptr) return 0;
  for (uint32_t k = 0; k < opt->Servers; ++k) {
    Nas* nas = &s->Pool[k];
    snprintf(nas->Ip, sizeof nas->Ip, "192.0.2.%u", k + 1);
    snprintf(nas->Ident, sizeof nas->Ident, "RAS%02u", k + 1);
    nas->NextId = SimBetween(&s->Rng, 0x1000, 0xFFFFF) << 4;
    nas->SendsEventTimestamp = k % 2 == 0;
    nas->Lines = static_cast<Line*>(calloc(opt->Ports, sizeof(Line)));
    if (nas->Lines == nullptr) return 0;
  }
  return 1;
}

void ReleasePool(AcctSink* s) {
  if (s->Pool != nullptr)
    for (uint32_t k = 0; k < s->Count; ++k) free(s->Pool[k].Lines);
  free(s->Pool);
  free(s->Out.Block);
}

// Simulates the traffic into the open log. Returns 0, or 1 after a
// message.
int WriteLog(AcctSink* s, const SampleOptions* opt, const char* path) {
  SimSettings settings = {opt->Days, opt->Ports, opt->Servers, opt->Seed, opt->Now};
  SimSink to = {s, AcctEvent};
  int run = SimRun(&settings, &to);
  if (run < 0) return CommandFail("out of memory for", path, ENOMEM);
  while (!s->Heap.empty() && !s->Out.Failed) WriteFirst(s);
  Flush(&s->Out);
  if (s->Out.Failed) return CommandFail("can't write the log file", path, s->Out.Errno);
  return 0;
}

// Writes the "NAS PORTCOUNT" list. Returns 1, or 0 with errno set.
int WriteNasPorts(NewFile* file, const char* path, const AcctSink* s, int replace) {
  int fd = NewFileOpen(file, path, replace, 0666);
  if (fd < 0) return 0;
  uint64_t at = 0;
  for (uint32_t k = 0; k < s->Count; ++k) {
    char line[64];
    int n = snprintf(line, sizeof line, "%s %u\n", s->Pool[k].Ip, s->Ports);
    if (PlatformWriteAllAt(fd, line, static_cast<size_t>(n), at) != 0) {
      int err = errno;
      PlatformCloseFile(fd);
      errno = err;
      return 0;
    }
    at += static_cast<uint64_t>(n);
  }
  return PlatformCloseFile(fd) == 0;
}

// The two files of an accounting sample.
struct AcctFiles {
  char LogPath[4096];    // DIR/detail, ...
  char PortsPath[4096];  // DIR/NasPorts.txt
  NewFile Log;           // the log being written
  NewFile Ports;         // the list being written
};

int WriteFiles(AcctFiles* f, AcctSink* s, const SampleOptions* opt) {
  if (!WriteNasPorts(&f->Ports, f->PortsPath, s, opt->Replace))
    return CommandFail("can't write", f->PortsPath, errno);
  s->Out.Fd = NewFileOpen(&f->Log, f->LogPath, opt->Replace, 0644);
  if (s->Out.Fd < 0) return CommandFail("can't create the log file", f->LogPath, errno);
  int status = WriteLog(s, opt, f->LogPath);
  if (PlatformCloseFile(s->Out.Fd) != 0 && status == 0)
    status = CommandFail("can't write the log file", f->LogPath, errno);
  if (status != 0) return status;
  if (!NewFilePlace(&f->Log)) return CommandFail("can't put in place", f->LogPath, errno);
  if (!NewFilePlace(&f->Ports)) return CommandFail("can't put in place", f->PortsPath, errno);
  return 0;
}

}  // namespace

int AcctSample(const char* dir, const SampleOptions* opt) {
  AcctFiles* f = static_cast<AcctFiles*>(calloc(1, sizeof(AcctFiles)));
  AcctSink* s = new (std::nothrow) AcctSink();
  if (f == nullptr || s == nullptr) {
    free(f);
    delete s;
    return CommandFail("out of memory for", dir, ENOMEM);
  }
  s->Write = WriterOf(opt->Format);
  int status = 0;
  if (static_cast<size_t>(snprintf(f->LogPath, sizeof f->LogPath, "%s/%s", dir,
                                   FileName(opt->Format))) >= sizeof f->LogPath ||
      static_cast<size_t>(snprintf(f->PortsPath, sizeof f->PortsPath, "%s/%s", dir, kPortsFile)) >=
          sizeof f->PortsPath) {
    status = CommandFail("folder name too long:", dir, ENAMETOOLONG);
  } else if (!opt->Replace && RefuseExisting(f->LogPath) + RefuseExisting(f->PortsPath) != 0) {
    status = 1;  // both are checked, and each one found is named, before either is written
  } else if (!StartPool(s, opt)) {
    status = CommandFail("out of memory for", f->LogPath, ENOMEM);
  } else {
    status = WriteFiles(f, s, opt);
  }
  if (status != 0) {
    NewFileDiscard(&f->Log);
    NewFileDiscard(&f->Ports);
  }
  ReleasePool(s);
  delete s;
  free(f);
  return status;
}
