// The signal guard with POSIX signals. The file's name is kept in a static
// buffer that the handler may read; it is only changed while the guarded
// signals are held back.
#include "platform/signalguard.h"

#ifndef _WIN32

#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace {

const int kGuarded[] = {SIGINT,  SIGTERM, SIGHUP,  SIGPIPE,   SIGQUIT, SIGXCPU,
                        SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF};
const int kGuardedCount = sizeof kGuarded / sizeof kGuarded[0];

char FileName[256];                        // the file to delete on a signal
volatile sig_atomic_t FileNamed = 0;       // FileName holds a file to delete
struct sigaction Previous[kGuardedCount];  // actions in force before the guard
bool Replaced[kGuardedCount];              // the guard replaced that action
sigset_t HeldMask;                         // the mask before SignalGuardHold

// Async-signal-safe: deletes the file, then lets the signal take its
// default course, which ends the process as it would have without us.
void DeleteAndDie(int sig) {
  if (FileNamed) unlink(FileName);
  signal(sig, SIG_DFL);
  raise(sig);
}

void GuardedSet(sigset_t* set) {
  sigemptyset(set);
  for (int sig : kGuarded) sigaddset(set, sig);
}

}  // namespace

void SignalGuardHold(void) {
  sigset_t set;
  GuardedSet(&set);
  sigprocmask(SIG_BLOCK, &set, &HeldMask);
}

void SignalGuardLetGo(void) {
  sigprocmask(SIG_SETMASK, &HeldMask, nullptr);
}

void SignalGuardInstall(void) {
  struct sigaction act;
  std::memset(&act, 0, sizeof act);
  act.sa_handler = DeleteAndDie;
  GuardedSet(&act.sa_mask);
  for (int i = 0; i < kGuardedCount; ++i) {
    Replaced[i] = false;
    if (sigaction(kGuarded[i], nullptr, &Previous[i]) != 0) continue;
    if (Previous[i].sa_handler != SIG_DFL || (Previous[i].sa_flags & SA_SIGINFO)) continue;
    Replaced[i] = sigaction(kGuarded[i], &act, nullptr) == 0;
  }
}

void SignalGuardSetFile(const char* path) {
  FileNamed = 0;
  if (path == nullptr || std::strlen(path) >= sizeof FileName) return;
  std::strcpy(FileName, path);
  FileNamed = 1;
}

void SignalGuardRemove(void) {
  if (FileNamed) unlink(FileName);
  FileNamed = 0;
  for (int i = 0; i < kGuardedCount; ++i) {
    if (Replaced[i]) sigaction(kGuarded[i], &Previous[i], nullptr);
    Replaced[i] = false;
  }
}

void SignalGuardIgnoreFileSizeLimit(void) {
  signal(SIGXFSZ, SIG_IGN);
}

#endif  // _WIN32
