// velmar-log sample: simulates a dial-up server over the last days and writes
// its SYSTEM log and port list. Every port alternates idle and busy spells
// (busy hours in the day, connections of minutes to hours), the server
// reboots every few weeks (cleanly, or after a crash that leaves connections
// without a disconnect), and unrelated services log now and then. Events
// come out in time order from one seeded generator, so the same seed, clock
// and TZ give the same bytes.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "eventlog/logread.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/logdir.h"
#include "platform/zonefile.h"
#include "tools/evtwrite.h"
#include "tools/logtool.h"

namespace {

// Full event ids as the server stores them (severity bits included).
const uint32_t kIdConnect = 0x40000000u | 20017;      // RemoteAccess, informational
const uint32_t kIdDisconnect = 0x40000000u | 20050;   // RemoteAccess, informational
const uint32_t kIdLogStarted = 0x80000000u | 6005;    // EventLog
const uint32_t kIdLogStopped = 0x80000000u | 6006;    // EventLog
const uint32_t kIdUnexpected = 0x80000000u | 6008;    // EventLog, an error
const uint32_t kIdVersion = 0x80000000u | 6009;       // EventLog
const uint32_t kIdElection = 0x40000000u | 8033;      // BROWSER
const uint32_t kIdServiceSent = 0x40000000u | 7035;   // Service Control Manager
const uint32_t kIdServiceState = 0x40000000u | 7036;  // Service Control Manager
const uint32_t kIdPrinted = 10;                       // Print
const uint32_t kIdTimedOut = 0x80000000u | 3013;      // Rdr, a warning
const uint32_t kIdDiskFull = 0x80000000u | 2013;      // Srv, a warning
const uint32_t kIdNoDc = 0xC0000000u | 5719;          // NETLOGON, an error
const uint16_t kError = 1, kWarning = 2, kInformation = 4;

const char* const kComputer = "RAS01";
const char* const kDomain = "DIALUP";
const int64_t kNever = INT64_MAX;
const uint32_t kUserCount = 300;
const uint32_t kHeavyUsers = 30;  // dial in far more often than the rest

uint64_t NextRandom(uint64_t* state) {  // splitmix64
  uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint32_t Below(uint64_t* state, uint32_t n) {
  return (uint32_t)(((NextRandom(state) >> 32) * n) >> 32);
}

uint32_t Between(uint64_t* state, uint32_t lo, uint32_t hi) {
  return lo + Below(state, hi - lo + 1);
}

// One dial-up port.
struct Port {
  int64_t Next;       // time of its next connect (idle) or disconnect (busy)
  int Busy;           // a user is connected
  uint32_t User;      // who, when busy
  int64_t Since;      // when the user connected
  uint32_t Received;  // bytes a second the line carries in this connection
};

// The simulation.
struct Sim {
  uint64_t Rng;         // generator state
  EvtWriter W;          // the log being written
  Port* Ports;          // one per port
  uint32_t PortCount;   // ports
  char (*Users)[12];    // user names
  uint8_t* UserBusy;    // user is connected on some port
  int64_t Now;          // the end of the sample
  int64_t NextReboot;   // next shutdown
  int64_t NextChatter;  // next record of an unrelated service
  int Ok;               // no write has failed
};

// The server's local date and time texts ("12/8/2026", "9:05 AM").
struct LocalText {
  char Date[40];     // month/day/year
  char Time[40];     // hour:minutes AM/PM
  char Seconds[40];  // hour:minutes:seconds AM/PM
  int Hour;          // 0..23
};

void LocalTexts(int64_t t, LocalText* out) {
  struct tm tm;
  PlatformLocalTime((time_t)t, &tm);
  int h12 = tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12;
  const char* half = tm.tm_hour < 12 ? "AM" : "PM";
  snprintf(out->Date, sizeof out->Date, "%d/%d/%d", tm.tm_mon + 1, tm.tm_mday, tm.tm_year + 1900);
  snprintf(out->Time, sizeof out->Time, "%d:%02d %s", h12, tm.tm_min, half);
  snprintf(out->Seconds, sizeof out->Seconds, "%d:%02d:%02d %s", h12, tm.tm_min, tm.tm_sec, half);
  out->Hour = tm.tm_hour;
}

void Log(Sim* s, int64_t t, uint32_t id, uint16_t type, const char* source,
         const char* const* strings, uint16_t n, const uint8_t* data = nullptr,
         uint32_t dataLength = 0) {
  EvtRecordIn r = {(uint32_t)t, (uint32_t)t, id,      type, 0,    source,    kComputer,
                   strings,     n,           nullptr, 0,    data, dataLength};
  if (s->Ok && !EvtWriterAdd(&s->W, &r)) s->Ok = 0;
}

// ---- traffic ----

// Idle time before the next call on a free port, by the hour of the day:
// quiet at night, busiest mornings, afternoons and evenings.
uint32_t IdleGap(Sim* s, int64_t t) {
  static const char kHourClass[] = "NNNNNNNSSBBBMBBBBMSSBBBM";
  static const uint32_t kRange[4][2] = {{40, 200}, {10, 45}, {6, 35}, {1, 18}};
  LocalText lt;
  LocalTexts(t, &lt);
  const char* cls = "NSMB";
  int c = (int)(strchr(cls, kHourClass[lt.Hour]) - cls);
  return Between(&s->Rng, kRange[c][0] * 60, kRange[c][1] * 60);
}

// Length of one connection: mostly minutes, some an hour, a few several.
uint32_t CallLength(Sim* s) {
  uint32_t kind = Below(&s->Rng, 100);
  if (kind < 50) return Between(&s->Rng, 60, 900);
  if (kind < 85) return Between(&s->Rng, 900, 3600);
  return Between(&s->Rng, 3600, 14400);
}

// A user who is not connected elsewhere (any user when all are).
uint32_t PickUser(Sim* s) {
  for (int tries = 0; tries < 8; ++tries) {
    uint32_t u = Below(&s->Rng, 3) == 0 ? Below(&s->Rng, kHeavyUsers) : Below(&s->Rng, kUserCount);
    if (!s->UserBusy[u]) return u;
  }
  uint32_t start = Below(&s->Rng, kUserCount);
  for (uint32_t i = 0; i < kUserCount; ++i)
    if (!s->UserBusy[(start + i) % kUserCount]) return (start + i) % kUserCount;
  return start;
}

void PortName(uint32_t index, char* out, size_t size) {
  snprintf(out, size, "COM%u", index + 1);
}

void Connect(Sim* s, uint32_t i, int64_t t) {
  Port* p = &s->Ports[i];
  char port[16];
  PortName(i, port, sizeof port);
  p->Busy = 1;
  p->User = PickUser(s);
  p->Since = t;
  p->Received = Between(&s->Rng, 200, 3000);
  p->Next = t + CallLength(s);
  s->UserBusy[p->User] = 1;
  const char* strings[] = {kDomain, s->Users[p->User], port};
  Log(s, t, kIdConnect, kInformation, "RemoteAccess", strings, 3);
}

void Disconnect(Sim* s, uint32_t i, int64_t t) {
  Port* p = &s->Ports[i];
  LocalText from, to;
  LocalTexts(p->Since, &from);
  LocalTexts(t, &to);
  int64_t seconds = t - p->Since;
  char port[16], minutes[24], secs[8], sent[24], received[24];
  PortName(i, port, sizeof port);
  snprintf(minutes, sizeof minutes, "%lld", (long long)(seconds / 60));
  snprintf(secs, sizeof secs, "%lld", (long long)(seconds % 60));
  snprintf(sent, sizeof sent, "%lld", (long long)(seconds * (p->Received / 8 + 20)));
  snprintf(received, sizeof received, "%lld", (long long)(seconds * p->Received));
  const char* strings[] = {kDomain, s->Users[p->User], port, from.Date, from.Time, to.Date,
                           to.Time, minutes,           secs, sent,      received};
  Log(s, t, kIdDisconnect, kInformation, "RemoteAccess", strings, 11);
  s->UserBusy[p->User] = 0;
  p->Busy = 0;
  p->Next = t + IdleGap(s, t);
}

// ---- reboots ----

void Boot(Sim* s, int64_t t) {
  static const char* const version[] = {"4.00", "1381", "Service Pack 6", "Uniprocessor Free"};
  Log(s, t, kIdVersion, kInformation, "EventLog", version, 4);
  Log(s, t, kIdLogStarted, kInformation, "EventLog", nullptr, 0);
  for (uint32_t i = 0; i < s->PortCount; ++i) s->Ports[i].Next = t + IdleGap(s, t);
}

// Ends every connection: a clean shutdown logs the disconnects, a crash
// loses them. Returns when the server is back (or past the end).
void Reboot(Sim* s, int64_t t) {
  int crash = Below(&s->Rng, 4) == 0;
  for (uint32_t i = 0; i < s->PortCount; ++i) {
    if (!s->Ports[i].Busy) continue;
    if (crash) {
      s->UserBusy[s->Ports[i].User] = 0;
      s->Ports[i].Busy = 0;
    } else {
      Disconnect(s, i, t);
    }
  }
  if (!crash) {
    static const char* const net[] = {"\\Device\\NetBT_E100B1"};
    if (Below(&s->Rng, 2) == 0) Log(s, t, kIdElection, kInformation, "BROWSER", net, 1);
    Log(s, t + 2, kIdLogStopped, kInformation, "EventLog", nullptr, 0);
  }
  int64_t back = t + Between(&s->Rng, crash ? 120 : 90, crash ? 1800 : 600);
  for (uint32_t i = 0; i < s->PortCount; ++i) s->Ports[i].Next = kNever;
  s->NextReboot = s->NextChatter = kNever;
  if (back > s->Now) return;
  if (crash) {
    LocalText lt;
    LocalTexts(t, &lt);
    const char* when[] = {lt.Seconds, lt.Date};
    Log(s, back, kIdUnexpected, kError, "EventLog", when, 2);
  }
  Boot(s, back);
  s->NextReboot = back + (int64_t)Between(&s->Rng, 10, 30) * 86400 + Below(&s->Rng, 86400);
  s->NextChatter = back + Between(&s->Rng, 60, 1800);
}

// ---- unrelated services ----

void Chatter(Sim* s, int64_t t) {
  static const char* const services[] = {"Spooler", "Messenger", "Remote Access Server", "Schedule",
                                         "Computer Browser"};
  uint32_t kind = Below(&s->Rng, 10);
  const char* service = services[Below(&s->Rng, 5)];
  if (kind < 4) {
    const char* sent[] = {service, kind < 2 ? "start" : "stop"};
    const char* state[] = {service, kind < 2 ? "running" : "stopped"};
    Log(s, t, kIdServiceSent, kInformation, "Service Control Manager", sent, 2);
    Log(s, t, kIdServiceState, kInformation, "Service Control Manager", state, 2);
  } else if (kind < 7) {
    char job[12], bytes[16], pages[8];
    snprintf(job, sizeof job, "%u", Between(&s->Rng, 1, 999));
    snprintf(bytes, sizeof bytes, "%u", Between(&s->Rng, 2000, 900000));
    snprintf(pages, sizeof pages, "%u", Between(&s->Rng, 1, 40));
    const char* printed[] = {job,
                             "Microsoft Word - report.doc",
                             s->Users[Below(&s->Rng, kUserCount)],
                             "LaserJet",
                             "LPT1:",
                             bytes,
                             pages};
    Log(s, t, kIdPrinted, kInformation, "Print", printed, 7);
  } else if (kind == 7) {
    const char* server[] = {"\\\\FILES01"};
    Log(s, t, kIdTimedOut, kWarning, "Rdr", server, 1);
  } else if (kind == 8) {
    static const uint8_t dump[24] = {0, 0, 4, 0, 1, 0, 0x54, 0, 0, 0, 0, 0, 0xDD, 7, 0, 0x80};
    const char* disk[] = {"D:"};
    Log(s, t, kIdDiskFull, kWarning, "Srv", disk, 1, dump, sizeof dump);
  } else {
    const char* domain[] = {kDomain};
    Log(s, t, kIdNoDc, kError, "NETLOGON", domain, 1);
  }
  s->NextChatter = t + Between(&s->Rng, 1800, 6 * 3600);
}

// ---- the run ----

void MakeUsers(Sim* s) {
  static const char* const surnames[] = {
      "tan",   "lim",   "lee",   "ng",     "ong",    "wong",   "goh",   "chua",  "chan",  "koh",
      "teo",   "ang",   "yeo",   "tay",    "ho",     "low",    "toh",   "sim",   "chong", "chia",
      "smith", "jones", "brown", "taylor", "wilson", "evans",  "white", "moore", "clark", "hall",
      "kumar", "singh", "raj",   "menon",  "nair",   "pillai", "das",   "iyer",  "rao",   "shah"};
  const uint32_t nSurnames = sizeof surnames / sizeof surnames[0];
  uint8_t taken[26 * 40 * 10] = {0};
  for (uint32_t u = 0; u < kUserCount; ++u) {
    uint32_t pick;
    do pick = Below(&s->Rng, 26 * nSurnames * 10);
    while (taken[pick]);
    taken[pick] = 1;
    uint32_t digit = pick % 10, initial = pick / 10 % 26, surname = pick / 260;
    if (digit < 7)  // most names have no number
      snprintf(s->Users[u], sizeof s->Users[u], "%c%s", 'a' + initial, surnames[surname]);
    else
      snprintf(s->Users[u], sizeof s->Users[u], "%c%s%u", 'a' + initial, surnames[surname], digit);
  }
}

// The event due first: a port (index), or -1 a reboot, -2 an unrelated record.
int64_t NextEvent(const Sim* s, int* which) {
  int64_t best = s->NextChatter;
  *which = -2;
  if (s->NextReboot < best) best = s->NextReboot, *which = -1;
  for (uint32_t i = 0; i < s->PortCount; ++i)
    if (s->Ports[i].Next < best) best = s->Ports[i].Next, *which = (int)i;
  return best;
}

void Run(Sim* s, int64_t start) {
  Boot(s, start);
  s->NextReboot = start + (int64_t)Between(&s->Rng, 3, 30) * 86400 + Below(&s->Rng, 86400);
  s->NextChatter = start + Between(&s->Rng, 60, 3600);
  int which;
  int64_t t;
  while (s->Ok && (t = NextEvent(s, &which)) <= s->Now) {
    if (which == -2)
      Chatter(s, t);
    else if (which == -1)
      Reboot(s, t);
    else if (s->Ports[which].Busy)
      Disconnect(s, (uint32_t)which, t);
    else
      Connect(s, (uint32_t)which, t);
  }
}

// The port list's text, COM1..COMn a line each, into out. Returns its
// length.
size_t PortListText(uint32_t ports, char* out, size_t size) {
  size_t n = 0;
  for (uint32_t i = 0; i < ports && n < size; ++i)
    n += (size_t)snprintf(out + n, size - n, "COM%u\n", i + 1);
  return n < size ? n : size;
}

// Writes the port list into its new file. Returns 1, or 0 with errno set.
int WritePorts(NewFile* file, const char* path, uint32_t ports, int replace) {
  char text[256 * 8];  // at most 256 ports of "COMnnn\n"
  size_t n = PortListText(ports, text, sizeof text);
  int fd = NewFileOpen(file, path, replace, 0666);
  if (fd < 0) return 0;
  if (PlatformWriteAllAt(fd, text, n, 0) != 0) {
    int err = errno;
    PlatformCloseFile(fd);
    errno = err;
    return 0;
  }
  return PlatformCloseFile(fd) == 0;
}

// The two files of a sample and where they go.
struct SampleFiles {
  char LogPath[4096];    // DIR/SysEvent.Evt
  char PortsPath[4096];  // DIR/RasPorts.txt
  NewFile Log;           // the log being written
  NewFile Ports;         // the port list being written
};

// Simulates the traffic into the log file. Returns 0, or 1 after a message.
int WriteLog(SampleFiles* files, const SampleOptions* opt) {
  Sim s;
  memset(&s, 0, sizeof s);
  s.Rng = opt->Seed;
  s.Now = opt->Now;
  s.PortCount = opt->Ports;
  s.Ok = 1;
  s.Ports = (Port*)calloc(opt->Ports, sizeof(Port));
  s.Users = (char(*)[12])calloc(kUserCount, sizeof *s.Users);
  s.UserBusy = (uint8_t*)calloc(kUserCount, 1);
  int status = 0, fd = -1;
  const char* logPath = files->LogPath;
  if (s.Ports == nullptr || s.Users == nullptr || s.UserBusy == nullptr) {
    status = CommandFail("out of memory for", logPath, ENOMEM);
  } else if ((fd = NewFileOpen(&files->Log, logPath, opt->Replace, 0644)) < 0) {
    status = CommandFail("can't create the log file", logPath, errno);
  } else if (!EvtWriterStart(&s.W, fd, 0, kEvtHeaderSize, 1)) {
    status = CommandFail(s.W.Message, logPath, s.W.Errno);
  } else {
    MakeUsers(&s);
    Run(&s, opt->Now - (int64_t)opt->Days * 86400);
    if (!EvtWriterClose(&s.W) || !s.Ok) status = CommandFail(s.W.Message, logPath, s.W.Errno);
  }
  free(s.Ports);
  free(s.Users);
  free(s.UserBusy);
  return status;
}

// Writes both files and puts them in place. Returns 0, or 1 after a message.
int WriteSample(SampleFiles* files, const SampleOptions* opt) {
  if (!WritePorts(&files->Ports, files->PortsPath, opt->Ports, opt->Replace))
    return CommandFail("can't write", files->PortsPath, errno);
  int status = WriteLog(files, opt);
  if (status != 0) return status;
  if (!NewFilePlace(&files->Log)) return CommandFail("can't put in place", files->LogPath, errno);
  if (!NewFilePlace(&files->Ports))
    return CommandFail("can't put in place", files->PortsPath, errno);
  return 0;
}

}  // namespace

void WarnMissingZone(const char* tz) {
  if (PlatformZoneFileMissing(tz))
    fprintf(stderr, "velmar-log: TZ=%s: no such zone file; the C library takes it as UTC\n", tz);
}

int LogSample(const char* dir, const SampleOptions* opt) {
  if (getenv("TZ") == nullptr) PlatformSetEnv("TZ", DEFAULT_TZ);  // the report's own default zone
  PlatformReadZone();
  WarnMissingZone(getenv("TZ"));
  SampleFiles* files = (SampleFiles*)calloc(1, sizeof(SampleFiles));
  if (files == nullptr) return CommandFail("out of memory for", dir, ENOMEM);
  NewFilesGuard();
  int status = 0, madeDir = PlatformMakeFolder(dir) == 0;
  if (!madeDir && errno != EEXIST) {
    status = CommandFail("can't make", dir, errno);
  } else if ((size_t)snprintf(files->LogPath, sizeof files->LogPath, "%s/%s", dir,
                              kSystemLogFile) >= sizeof files->LogPath ||
             (size_t)snprintf(files->PortsPath, sizeof files->PortsPath, "%s/%s", dir,
                              kPortListFile) >= sizeof files->PortsPath) {
    status = CommandFail("folder name too long:", dir, ENAMETOOLONG);
  } else if (!opt->Replace &&
             RefuseExisting(files->LogPath) + RefuseExisting(files->PortsPath) != 0) {
    status = 1;  // both are checked, and each one found is named, before either is written
  } else {
    status = WriteSample(files, opt);
  }
  // A failed sample leaves nothing of its own: not a file, nor the folder
  // it made (which is empty again then).
  if (status != 0) {
    NewFileDiscard(&files->Log);
    NewFileDiscard(&files->Ports);
    if (madeDir) PlatformRemoveFolder(dir);
  }
  NewFilesUnguard();
  free(files);
  return status;
}
