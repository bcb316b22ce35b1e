// The pool's traffic. Every port alternates idle and busy spells (busy
// hours in the day, connections of minutes to hours), each server reboots
// every few weeks (cleanly, or after a crash that ends its connections
// without a disconnect), and unrelated services log now and then. One
// seeded generator draws everything in time order, so the same seed, clock
// and TZ give the same events; with one server they are the events the
// single-server sample always had, draw for draw.
#include "tools/sample_sim.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "eventlog/rasevent.h"

namespace {

const int64_t kNever = INT64_MAX;
const uint32_t kUserCount = 300;
const uint32_t kHeavyUsers = 30;  // dial in far more often than the rest

uint32_t Below(uint64_t* state, uint32_t n) {
  return SimBelow(state, n);
}

uint32_t Between(uint64_t* state, uint32_t lo, uint32_t hi) {
  return SimBetween(state, lo, hi);
}

// One dial-up port.
struct Port {
  int64_t Next;       // time of its next connect (idle) or disconnect (busy)
  int Busy;           // a user is connected
  uint32_t User;      // who, when busy
  int64_t Since;      // when the user connected
  uint32_t Received;  // bytes a second the line carries in this connection
};

// One server of the pool.
struct Server {
  Port* Ports;          // its ports
  int64_t NextReboot;   // next shutdown
  int64_t NextChatter;  // next record of an unrelated service
};

// The simulation.
struct Sim {
  uint64_t Rng;          // generator state
  Server* Servers;       // the pool
  uint32_t ServerCount;  // servers
  uint32_t PortCount;    // ports of each
  char (*Users)[12];     // user names
  uint8_t* UserBusy;     // user is connected on some port
  int64_t Now;           // the end of the sample
  const SimSink* Sink;   // who hears the events
  int Ok;                // the sink goes on
};

void Tell(Sim* s, SimEvent* e) {
  if (s->Ok && !s->Sink->Event(s->Sink->Context, e)) s->Ok = 0;
}

SimEvent Event(SimEventKind kind, int64_t t, uint32_t server) {
  SimEvent e;
  memset(&e, 0, sizeof e);
  e.Kind = kind;
  e.Time = t;
  e.Server = server;
  return e;
}

int LocalHour(int64_t t) {
  struct tm tm;
  if (!RasLocalTime(t, &tm)) return 0;
  return tm.tm_hour;
}

// ---- traffic ----

// Idle time before the next call on a free port, by the hour of the day:
// quiet at night, busiest mornings, afternoons and evenings.
uint32_t IdleGap(Sim* s, int64_t t) {
  static const char kHourClass[] = "NNNNNNNSSBBBMBBBBMSSBBBM";
  static const uint32_t kRange[4][2] = {{40, 200}, {10, 45}, {6, 35}, {1, 18}};
  const char* cls = "NSMB";
  int c = static_cast<int>(strchr(cls, kHourClass[LocalHour(t)]) - cls);
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

void Connect(Sim* s, uint32_t k, uint32_t i, int64_t t) {
  Server* v = &s->Servers[k];
  Port* p = &v->Ports[i];
  p->Busy = 1;
  p->User = PickUser(s);
  p->Since = t;
  p->Received = Between(&s->Rng, 200, 3000);
  p->Next = t + CallLength(s);
  s->UserBusy[p->User] = 1;
  SimEvent e = Event(kSimConnect, t, k);
  e.Port = i;
  e.User = s->Users[p->User];
  e.Rate = p->Received;
  // Only a reboot cuts a connection short, and one at the same moment
  // comes first.
  e.EndsByDisconnect = p->Next < v->NextReboot && p->Next <= s->Now;
  Tell(s, &e);
}

void Disconnect(Sim* s, uint32_t k, uint32_t i, int64_t t) {
  Port* p = &s->Servers[k].Ports[i];
  SimEvent e = Event(kSimDisconnect, t, k);
  e.Port = i;
  e.User = s->Users[p->User];
  e.Since = p->Since;
  e.Rate = p->Received;
  Tell(s, &e);
  s->UserBusy[p->User] = 0;
  p->Busy = 0;
  p->Next = t + IdleGap(s, t);
}

// ---- reboots ----

void Boot(Sim* s, uint32_t k, int64_t t) {
  SimEvent e = Event(kSimBoot, t, k);
  Tell(s, &e);
  for (uint32_t i = 0; i < s->PortCount; ++i) s->Servers[k].Ports[i].Next = t + IdleGap(s, t);
}

// Ends every connection of server k: a clean shutdown has the disconnects,
// a crash loses them. Schedules the server's return (unless past the end).
void Reboot(Sim* s, uint32_t k, int64_t t) {
  Server* v = &s->Servers[k];
  int crash = Below(&s->Rng, 4) == 0;
  if (crash) {
    SimEvent e = Event(kSimCrash, t, k);
    Tell(s, &e);
  }
  for (uint32_t i = 0; i < s->PortCount; ++i) {
    if (!v->Ports[i].Busy) continue;
    if (crash) {
      s->UserBusy[v->Ports[i].User] = 0;
      v->Ports[i].Busy = 0;
    } else {
      Disconnect(s, k, i, t);
    }
  }
  if (!crash) {
    SimEvent e = Event(kSimShutdown, t, k);
    e.Election = Below(&s->Rng, 2) == 0;
    Tell(s, &e);
  }
  int64_t back = t + Between(&s->Rng, crash ? 120 : 90, crash ? 1800 : 600);
  for (uint32_t i = 0; i < s->PortCount; ++i) v->Ports[i].Next = kNever;
  v->NextReboot = v->NextChatter = kNever;
  if (back > s->Now) return;
  if (crash) {
    SimEvent e = Event(kSimCrashNoted, back, k);
    e.CrashTime = t;
    Tell(s, &e);
  }
  Boot(s, k, back);
  v->NextReboot =
      back + static_cast<int64_t>(Between(&s->Rng, 10, 30)) * 86400 + Below(&s->Rng, 86400);
  v->NextChatter = back + Between(&s->Rng, 60, 1800);
}

// ---- unrelated services ----

void Chatter(Sim* s, uint32_t k, int64_t t) {
  SimEvent e = Event(kSimChatter, t, k);
  e.Chatter = Below(&s->Rng, 10);
  e.Service = Below(&s->Rng, 5);
  if (e.Chatter >= 4 && e.Chatter < 7) {  // a print job
    e.Job = Between(&s->Rng, 1, 999);
    e.Bytes = Between(&s->Rng, 2000, 900000);
    e.Pages = Between(&s->Rng, 1, 40);
    e.Printer = s->Users[Below(&s->Rng, kUserCount)];
  }
  Tell(s, &e);
  s->Servers[k].NextChatter = t + Between(&s->Rng, 1800, 6 * 3600);
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

// The event due first: its server in *server and a port (index), or -1 a
// reboot, -2 an unrelated record. Earlier servers, and of one server its
// unrelated records, then its reboot, then its ports, win a tie.
int64_t NextEvent(const Sim* s, uint32_t* server, int* which) {
  int64_t best = kNever;
  *server = 0;
  *which = -2;
  for (uint32_t k = 0; k < s->ServerCount; ++k) {
    const Server* v = &s->Servers[k];
    if (v->NextChatter < best) best = v->NextChatter, *server = k, *which = -2;
    if (v->NextReboot < best) best = v->NextReboot, *server = k, *which = -1;
    for (uint32_t i = 0; i < s->PortCount; ++i)
      if (v->Ports[i].Next < best)
        best = v->Ports[i].Next, *server = k, *which = static_cast<int>(i);
  }
  return best;
}

void Run(Sim* s, int64_t start) {
  for (uint32_t k = 0; k < s->ServerCount; ++k) {
    Server* v = &s->Servers[k];
    Boot(s, k, start);
    v->NextReboot =
        start + static_cast<int64_t>(Between(&s->Rng, 3, 30)) * 86400 + Below(&s->Rng, 86400);
    v->NextChatter = start + Between(&s->Rng, 60, 3600);
  }
  uint32_t k;
  int which;
  int64_t t;
  while (s->Ok && (t = NextEvent(s, &k, &which)) <= s->Now) {
    if (which == -2)
      Chatter(s, k, t);
    else if (which == -1)
      Reboot(s, k, t);
    else if (s->Servers[k].Ports[which].Busy)
      Disconnect(s, k, static_cast<uint32_t>(which), t);
    else
      Connect(s, k, static_cast<uint32_t>(which), t);
  }
}

void Release(Sim* s) {
  if (s->Servers != nullptr)
    for (uint32_t k = 0; k < s->ServerCount; ++k) free(s->Servers[k].Ports);
  free(s->Servers);
  free(s->Users);
  free(s->UserBusy);
}

}  // namespace

uint64_t SimRandom(uint64_t* state) {
  uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint32_t SimBelow(uint64_t* state, uint32_t n) {
  return static_cast<uint32_t>(((SimRandom(state) >> 32) * n) >> 32);
}

uint32_t SimBetween(uint64_t* state, uint32_t lo, uint32_t hi) {
  return lo + SimBelow(state, hi - lo + 1);
}

int SimRun(const SimSettings* settings, const SimSink* sink) {
  Sim s;
  memset(&s, 0, sizeof s);
  s.Rng = settings->Seed;
  s.Now = settings->Now;
  s.ServerCount = settings->Servers;
  s.PortCount = settings->Ports;
  s.Sink = sink;
  s.Ok = 1;
  s.Servers = static_cast<Server*>(calloc(settings->Servers, sizeof(Server)));
  s.Users = static_cast<char(*)[12]>(calloc(kUserCount, sizeof *s.Users));
  s.UserBusy = static_cast<uint8_t*>(calloc(kUserCount, 1));
  bool ok = s.Servers != nullptr && s.Users != nullptr && s.UserBusy != nullptr;
  for (uint32_t k = 0; ok && k < s.ServerCount; ++k) {
    s.Servers[k].Ports = static_cast<Port*>(calloc(settings->Ports, sizeof(Port)));
    ok = s.Servers[k].Ports != nullptr;
  }
  if (ok) {
    MakeUsers(&s);
    Run(&s, settings->Now - static_cast<int64_t>(settings->Days) * 86400);
  }
  Release(&s);
  return !ok ? -1 : s.Ok;
}
