// Deleting the named files when a signal ends the process, so that the
// report's user index, and a log or port list that velmar-log is still
// writing under its temporary name, never outlive a run that a web
// server's timeout, a CPU-time limit, a terminal or a reader that went away
// ends early. Only SIGKILL, which no process can catch, may leave a file.
// On Windows the index is opened delete-on-close and the system deletes it
// however the process ends: there every call here does nothing.
#ifndef VELMAR_PLATFORM_SIGNALGUARD_H
#define VELMAR_PLATFORM_SIGNALGUARD_H

// Holds the guarded signals back until SignalGuardLetGo, so that a file and
// the guard's knowledge of it change together. One hold at a time.
void SignalGuardHold(void);

// Delivers what was held back, and restores the signal mask of before the
// hold.
void SignalGuardLetGo(void);

// Takes over each guarded signal whose action is the default one: SIGINT,
// SIGTERM, SIGHUP, SIGPIPE, SIGQUIT, SIGXCPU, SIGALRM, SIGUSR1, SIGUSR2,
// SIGVTALRM and SIGPROF, all of which end the process by default. Such a
// signal deletes the named file, then takes its default action, so the
// process ends as it would have. An ignored signal stays ignored (the
// caller wants the run to go on) and a handler someone else set stays
// theirs. Call while held, once per process until SignalGuardRemove.
void SignalGuardInstall(void);

// Files the guard can name at once: a sample pool of 64 servers writes a
// log and a port list for each before it puts any in place.
#define SIGNAL_GUARD_FILES 130

// Names the file the guard deletes (a copy is kept) in place of all named
// before; null, or a name of 4096 bytes or more, names none. Call while
// held.
void SignalGuardSetFile(const char* path);

// Names one more file to delete (a copy is kept). Returns its slot, or -1
// when SIGNAL_GUARD_FILES are named already or the name has 4096 bytes or
// more. Call while held.
int SignalGuardAddFile(const char* path);

// Forgets the file of a slot SignalGuardAddFile gave, without deleting it
// (it was put in place); -1 does nothing. Call while held.
void SignalGuardDropFile(int slot);

// Deletes the named files, if any, forgets them, and puts back the actions
// the guard replaced. Safe when nothing was installed or named.
void SignalGuardRemove(void);

// Lets a write past the file size limit (a shell's or a web server's
// ulimit -f) fail with an error that the program reports, instead of
// ending the process without a word: SIGXFSZ is ignored from now on.
void SignalGuardIgnoreFileSizeLimit(void);

#endif  // VELMAR_PLATFORM_SIGNALGUARD_H
