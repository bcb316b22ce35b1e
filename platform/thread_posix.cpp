// Threads on POSIX: pthread_create and pthread_join.
#include "platform/thread.h"

#include <pthread.h>

#include <cstdlib>

namespace {

// What a started thread needs, and its handle.
struct ThreadState {
  pthread_t Handle;        // the thread
  void (*Run)(void* arg);  // what it runs
  void* Arg;               // with this
};

void* Start(void* state) {
  ThreadState* s = static_cast<ThreadState*>(state);
  s->Run(s->Arg);
  return nullptr;
}

}  // namespace

int PlatformStartThread(PlatformThread* t, void (*run)(void* arg), void* arg) {
  t->State = nullptr;
  ThreadState* s = static_cast<ThreadState*>(calloc(1, sizeof(ThreadState)));
  if (s == nullptr) return 0;
  s->Run = run;
  s->Arg = arg;
  if (pthread_create(&s->Handle, nullptr, Start, s) != 0) {
    free(s);
    return 0;
  }
  t->State = s;
  return 1;
}

void PlatformJoinThread(PlatformThread* t) {
  ThreadState* s = static_cast<ThreadState*>(t->State);
  if (s == nullptr) return;
  pthread_join(s->Handle, nullptr);
  free(s);
  t->State = nullptr;
}
