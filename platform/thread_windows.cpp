// Threads on Windows: _beginthreadex, which sets up the C runtime for the
// thread as CreateThread does not, and WaitForSingleObject.
#include "platform/thread.h"

#include <process.h>
#include <windows.h>

#include <cstdlib>

namespace {

// What a started thread needs, and its handle.
struct ThreadState {
  HANDLE Handle;           // the thread
  void (*Run)(void* arg);  // what it runs
  void* Arg;               // with this
};

unsigned __stdcall Start(void* state) {
  ThreadState* s = static_cast<ThreadState*>(state);
  s->Run(s->Arg);
  return 0;
}

}  // namespace

int PlatformStartThread(PlatformThread* t, void (*run)(void* arg), void* arg) {
  t->State = nullptr;
  ThreadState* s = static_cast<ThreadState*>(calloc(1, sizeof(ThreadState)));
  if (s == nullptr) return 0;
  s->Run = run;
  s->Arg = arg;
  uintptr_t handle = _beginthreadex(nullptr, 0, Start, s, 0, nullptr);
  if (handle == 0) {
    free(s);
    return 0;
  }
  s->Handle = reinterpret_cast<HANDLE>(handle);
  t->State = s;
  return 1;
}

void PlatformJoinThread(PlatformThread* t) {
  ThreadState* s = static_cast<ThreadState*>(t->State);
  if (s == nullptr) return;
  WaitForSingleObject(s->Handle, INFINITE);
  CloseHandle(s->Handle);
  free(s);
  t->State = nullptr;
}
