// A second thread of the process, for work that can go on beside the rest
// (an accounting log read ahead while its records are taken). Started and
// joined here with the system's own calls, so that a system that can't
// start one says so and the caller does the work itself, rather than the
// program ending as a failed std::thread would end it without exceptions.
#ifndef VELMAR_PLATFORM_THREAD_H
#define VELMAR_PLATFORM_THREAD_H

// A thread started by PlatformStartThread.
struct PlatformThread {
  void* State;  // the system's handle and the call to run; null when none runs
};

// Runs run(arg) on a new thread. Returns 1 with *t set, or 0 (t->State
// null) when the system can't start one.
int PlatformStartThread(PlatformThread* t, void (*run)(void* arg), void* arg);

// Waits for the thread of t to return and releases it; nothing when none
// was started.
void PlatformJoinThread(PlatformThread* t);

#endif  // VELMAR_PLATFORM_THREAD_H
