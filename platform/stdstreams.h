// The standard streams as both programs want them: bytes in and out as they
// stand on every system, whether the output goes to a terminal, and a byte
// read without the stream's lock for a reader that has a stream to itself.
#ifndef VELMAR_PLATFORM_STDSTREAMS_H
#define VELMAR_PLATFORM_STDSTREAMS_H

#include <cstdio>

// Makes standard input and output carry bytes as they stand, as they do on
// POSIX systems already: a POST body is CONTENT_LENGTH bytes (no CR
// dropped, no Ctrl-Z taken for its end), and a page, a listing or a CSV is
// not given a CR before each line end. Standard error stays as it is. Call
// before the first read or write.
void PlatformBinaryStdio(void);

// Whether standard output is a terminal (rather than a file or a pipe).
bool PlatformStdoutIsTerminal(void);

// getc without taking the stream's lock; only for a stream that one thread
// reads. Inline: it is called once per byte of a CSV file.
inline int PlatformGetcUnlocked(FILE* f) {
#ifdef _WIN32
  return _getc_nolock(f);
#else
  return getc_unlocked(f);
#endif
}

#endif  // VELMAR_PLATFORM_STDSTREAMS_H
