// Making a file under a fresh unique name on Windows, which has no
// mkostemps: the six X's become random letters and digits until an
// exclusive creation succeeds. The user index's temporary file and
// velmar-log's files both come from here.
#ifndef VELMAR_PLATFORM_UNIQUENAME_H
#define VELMAR_PLATFORM_UNIQUENAME_H

// name ends in "XXXXXX" and then suffixLen more characters; on return the
// X's are the unique part. The file is opened for reading and writing as
// bytes, created exclusively, not inherited, with `flags` added (such as
// _O_TEMPORARY) and the permission bits `permissions`. Returns the
// descriptor, or -1 with errno set.
int UniqueFileOpen(char* name, int suffixLen, int flags, int permissions);

#endif  // VELMAR_PLATFORM_UNIQUENAME_H
