/* A disk fault for the end-to-end tests, loaded with LD_PRELOAD: the Nth
   call of fwrite to a file other than standard output and standard error
   (N from VELMAR_FAIL_FWRITE) writes nothing and fails with EIO, as a disk
   would that refuses a write. The report writes such files only through its
   user index, so N counts the index's writes. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

typedef size_t (*FwriteFn)(const void*, size_t, size_t, FILE*);

static unsigned long calls; /* fwrite calls to other files so far */

size_t fwrite(const void* p, size_t size, size_t n, FILE* stream) {
  static FwriteFn real;
  if (real == NULL) real = (FwriteFn)dlsym(RTLD_NEXT, "fwrite");
  if (stream != stdout && stream != stderr) {
    const char* fail = getenv("VELMAR_FAIL_FWRITE");
    if (++calls == (fail != NULL ? strtoul(fail, NULL, 10) : 0)) {
      errno = EIO;
      return 0;
    }
  }
  return real(p, size, n, stream);
}
