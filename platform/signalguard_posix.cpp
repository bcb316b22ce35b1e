// The signal guard with POSIX signals. The files' names are kept in static
// buffers that the handler may read; they are only changed while the
// guarded signals are held back.
#include "platform/signalguard.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace {

const int kGuarded[] = {SIGINT,  SIGTERM, SIGHUP,  SIGPIPE,   SIGQUIT, SIGXCPU,
                        SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF};
const int kGuardedCount = sizeof kGuarded / sizeof kGuarded[0];

char FileName[SIGNAL_GUARD_FILES][4096];              // the files to delete on a signal
volatile sig_atomic_t FileNamed[SIGNAL_GUARD_FILES];  // FileName[i] holds one
struct sigaction Previous[kGuardedCount];             // actions in force before the guard
bool Replaced[kGuardedCount];                         // the guard replaced that action
sigset_t HeldMask;                                    // the mask before SignalGuardHold

// Async-signal-safe: deletes the file, then lets the signal take its
// default course, which ends the process as it would have without us.
void DeleteAndDie(int sig) {
  for (int i = 0; i < SIGNAL_GUARD_FILES; ++i) {
    if (FileNamed[i]) unlink(FileName[i]);
  }
  signal(sig, SIG_DFL);
  raise(sig);
}

// Deletes every named file and forgets them.
void DeleteNamed() {
  for (int i = 0; i < SIGNAL_GUARD_FILES; ++i) {
    if (FileNamed[i]) unlink(FileName[i]);
    FileNamed[i] = 0;
  }
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
  for (int i = 0; i < SIGNAL_GUARD_FILES; ++i) FileNamed[i] = 0;
  if (path != nullptr) SignalGuardAddFile(path);
}

int SignalGuardAddFile(const char* path) {
  if (std::strlen(path) >= sizeof FileName[0]) return -1;
  for (int i = 0; i < SIGNAL_GUARD_FILES; ++i) {
    if (FileNamed[i]) continue;
    std::strcpy(FileName[i], path);
    FileNamed[i] = 1;
    return i;
  }
  return -1;
}

void SignalGuardDropFile(int slot) {
  if (slot >= 0 && slot < SIGNAL_GUARD_FILES) FileNamed[slot] = 0;
}

void SignalGuardRemove(void) {
  DeleteNamed();
  for (int i = 0; i < kGuardedCount; ++i) {
    if (Replaced[i]) sigaction(kGuarded[i], &Previous[i], nullptr);
    Replaced[i] = false;
  }
}

void SignalGuardIgnoreFileSizeLimit(void) {
  signal(SIGXFSZ, SIG_IGN);
}
