// The traffic of velmar-log sample: a pool of dial-up servers over the last
// days, told as abstract events to a sink, one sink per kind of file (the
// .evt log in sample.cpp, the accounting formats in sample_acct.cpp). The
// same settings and TZ give the same events, whatever the sink.
#ifndef VELMAR_TOOLS_SAMPLE_SIM_H
#define VELMAR_TOOLS_SAMPLE_SIM_H

#include <cstdint>

// What happened.
enum SimEventKind {
  kSimBoot,        // a server started: every line of it is free
  kSimConnect,     // a user connected on a port
  kSimDisconnect,  // the user on a port hung up
  kSimShutdown,    // a clean shutdown, after the disconnects of its open lines
  kSimCrash,       // the server died: its connections end with no record at all
  kSimCrashNoted,  // the server is back after a crash and says so (before its boot)
  kSimChatter,     // an unrelated service of the server logged something
};

// One event. Texts are good during the call.
struct SimEvent {
  SimEventKind Kind;      // what
  int64_t Time;           // when, seconds since 1970 UTC; events come in time order
  uint32_t Server;        // which server, 0 to Servers - 1
  uint32_t Port;          // connect, disconnect: the port, 0 to Ports - 1
  const char* User;       // connect, disconnect: the user
  int64_t Since;          // disconnect: when the user connected
  uint32_t Rate;          // connect, disconnect: bytes a second the line carries
  bool EndsByDisconnect;  // connect: the session ends with its own disconnect event
  bool Election;          // shutdown: the browser service held an election first
  int64_t CrashTime;      // crash noted: when the server died
  uint32_t Chatter;       // chatter: its kind, 0 to 9
  uint32_t Service;       // chatter: the service named, 0 to 4
  uint32_t Job;           // chatter, a print job: its number
  uint32_t Bytes;         // ... its size
  uint32_t Pages;         // ... its pages
  const char* Printer;    // ... who printed it
};

// Who hears the events: Event returns 1 to go on, 0 to stop the run (a
// write failed).
struct SimSink {
  void* Context;                                       // handed back to Event
  int (*Event)(void* context, const SimEvent* event);  // one event
};

// The settings of a run.
struct SimSettings {
  uint32_t Days;     // days of traffic up to Now
  uint32_t Ports;    // ports of each server
  uint32_t Servers;  // servers in the pool, at least 1
  uint64_t Seed;     // seed of the generator
  int64_t Now;       // the last moment of the traffic
};

// The generator the run draws from (splitmix64), for a sink's own draws
// from a state of its own: the next number, one below n, one from lo to hi.
uint64_t SimRandom(uint64_t* state);
uint32_t SimBelow(uint64_t* state, uint32_t n);
uint32_t SimBetween(uint64_t* state, uint32_t lo, uint32_t hi);

// Runs the traffic from Now - Days days to Now through the sink. Returns 1
// after the last event, 0 when the sink stopped it, -1 when out of memory.
int SimRun(const SimSettings* settings, const SimSink* sink);

#endif  // VELMAR_TOOLS_SAMPLE_SIM_H
