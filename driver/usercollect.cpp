// The user index of one run and the guard that deletes its file when a
// signal ends the run early (a web client that went away, a server's
// timeout, a terminal's interrupt). The file's name is kept in a static
// buffer that the signal handler may read; it is only changed while the
// guarded signals are blocked.
#include "driver/usercollect.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

const int kGuarded[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
const int kGuardedCount = sizeof kGuarded / sizeof kGuarded[0];

char IndexName[64];                        // the index file to delete on a signal
volatile sig_atomic_t IndexNamed = 0;      // IndexName holds a file of this run
struct sigaction Previous[kGuardedCount];  // actions in force before the guard
bool Replaced[kGuardedCount];              // the guard replaced that action

// Async-signal-safe: deletes the file, then lets the signal take its
// default course, which ends the process as it would have without us.
void DeleteAndDie(int sig) {
  if (IndexNamed) unlink(IndexName);
  signal(sig, SIG_DFL);
  raise(sig);
}

void GuardedSet(sigset_t* set) {
  sigemptyset(set);
  for (int sig : kGuarded) sigaddset(set, sig);
}

// Holds the guarded signals back until Unblock; previous keeps the mask.
void Block(sigset_t* previous) {
  sigset_t set;
  GuardedSet(&set);
  sigprocmask(SIG_BLOCK, &set, previous);
}

void Unblock(const sigset_t* previous) {
  sigprocmask(SIG_SETMASK, previous, nullptr);
}

// Takes over each guarded signal whose action is the default one; an
// ignored signal stays ignored (the caller wants the run to go on) and a
// handler someone else set stays theirs.
void InstallGuard() {
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

void RemoveGuard() {
  for (int i = 0; i < kGuardedCount; ++i) {
    if (Replaced[i]) sigaction(kGuarded[i], &Previous[i], nullptr);
    Replaced[i] = false;
  }
}

// Remembers the file for the handler (call with the signals blocked).
void NameIndexFile(const char* name) {
  if (name == nullptr || std::strlen(name) >= sizeof IndexName) return;
  std::strcpy(IndexName, name);
  IndexNamed = 1;
}

// A number as atol reads it, held to the 32-bit range.
int64_t Held32(const char* text) {
  long long value = std::strtoll(text, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return value;
}

}  // namespace

int32_t ConnectedSeconds(const char* minutes, const char* seconds) {
  int64_t total = Held32(minutes) * 60 + Held32(seconds);
  if (total > INT32_MAX) return INT32_MAX;
  if (total < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(total);
}

const char* UserCollectStart(UserCollector* users) {
  sigset_t previous;
  Block(&previous);
  // The guard is in place before the file exists, and the name is known to
  // it before any signal can arrive: no moment leaves the file behind.
  InstallGuard();
  users->Guarding = true;
  const char* message = nullptr;
  if (DbiCreate(&users->Index) == nullptr) {
    message = DbiError(nullptr);
  } else {
    if (DbiNewTemp(users->Index, USER_INDEX_TEMPLATE, "USER", USER_KEY_LEN) != 0) {
      message = DbiError(nullptr);
    }
    NameIndexFile(users->Index->FileName);
  }
  Unblock(&previous);
  return message;
}

void UserCollectAdd(UserCollector* users, const char* user, int32_t seconds) {
  if (users->Index == nullptr || users->Failed != nullptr) return;
  // A failed write of the header leaves no text of its own: clear the last
  // one so that an old text is not taken for this failure.
  DbiClearError();
  if (DbiAdd(users->Index, user, seconds) == 0) return;
  const char* message = DbiError(nullptr);
  users->Failed = message != nullptr ? message : "Save Header in Add";
}

void UserCollectRelease(UserCollector* users) {
  sigset_t previous;
  Block(&previous);
  if (users->Index != nullptr) {
    DbiClose(users->Index);
    DbiFree(&users->Index);
  }
  if (IndexNamed) {
    unlink(IndexName);
    IndexNamed = 0;
  }
  if (users->Guarding) RemoveGuard();
  users->Guarding = false;
  users->Failed = nullptr;
  Unblock(&previous);
}
