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

// True when the C library takes tz as a zone without daylight time and
// without history, whose offset is the same at every instant: a POSIX rule
// of a zone name and an offset alone ("SGT-8", "<+0530>-5:30", "UTC0"),
// also after a ':', that names no zone file. False for anything else (null,
// a zone file, a rule with daylight time), and always on Windows: a caller
// then asks the C library about each instant.
bool PlatformZoneFixed(const char* tz);

#endif  // VELMAR_PLATFORM_ZONEFILE_H
