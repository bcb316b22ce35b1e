// Every operation of the index, run on a file that may be damaged or
// hostile, steered by a string of bytes: shared by the damaged-file tests
// and the fuzz target. Each call must return, without touching memory it
// does not own; walks are bounded here because a cyclic file can make a
// caller's walk endless even though each step ends.
#ifndef VELMAR_TESTS_INDEX_DBI_EXERCISE_H
#define VELMAR_TESTS_INDEX_DBI_EXERCISE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "index/dbi.h"

// Reads steering bytes; zeros once they run out.
struct Steer {
  const unsigned char* Bytes;  // the steering bytes
  size_t Size;                 // how many
  size_t At = 0;               // next unread
};

inline unsigned SteerByte(Steer* s) {
  return s->At < s->Size ? s->Bytes[s->At++] : 0;
}

inline int32_t SteerInt(Steer* s) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | SteerByte(s);
  return static_cast<int32_t>(v);
}

// A short key from a few letters, so that keys meet the file's keys.
inline std::string SteerKey(Steer* s) {
  std::string key;
  for (unsigned n = SteerByte(s) % 8; n > 0; --n)
    key += static_cast<char>("ABK0\xE9"[SteerByte(s) % 5]);
  return key;
}

// Walks up to `limit` steps either way from an end.
inline void WalkBounded(DBI* dbi, bool forward, const char* key, int limit) {
  int32_t v = forward ? DbiFirst(dbi) : DbiLast(dbi);
  for (int i = 0; i < limit && v != 0; ++i) {
    v = forward ? DbiNext(dbi, key) : DbiPrev(dbi, key);
    DbiKey(dbi, nullptr);
  }
}

// Each operation once, with keys taken from the file where it has them.
inline void FixedTour(DBI* dbi, bool withDump) {
  WalkBounded(dbi, true, nullptr, 64);
  WalkBounded(dbi, false, nullptr, 64);
  DbiFirst(dbi);
  std::string key = DbiKey(dbi, nullptr) ? DbiKey(dbi, nullptr) : "";
  std::string head = key.substr(0, 1);
  DbiFind(dbi, key.c_str());
  DbiNext(dbi, key.c_str());
  DbiFind(dbi, head.c_str());
  DbiPrev(dbi, head.c_str());
  DbiAdd(dbi, key.c_str(), 7);
  DbiAdd(dbi, "zz", 8);
  DbiAdd(dbi, "", 9);
  DbiDelete(dbi, key.c_str(), 0);
  DbiDelete(dbi, head.c_str(), 7);
  DbiFind(dbi, "zz");
  DbiSetRecNo(dbi, 5);
  WalkBounded(dbi, true, nullptr, 64);
  if (withDump) DbiDump(dbi);
}

// Opens path as an index, makes the fixed tour with the dump (which
// prints), then runs up to 48 steered operations on it.
inline void ExerciseIndexFile(const char* path, Steer* s) {
  DBI* dbi = DbiCreate(nullptr);
  if (!dbi) return;
  if (DbiOpen(dbi, path) == 0) {
    FixedTour(dbi, true);
    for (int op = 0; op < 48 && s->At < s->Size; ++op) {
      std::string key = SteerKey(s);
      DbiLinks links;
      char buf[32768 + 1];
      switch (SteerByte(s) % 12) {
        case 0:
          WalkBounded(dbi, true, nullptr, 64);
          break;
        case 1:
          WalkBounded(dbi, false, nullptr, 64);
          break;
        case 2:
          DbiFind(dbi, key.c_str());
          WalkBounded(dbi, true, key.c_str(), 16);
          break;
        case 3:
          DbiFind(dbi, key.c_str());
          DbiPrev(dbi, key.c_str());
          DbiNext(dbi, nullptr);
          break;
        case 4:
          DbiAdd(dbi, key.c_str(), SteerInt(s));
          break;
        case 5:
          DbiDelete(dbi, key.c_str(), SteerInt(s));
          break;
        case 6:
          DbiGoto(dbi, SteerInt(s));
          DbiSetRecNo(dbi, SteerInt(s));
          break;
        case 7:
          DbiReadNode(dbi, SteerInt(s), &links, buf);
          break;
        case 8:
          DbiLink(dbi, SteerInt(s), SteerByte(s) & 1 ? DBI_LEFT : DBI_RIGHT, SteerInt(s));
          break;
        case 9:
          DbiRelease(dbi, SteerInt(s));
          DbiGet(dbi);
          break;
        case 10:
          DbiLabel(dbi, nullptr);
          DbiKey(dbi, buf);
          DbiError(nullptr);
          break;
        default:
          DbiDump(dbi);
          break;
      }
    }
  }
  DbiFree(&dbi);
}

#endif  // VELMAR_TESTS_INDEX_DBI_EXERCISE_H
