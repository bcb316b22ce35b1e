// Whether the zone named in TZ is one the C library can find. A zone named by
// its file ("Asia/Singapore", ":Europe/Paris") that does not exist is taken
// as UTC without a word, so every time in the report would be off by the
// zone's offset; the report says so on standard error.
#ifndef VELMAR_PLATFORM_ZONEFILE_H
#define VELMAR_PLATFORM_ZONEFILE_H

// True when tz names a zone by its file and the C library finds no such
// file. A name by its file contains a '/' or starts with ':'; a relative one
// is looked up under $TZDIR, else the system's zone folder. A text that
// reads as a POSIX rule ("SGT-8", "EST5EDT", "EST5EDT,M3.2.0/2", also after
// a ':') is never reported: the C library falls back to it. Null, empty and
// ":" alone are not reported. Always false on Windows, whose C library
// knows no zone files.
bool PlatformZoneFileMissing(const char* tz);

#endif  // VELMAR_PLATFORM_ZONEFILE_H
