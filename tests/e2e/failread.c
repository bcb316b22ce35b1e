/* A disk fault for the end-to-end tests, loaded with LD_PRELOAD: the Nth
   call of fread in the process (N from VELMAR_FAIL_FREAD) reads nothing and
   fails with EIO, setting the stream's error indicator, as a bad sector
   would. With VELMAR_COUNT_FREAD naming a
   file, the number of calls is written there at exit, so a test can aim at
   the last reads of a run: those of the user summary's walk. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

typedef size_t (*FreadFn)(void*, size_t, size_t, FILE*);

static unsigned long calls; /* fread calls so far */

size_t fread(void* p, size_t size, size_t n, FILE* stream) {
  static FreadFn real;
  if (real == NULL) real = (FreadFn)dlsym(RTLD_NEXT, "fread");
  const char* fail = getenv("VELMAR_FAIL_FREAD");
  if (++calls == (fail != NULL ? strtoul(fail, NULL, 10) : 0)) {
    errno = EIO;
    stream->_flags |= _IO_ERR_SEEN; /* glibc's: what ferror reads */
    return 0;
  }
  return real(p, size, n, stream);
}

__attribute__((destructor)) static void WriteCount(void) {
  const char* name = getenv("VELMAR_COUNT_FREAD");
  FILE* out = name != NULL ? fopen(name, "w") : NULL;
  if (out == NULL) return;
  fprintf(out, "%lu\n", calls);
  fclose(out);
}
