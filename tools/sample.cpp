// velmar-log sample: the pool's traffic (tools/sample_sim.h) written as each
// server's SYSTEM log and port list, the records a server of that time
// writes for each event. Without --format, and with one server, these are
// the bytes the sample always wrote; the accounting formats go to
// sample_acct.cpp.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "eventlog/logread.h"
#include "eventlog/rasevent.h"
#include "logfolder/logdir.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/zonefile.h"
#include "tools/evtwrite.h"
#include "tools/logtool.h"
#include "tools/sample_sim.h"

namespace {

// Full event ids as the server stores them (severity bits included); the
// report and the answers handle the RAS codes among them.
const uint32_t kIdConnect = 0x40000000u | EVENT_CONNECT;         // RemoteAccess, informational
const uint32_t kIdDisconnect = 0x40000000u | EVENT_DISCONNECT;   // RemoteAccess, informational
const uint32_t kIdLogStarted = 0x80000000u | EVENT_RESET_START;  // EventLog
const uint32_t kIdLogStopped = 0x80000000u | 6006;               // EventLog
const uint32_t kIdUnexpected = 0x80000000u | 6008;               // EventLog, an error
const uint32_t kIdVersion = 0x80000000u | 6009;                  // EventLog
const uint32_t kIdElection = 0x40000000u | EVENT_RESET_8033;     // BROWSER
const uint32_t kIdServiceSent = 0x40000000u | 7035;              // Service Control Manager
const uint32_t kIdServiceState = 0x40000000u | 7036;             // Service Control Manager
const uint32_t kIdPrinted = 10;                                  // Print
const uint32_t kIdTimedOut = 0x80000000u | 3013;                 // Rdr, a warning
const uint32_t kIdDiskFull = 0x80000000u | 2013;                 // Srv, a warning
const uint32_t kIdNoDc = 0xC0000000u | 5719;                     // NETLOGON, an error
const uint16_t kError = 1, kWarning = 2, kInformation = 4;

const char* const kDomain = "DIALUP";

// The server's local date and time texts ("12/8/2026", "9:05 AM").
struct LocalText {
  char Date[40];     // month/day/year
  char Time[40];     // hour:minutes AM/PM
  char Seconds[40];  // hour:minutes:seconds AM/PM
};

void LocalTexts(int64_t t, LocalText* out) {
  // A simulated time always converts: it lies between 1970 and the clock.
  struct tm tm = {};
  RasLocalTime(t, &tm);
  int h12 = tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12;
  const char* half = tm.tm_hour < 12 ? "AM" : "PM";
  snprintf(out->Date, sizeof out->Date, "%d/%d/%d", tm.tm_mon + 1, tm.tm_mday, tm.tm_year + 1900);
  snprintf(out->Time, sizeof out->Time, "%d:%02d %s", h12, tm.tm_min, half);
  snprintf(out->Seconds, sizeof out->Seconds, "%d:%02d:%02d %s", h12, tm.tm_min, tm.tm_sec, half);
}

// The logs being written, one per server.
struct EvtSink {
  EvtWriter* Writers;  // one per server
  uint32_t Count;      // servers
  int Ok;              // no write has failed
  uint32_t Failed;     // the server whose write failed
};

// A server's computer name: RAS01, RAS02, ...
void ServerName(uint32_t server, char* out, size_t size) {
  snprintf(out, size, "RAS%02u", server + 1);
}

void PortName(uint32_t index, char* out, size_t size) {
  snprintf(out, size, "COM%u", index + 1);
}

void Log(EvtSink* s, uint32_t server, int64_t t, uint32_t id, uint16_t type, const char* source,
         const char* const* strings, uint16_t n, const uint8_t* data = nullptr,
         uint32_t dataLength = 0) {
  char computer[16];
  ServerName(server, computer, sizeof computer);
  EvtRecordIn r = {static_cast<uint32_t>(t),
                   static_cast<uint32_t>(t),
                   id,
                   type,
                   0,
                   source,
                   computer,
                   strings,
                   n,
                   nullptr,
                   0,
                   data,
                   dataLength};
  if (s->Ok && !EvtWriterAdd(&s->Writers[server], &r)) s->Ok = 0, s->Failed = server;
}

void Connect(EvtSink* s, const SimEvent* e) {
  char port[16];
  PortName(e->Port, port, sizeof port);
  const char* strings[] = {kDomain, e->User, port};
  Log(s, e->Server, e->Time, kIdConnect, kInformation, "RemoteAccess", strings, 3);
}

void Disconnect(EvtSink* s, const SimEvent* e) {
  LocalText from, to;
  LocalTexts(e->Since, &from);
  LocalTexts(e->Time, &to);
  int64_t seconds = e->Time - e->Since;
  char port[16], minutes[24], secs[8], sent[24], received[24];
  PortName(e->Port, port, sizeof port);
  snprintf(minutes, sizeof minutes, "%lld", static_cast<long long>(seconds / 60));
  snprintf(secs, sizeof secs, "%lld", static_cast<long long>(seconds % 60));
  snprintf(sent, sizeof sent, "%lld", static_cast<long long>(seconds * (e->Rate / 8 + 20)));
  snprintf(received, sizeof received, "%lld", static_cast<long long>(seconds * e->Rate));
  const char* strings[] = {kDomain, e->User, port, from.Date, from.Time, to.Date,
                           to.Time, minutes, secs, sent,      received};
  Log(s, e->Server, e->Time, kIdDisconnect, kInformation, "RemoteAccess", strings, 11);
}

void Boot(EvtSink* s, const SimEvent* e) {
  static const char* const version[] = {"4.00", "1381", "Service Pack 6", "Uniprocessor Free"};
  Log(s, e->Server, e->Time, kIdVersion, kInformation, "EventLog", version, 4);
  Log(s, e->Server, e->Time, kIdLogStarted, kInformation, "EventLog", nullptr, 0);
}

// A clean shutdown: the browser's election, then the log service stops.
void Shutdown(EvtSink* s, const SimEvent* e) {
  static const char* const net[] = {"\\Device\\NetBT_E100B1"};
  if (e->Election) Log(s, e->Server, e->Time, kIdElection, kInformation, "BROWSER", net, 1);
  Log(s, e->Server, e->Time + 2, kIdLogStopped, kInformation, "EventLog", nullptr, 0);
}

void CrashNoted(EvtSink* s, const SimEvent* e) {
  LocalText lt;
  LocalTexts(e->CrashTime, &lt);
  const char* when[] = {lt.Seconds, lt.Date};
  Log(s, e->Server, e->Time, kIdUnexpected, kError, "EventLog", when, 2);
}

void Chatter(EvtSink* s, const SimEvent* e) {
  static const char* const services[] = {"Spooler", "Messenger", "Remote Access Server", "Schedule",
                                         "Computer Browser"};
  uint32_t kind = e->Chatter, k = e->Server;
  const char* service = services[e->Service];
  if (kind < 4) {
    const char* sent[] = {service, kind < 2 ? "start" : "stop"};
    const char* state[] = {service, kind < 2 ? "running" : "stopped"};
    Log(s, k, e->Time, kIdServiceSent, kInformation, "Service Control Manager", sent, 2);
    Log(s, k, e->Time, kIdServiceState, kInformation, "Service Control Manager", state, 2);
  } else if (kind < 7) {
    char job[12], bytes[16], pages[8];
    snprintf(job, sizeof job, "%u", e->Job);
    snprintf(bytes, sizeof bytes, "%u", e->Bytes);
    snprintf(pages, sizeof pages, "%u", e->Pages);
    const char* printed[] = {
        job, "Microsoft Word - report.doc", e->Printer, "LaserJet", "LPT1:", bytes, pages};
    Log(s, k, e->Time, kIdPrinted, kInformation, "Print", printed, 7);
  } else if (kind == 7) {
    const char* server[] = {"\\\\FILES01"};
    Log(s, k, e->Time, kIdTimedOut, kWarning, "Rdr", server, 1);
  } else if (kind == 8) {
    static const uint8_t dump[24] = {0, 0, 4, 0, 1, 0, 0x54, 0, 0, 0, 0, 0, 0xDD, 7, 0, 0x80};
    const char* disk[] = {"D:"};
    Log(s, k, e->Time, kIdDiskFull, kWarning, "Srv", disk, 1, dump, sizeof dump);
  } else {
    const char* domain[] = {kDomain};
    Log(s, k, e->Time, kIdNoDc, kError, "NETLOGON", domain, 1);
  }
}

// The records of one event (a crash leaves none).
int EvtEvent(void* context, const SimEvent* e) {
  EvtSink* s = static_cast<EvtSink*>(context);
  switch (e->Kind) {
    case kSimBoot:
      Boot(s, e);
      break;
    case kSimConnect:
      Connect(s, e);
      break;
    case kSimDisconnect:
      Disconnect(s, e);
      break;
    case kSimShutdown:
      Shutdown(s, e);
      break;
    case kSimCrash:
      break;
    case kSimCrashNoted:
      CrashNoted(s, e);
      break;
    case kSimChatter:
      Chatter(s, e);
      break;
  }
  return s->Ok;
}

// The port list's text, COM1..COMn a line each, into out. Returns its
// length.
size_t PortListText(uint32_t ports, char* out, size_t size) {
  size_t n = 0;
  for (uint32_t i = 0; i < ports && n < size; ++i)
    n += static_cast<size_t>(snprintf(out + n, size - n, "COM%u\n", i + 1));
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

// The files of one server and where they go.
struct SampleFiles {
  char Folder[4096];     // DIR, or DIR/RASnn of a pool
  char LogPath[4096];    // its SysEvent.Evt
  char PortsPath[4096];  // its RasPorts.txt
  int MadeFolder;        // Folder was made here (a server's folder of a pool)
  NewFile Log;           // the log being written
  NewFile Ports;         // the port list being written
};

// Opens every server's log. Returns 0, or 1 after a message.
int StartLogs(SampleFiles* files, EvtSink* sink, const SampleOptions* opt) {
  for (uint32_t k = 0; k < opt->Servers; ++k) {
    const char* logPath = files[k].LogPath;
    int fd = NewFileOpen(&files[k].Log, logPath, opt->Replace, 0644);
    if (fd < 0) return CommandFail("can't create the log file", logPath, errno);
    if (!EvtWriterStart(&sink->Writers[k], fd, 0, kEvtHeaderSize, 1))
      return CommandFail(sink->Writers[k].Message, logPath, sink->Writers[k].Errno);
    sink->Count = k + 1;
  }
  return 0;
}

// Simulates the traffic into the log files. Returns 0, or 1 after a
// message.
int WriteLogs(SampleFiles* files, const SampleOptions* opt) {
  EvtSink sink;
  memset(&sink, 0, sizeof sink);
  sink.Ok = 1;
  sink.Writers = static_cast<EvtWriter*>(calloc(opt->Servers, sizeof(EvtWriter)));
  if (sink.Writers == nullptr) return CommandFail("out of memory for", files[0].LogPath, ENOMEM);
  int status = StartLogs(files, &sink, opt);
  if (status == 0) {
    SimSettings settings = {opt->Days, opt->Ports, opt->Servers, opt->Seed, opt->Now};
    SimSink to = {&sink, EvtEvent};
    if (SimRun(&settings, &to) < 0)
      status = CommandFail("out of memory for", files[0].LogPath, ENOMEM);
  }
  for (uint32_t k = 0; k < sink.Count; ++k) {
    EvtWriter* w = &sink.Writers[k];
    int closed = EvtWriterClose(w);
    if (status == 0 && (!closed || (!sink.Ok && sink.Failed == k)))
      status = CommandFail(w->Message, files[k].LogPath, w->Errno);
  }
  free(sink.Writers);
  return status;
}

// Writes every file and puts them in place. Returns 0, or 1 after a
// message.
int WriteSample(SampleFiles* files, const SampleOptions* opt) {
  for (uint32_t k = 0; k < opt->Servers; ++k)
    if (!WritePorts(&files[k].Ports, files[k].PortsPath, opt->Ports, opt->Replace))
      return CommandFail("can't write", files[k].PortsPath, errno);
  int status = WriteLogs(files, opt);
  if (status != 0) return status;
  for (uint32_t k = 0; k < opt->Servers; ++k) {
    if (!NewFilePlace(&files[k].Log))
      return CommandFail("can't put in place", files[k].LogPath, errno);
    if (!NewFilePlace(&files[k].Ports))
      return CommandFail("can't put in place", files[k].PortsPath, errno);
  }
  return 0;
}

// Names each server's folder and files: DIR itself for one server, else
// DIR/RASnn. Returns 0, or 1 after a message.
int NameFiles(SampleFiles* files, const char* dir, uint32_t servers) {
  for (uint32_t k = 0; k < servers; ++k) {
    SampleFiles* f = &files[k];
    char name[16];
    ServerName(k, name, sizeof name);
    if ((servers == 1 ? static_cast<size_t>(snprintf(f->Folder, sizeof f->Folder, "%s", dir))
                      : static_cast<size_t>(snprintf(f->Folder, sizeof f->Folder, "%s/%s", dir,
                                                     name))) >= sizeof f->Folder ||
        static_cast<size_t>(snprintf(f->LogPath, sizeof f->LogPath, "%s/%s", f->Folder,
                                     kSystemLogFile)) >= sizeof f->LogPath ||
        static_cast<size_t>(snprintf(f->PortsPath, sizeof f->PortsPath, "%s/%s", f->Folder,
                                     kPortListFile)) >= sizeof f->PortsPath)
      return CommandFail("folder name too long:", dir, ENAMETOOLONG);
  }
  return 0;
}

// Makes the servers' own folders of a pool. Returns 0, or 1 after a
// message.
int MakeServerFolders(SampleFiles* files, uint32_t servers) {
  if (servers == 1) return 0;
  for (uint32_t k = 0; k < servers; ++k) {
    files[k].MadeFolder = PlatformMakeFolder(files[k].Folder) == 0;
    if (!files[k].MadeFolder && errno != EEXIST)
      return CommandFail("can't make", files[k].Folder, errno);
  }
  return 0;
}

// Whether any file of the sample is there already; each one found is named.
int RefuseAny(const SampleFiles* files, uint32_t servers) {
  int found = 0;
  for (uint32_t k = 0; k < servers; ++k)
    found += RefuseExisting(files[k].LogPath) + RefuseExisting(files[k].PortsPath);
  return found;
}

// Writes the .evt sample into dir (made already). Returns 0, or 1 after a
// message, having removed what it made.
int EvtSample(const char* dir, const SampleOptions* opt) {
  SampleFiles* files = static_cast<SampleFiles*>(calloc(opt->Servers, sizeof(SampleFiles)));
  if (files == nullptr) return CommandFail("out of memory for", dir, ENOMEM);
  int status = NameFiles(files, dir, opt->Servers);
  if (status == 0 && !opt->Replace && RefuseAny(files, opt->Servers) != 0)
    status = 1;  // every file is checked, and each one found is named, before any is written
  if (status == 0) status = MakeServerFolders(files, opt->Servers);
  if (status == 0) status = WriteSample(files, opt);
  // A failed sample leaves nothing of its own: not a file, nor a folder it
  // made (which is empty again then).
  if (status != 0) {
    for (uint32_t k = 0; k < opt->Servers; ++k) {
      NewFileDiscard(&files[k].Log);
      NewFileDiscard(&files[k].Ports);
      if (files[k].MadeFolder) PlatformRemoveFolder(files[k].Folder);
    }
  }
  free(files);
  return status;
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
  NewFilesGuard();
  int status = 0, madeDir = PlatformMakeFolder(dir) == 0;
  if (!madeDir && errno != EEXIST) {
    status = CommandFail("can't make", dir, errno);
  } else {
    status = opt->Format == kAcctEvt ? EvtSample(dir, opt) : AcctSample(dir, opt);
    // A failed sample leaves nothing of its own, nor the folder it made
    // (which is empty again then).
    if (status != 0 && madeDir) PlatformRemoveFolder(dir);
  }
  NewFilesUnguard();
  return status;
}
