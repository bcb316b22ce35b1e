// The zone-file check against the C library's zone folder.
#include "platform/zonefile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Whether text starts as a POSIX rule does: a zone name of at least three
// letters (or one in angle brackets), then an offset with an optional sign.
bool ReadsAsRule(const char* text) {
  const char* p = text;
  if (*p == '<') {
    p = std::strchr(p, '>');
    if (p == nullptr) return false;
    ++p;
  } else {
    while (IsLetter(*p)) ++p;
    if (p - text < 3) return false;
  }
  if (*p == '+' || *p == '-') ++p;
  return *p >= '0' && *p <= '9';
}

// Reads "[+-]hh[:mm[:ss]]" at *p, the hours 0 to 24, the rest 0 to 59.
bool ReadsAsOffset(const char** p) {
  if (**p == '+' || **p == '-') ++*p;
  for (int part = 0; part < 3; ++part) {
    if (part > 0 && **p != ':') return true;
    if (part > 0) ++*p;
    int digits = 0, value = 0;
    for (; **p >= '0' && **p <= '9' && digits < 3; ++*p, ++digits) value = value * 10 + (**p - '0');
    if (digits == 0 || value > (part == 0 ? 24 : 59)) return false;
  }
  return true;
}

// Whether text is a zone name and an offset and nothing more: a rule
// without daylight time.
bool ReadsAsFixedRule(const char* text) {
  if (!ReadsAsRule(text)) return false;
  const char* p = text;
  if (*p == '<') {
    p = std::strchr(p, '>') + 1;
  } else {
    while (IsLetter(*p)) ++p;
  }
  return ReadsAsOffset(&p) && *p == '\0';
}

// Whether path is a regular file (a zone file, as far as the name goes).
bool IsFile(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool PlatformZoneFileMissing(const char* tz) {
  if (tz == nullptr || (tz[0] != ':' && std::strchr(tz, '/') == nullptr)) return false;
  const char* name = tz[0] == ':' ? tz + 1 : tz;
  if (name[0] == '\0' || ReadsAsRule(name)) return false;
  if (name[0] == '/') return !IsFile(name);
  const char* dir = std::getenv("TZDIR");
  if (dir == nullptr || dir[0] == '\0') dir = "/usr/share/zoneinfo";
  char path[4096];
  int n = std::snprintf(path, sizeof path, "%s/%s", dir, name);
  return n > 0 && static_cast<size_t>(n) < sizeof path && !IsFile(path);
}

bool PlatformZoneFixed(const char* tz) {
  if (tz == nullptr) return false;
  const char* name = tz[0] == ':' ? tz + 1 : tz;
  if (!ReadsAsFixedRule(name)) return false;
  // The C library tries a zone file of that name first.
  const char* dir = std::getenv("TZDIR");
  if (dir == nullptr || dir[0] == '\0') dir = "/usr/share/zoneinfo";
  char path[4096];
  int n = std::snprintf(path, sizeof path, "%s/%s", dir, name);
  struct stat st;
  return n > 0 && static_cast<size_t>(n) < sizeof path && stat(path, &st) != 0 && errno == ENOENT;
}
