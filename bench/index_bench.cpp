// Benchmark of the disk index against SQLite and std::multimap: N adds of
// 500 distinct 7-character user names with random values, then a full walk
// in key order. Prints the times (wall and CPU), a checksum and the peak
// resident memory.
//   velmar-index-bench ENGINE N [DIR] [--no-walk]
// ENGINE is dbi, sqlite, multimap or none (the program's own baseline).
#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "index/dbi.h"

namespace {

// Totals of one engine's run.
struct Result {
  double AddSeconds = 0;   // the N adds
  double WalkSeconds = 0;  // the walk in key order
  double CpuSeconds = 0;   // user and system time of both
  long Count = 0;          // entries the walk visited
  uint64_t Sum = 0;        // their values, summed
};

double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// User and system time of the process so far: on a machine shared with
// other work it varies far less than the time on the clock.
double CpuNow() {
  struct rusage u;
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::vector<std::string> UserNames() {
  std::mt19937 rng(500);
  std::vector<std::string> names(500);
  for (std::string& n : names) {
    for (int i = 0; i < 7; ++i) n += static_cast<char>('a' + rng() % 26);
  }
  return names;
}

// The same sequence of (name, value) for every engine; values never 0.
struct Feed {
  std::vector<std::string> Names = UserNames();  // the 500 user names
  std::mt19937 Rng{12345};                       // names and values
  const std::string& Name() { return Names[Rng() % Names.size()]; }
  int32_t Value() { return static_cast<int32_t>(Rng() % 2000000000u) + 1; }
};

Result RunDbi(long n, const std::string& dir, bool walk) {
  Result r;
  std::string path = dir + "/bench.dbi";
  DBI* dbi = DbiCreate(nullptr);
  if (DbiNew(dbi, path.c_str(), "USER", 20) != 0) {
    std::fprintf(stderr, "DbiNew: %s\n", DbiError(nullptr));
    std::exit(1);
  }
  Feed feed;
  double c0 = CpuNow();
  double t0 = Now();
  for (long i = 0; i < n; ++i) {
    const std::string& name = feed.Name();
    if (DbiAdd(dbi, name.c_str(), feed.Value()) != 0) {
      std::fprintf(stderr, "DbiAdd: %s\n", DbiError(nullptr));
      std::exit(1);
    }
  }
  double t1 = Now();
  if (walk) {
    for (int32_t v = DbiFirst(dbi); v != 0; v = DbiNext(dbi, nullptr)) {
      r.Count++;
      r.Sum += static_cast<uint32_t>(v);
    }
  }
  DbiFree(&dbi);
  double t2 = Now();
  r.CpuSeconds = CpuNow() - c0;
  std::remove(path.c_str());
  r.AddSeconds = t1 - t0;
  r.WalkSeconds = t2 - t1;
  return r;
}

void Exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", err ? err : "?");
    std::exit(1);
  }
}

Result RunSqlite(long n, const std::string& dir, bool walk) {
  Result r;
  std::string path = dir + "/bench.sqlite";
  std::remove(path.c_str());
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::exit(1);
  Exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
  Exec(db, "CREATE TABLE usage(name TEXT, secs INTEGER); CREATE INDEX usage_name ON usage(name);");
  Feed feed;
  double c0 = CpuNow();
  double t0 = Now();
  Exec(db, "BEGIN");
  sqlite3_stmt* ins = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO usage VALUES(?, ?)", -1, &ins, nullptr);
  for (long i = 0; i < n; ++i) {
    const std::string& name = feed.Name();
    sqlite3_bind_text(ins, 1, name.c_str(), static_cast<int>(name.size()), SQLITE_STATIC);
    sqlite3_bind_int(ins, 2, feed.Value());
    if (sqlite3_step(ins) != SQLITE_DONE) std::exit(1);
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  Exec(db, "COMMIT");
  double t1 = Now();
  if (walk) {
    sqlite3_stmt* scan = nullptr;
    sqlite3_prepare_v2(db, "SELECT name, secs FROM usage ORDER BY name", -1, &scan, nullptr);
    while (sqlite3_step(scan) == SQLITE_ROW) {
      r.Count++;
      r.Sum += static_cast<uint32_t>(sqlite3_column_int(scan, 1));
    }
    sqlite3_finalize(scan);
  }
  sqlite3_close(db);
  double t2 = Now();
  r.CpuSeconds = CpuNow() - c0;
  std::remove(path.c_str());
  r.AddSeconds = t1 - t0;
  r.WalkSeconds = t2 - t1;
  return r;
}

Result RunMultimap(long n, bool walk) {
  Result r;
  Feed feed;
  double c0 = CpuNow();
  double t0 = Now();
  auto* map = new std::multimap<std::string, int32_t>;
  for (long i = 0; i < n; ++i) {
    const std::string& name = feed.Name();
    map->emplace(name, feed.Value());
  }
  double t1 = Now();
  if (walk) {
    for (const auto& e : *map) {
      r.Count++;
      r.Sum += static_cast<uint32_t>(e.second);
    }
  }
  delete map;
  double t2 = Now();
  r.CpuSeconds = CpuNow() - c0;
  r.AddSeconds = t1 - t0;
  r.WalkSeconds = t2 - t1;
  return r;
}

long PeakKb() {
  struct rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s dbi|sqlite|multimap|none N [DIR] [--no-walk]\n", argv[0]);
    return 2;
  }
  std::string engine = argv[1];
  long n = std::atol(argv[2]);
  std::string dir = argc > 3 && argv[3][0] != '-' ? argv[3] : ".";
  bool walk = !(argc > 3 && std::strcmp(argv[argc - 1], "--no-walk") == 0);
  Result r;
  if (engine == "dbi") {
    r = RunDbi(n, dir, walk);
  } else if (engine == "sqlite") {
    r = RunSqlite(n, dir, walk);
  } else if (engine == "multimap") {
    r = RunMultimap(n, walk);
  } else if (engine != "none") {
    std::fprintf(stderr, "unknown engine %s\n", engine.c_str());
    return 2;
  }
  if (walk && engine != "none" && r.Count != n) {
    std::fprintf(stderr, "%s walked %ld of %ld entries\n", engine.c_str(), r.Count, n);
    return 1;
  }
  std::printf("%s %ld add=%.3f walk=%.3f total=%.3f cpu=%.3f peak_kb=%ld sum=%llu\n",
              engine.c_str(), n, r.AddSeconds, r.WalkSeconds, r.AddSeconds + r.WalkSeconds,
              r.CpuSeconds, PeakKb(), static_cast<unsigned long long>(r.Sum));
  return 0;
}
