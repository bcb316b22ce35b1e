// File calls: making a log file or a port list without ever writing
// through something already there, positioned transfers on a descriptor
// (whole ones too), what a path names and where the working folder is.
// Failures are -1 with errno set, as the C library's own calls report them,
// so callers name the system's reason.
#ifndef VELMAR_PLATFORM_FILES_H
#define VELMAR_PLATFORM_FILES_H

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// Opens path for reading and writing as bytes, creating it with the
// permission bits `permissions` (before the umask) when it is new. With
// replace, a file that is there is emptied; without, the open fails with
// EEXIST when anything is at path (a file, a folder, a link even when
// dangling), so nothing is written through a link. The descriptor is not
// handed to child processes. Returns it, or -1 with errno set.
int PlatformCreateFile(const char* path, int replace, int permissions);

// As PlatformCreateFile, but write-only, as a stream opened "wb". Returns
// the stream for the caller to fclose, or null with errno set.
FILE* PlatformCreateStream(const char* path, int replace, int permissions);

// Makes a new file for reading and writing as bytes under a unique name,
// never over anything there: name ends in "XXXXXX" and then suffixLen more
// characters ("SysEvent.Evt.XXXXXX.tmp" with 4), and on return the X's
// are the unique part. The permission bits are `permissions` (before the
// umask), as for PlatformCreateFile; the descriptor is not handed to child
// processes. Returns it, or -1 with errno set.
int PlatformCreateUniqueFile(char* name, int suffixLen, int permissions);

// Renames the closed file `from` to `to` in the same folder, replacing what
// is at `to` in one step: a reader finds the old file or the new one, never
// neither and never half of one. A link at `to` is replaced, not followed.
// Returns 0, or -1 with errno set.
int PlatformReplaceFile(const char* from, const char* to);

// Renames the closed file `from` to `to` in the same folder, but only when
// nothing is at `to` (not even a dangling link): then it fails with EEXIST
// and `from` stays. A reader finds the whole file at `to` or none. Returns
// 0, or -1 with errno set.
int PlatformPlaceNewFile(const char* from, const char* to);

// Closes a descriptor of PlatformCreateFile. Returns 0, or -1 with errno
// set when the last writes failed.
int PlatformCloseFile(int fd);

// Makes the file exactly size bytes long, zeros after its old end. Returns
// 0, or -1 with errno set.
int PlatformSetFileSize(int fd, uint64_t size);

// Reads up to n bytes at offset `at` into buf, as pread does: returns the
// bytes read (fewer at the end of the file), or -1 with errno set. A read
// that a signal breaks off before any byte is tried again.
int64_t PlatformReadAt(int fd, void* buf, size_t n, uint64_t at);

// Writes up to n bytes of buf at offset `at`, as pwrite does: returns the
// bytes written (possibly fewer), or -1 with errno set. A write that a
// signal breaks off before any byte is tried again.
int64_t PlatformWriteAt(int fd, const void* buf, size_t n, uint64_t at);

// Reads n bytes at offset `at` into buf, in as many calls as it takes.
// Returns the bytes read, fewer only when the file ends first, or -1 with
// errno set.
inline int64_t PlatformReadAllAt(int fd, void* buf, size_t n, uint64_t at) {
  char* p = static_cast<char*>(buf);
  size_t done = 0;
  while (done < n) {
    int64_t got = PlatformReadAt(fd, p + done, n - done, at + done);
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(done);
}

// Writes all n bytes of buf at offset `at`, in as many calls as it takes.
// Returns 0, or -1 with errno set (EIO when a call wrote nothing and gave
// no reason).
inline int PlatformWriteAllAt(int fd, const void* buf, size_t n, uint64_t at) {
  const char* p = static_cast<const char*>(buf);
  while (n > 0) {
    int64_t done = PlatformWriteAt(fd, p, n, at);
    if (done <= 0) {
      if (done == 0) errno = EIO;
      return -1;
    }
    p += done, at += static_cast<uint64_t>(done), n -= static_cast<size_t>(done);
  }
  return 0;
}

// Whether anything is at path: a file, a folder, or a link, which is not
// followed (a dangling link counts). Windows has no such links to refuse:
// there a path is taken when it can be found.
bool PlatformPathTaken(const char* path);

// What path names, links followed: 1 a regular file, 0 something else (a
// folder, a FIFO, a device), -1 with errno set when it can't be found.
int PlatformIsRegularFile(const char* path);

// The separator between a folder and a name in a path as the system's users
// write it: "/", or "\\" on Windows.
extern const char kPlatformPathSeparator[];

// The working folder's path into out (size > 0 bytes). For a removed
// folder, what the system still tells of it where it does ("/srv/x
// (deleted)"), else ".".
void PlatformWorkingFolder(char* out, size_t size);

// Makes the folder path (permissions 0755 before the umask where the
// system has them). Returns 0, or -1 with errno set (EEXIST when anything
// is at path already).
int PlatformMakeFolder(const char* path);

// Removes the empty folder path. Returns 0, or -1 with errno set (also
// when the folder is not empty).
int PlatformRemoveFolder(const char* path);

#endif  // VELMAR_PLATFORM_FILES_H
