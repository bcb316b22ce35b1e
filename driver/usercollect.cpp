// The user index of one run, with the signal guard that deletes its file
// when a signal ends the run early (a web client that went away, a server's
// timeout, a terminal's interrupt, a CPU-time limit).
#include "driver/usercollect.h"

#include <cerrno>
#include <cstring>

#include "eventlog/rasevent.h"
#include "platform/signalguard.h"

namespace {

// Keeps the index's last message, or fallback when it left none (null where
// the index names every failure), as the collector's failure, with the C
// library's reason when it gave one.
void KeepFailure(UserCollector* users, const char* fallback) {
  const char* message = DbiError(nullptr);
  users->Failed = message != nullptr ? message : fallback;
  users->SystemError = errno;
}

}  // namespace

const char* UserCollectStart(UserCollector* users) {
  SignalGuardHold();
  // The guard is in place before the file exists, and the name is known to
  // it before any signal can arrive: no moment leaves the file behind.
  SignalGuardInstall();
  users->Guarding = true;
  errno = 0;
  if (DbiCreate(&users->Index) == nullptr) {
    KeepFailure(users, "No Memory for DBI");
  } else {
    if (DbiNewTemp(users->Index, USER_INDEX_TEMPLATE, "USER", USER_KEY_LEN) != 0) {
      KeepFailure(users, "fopen New File");
    }
    SignalGuardSetFile(DbiFileName(users->Index));
  }
  SignalGuardLetGo();
  return users->Failed;
}

void UserCollectAdd(UserCollector* users, const char* user, int32_t seconds) {
  if (users->Index == nullptr || users->Failed != nullptr) return;
  // The key is cut where the index would cut it, but never inside a
  // character, so the summary never shows half of one.
  char key[USER_KEY_LEN + 1];
  size_t n = RasNameCut(user, USER_KEY_LEN);
  memcpy(key, user, n);
  key[n] = '\0';
  errno = 0;
  if (DbiAdd(users->Index, key, seconds) != 0) KeepFailure(users, nullptr);
}

void UserCollectWalkFailed(UserCollector* users) {
  if (users->Failed == nullptr) KeepFailure(users, "Next in User Statistics");
}

void UserCollectRelease(UserCollector* users) {
  SignalGuardHold();
  if (users->Index != nullptr) {
    DbiClose(users->Index);
    DbiFree(&users->Index);
  }
  if (users->Guarding) SignalGuardRemove();
  users->Guarding = false;
  users->Failed = nullptr;
  users->SystemError = 0;
  SignalGuardLetGo();
}
