// The list answers: sessions (streamed in the order they end), users (per
// user over the sessions ending in the range) and info (per server's
// history and per file). Each is a table of named columns in every format.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "analytics/users.h"
#include "answers/answers.h"

namespace {

const char* const kStartedBy[] = {"connect", "rebuilt"};
const char* const kEndedBy[] = {"disconnect", "replaced", "reset", "open"};

const Column kSessionColumns[] = {
    {"computer", 8, false},     {"port", 6, false},       {"user", 10, false},
    {"start", 25, false},       {"end", 25, false},       {"seconds", 7, true},
    {"started", 7, false},      {"ended", 10, false},     {"connected_seconds", 17, true},
    {"start_record", 12, true}, {"end_record", 10, true},
};
const int kSessionCount = sizeof kSessionColumns / sizeof kSessionColumns[0];

// Opens the JSON document's list `name`.
void JsonOpen(OutBuf* out, const char* name) {
  OutText(out, "{\n  ");
  JsonString(out, name);
  OutText(out, ": [");
}

void JsonClose(OutBuf* out) {
  OutText(out, "\n  ]\n}\n");
}

// The sessions command while the model runs.
struct SessionWriter {
  const AnswerOptions* Options;  // the range
  Table Rows;                    // the output table
};

// A session overlaps [since, until) when some of its time lies inside; one
// of no length when its moment does.
bool Overlaps(const Session* s, EventTime since, EventTime until) {
  if (s->Start == s->End) return s->Start >= since && s->Start < until;
  return s->Start < until && s->End > since;
}

void WriteSession(void* context, const Session* s) {
  SessionWriter* w = (SessionWriter*)context;
  if (!Overlaps(s, w->Options->Since, w->Options->Until)) return;
  Cell cells[kSessionCount] = {
      TextCell(s->Computer),
      TextCell(s->Port),
      TextCell(s->User),
      TimeCell(s->Start),
      TimeCell(s->End),
      IntCell(s->End - s->Start),
      TextCell(kStartedBy[s->Started]),
      TextCell(kEndedBy[s->Ended]),
      s->HasConnected ? IntCell(s->Connected) : NullCell(),
      s->HasStartRecord ? IntCell(s->StartRecord) : NullCell(),
      s->HasEndRecord ? IntCell(s->EndRecord) : NullCell(),
  };
  TableRow(&w->Rows, cells);
}

const Column kUserColumns[] = {
    {"user", 4, false},         {"sessions", 8, true},
    {"seconds", 10, true},      {"longest_seconds", 15, true},
    {"first_start", 25, false}, {"last_end", 25, false},
};
const int kUserCount = sizeof kUserColumns / sizeof kUserColumns[0];

// info: one row per file, in the order of its history.
const Column kFileColumns[] = {
    {"computer", 0, false},      {"file", 0, false},           {"oldest_record", 0, false},
    {"newest_record", 0, false}, {"records", 0, false},        {"first_time", 0, false},
    {"last_time", 0, false},     {"wrapped", 0, false},        {"dirty", 0, false},
    {"join", 0, false},          {"shared_records", 0, false}, {"gap_seconds", 0, false},
    {"same_as", 0, false},       {"added_records", 0, false},  {"connects", 0, false},
    {"disconnects", 0, false},   {"resets", 0, false},         {"ports", 0, false},
    {"users", 0, false},
};
const int kFileCount = sizeof kFileColumns / sizeof kFileColumns[0];
// The cells of a file that its text block shows (computer to dirty), then
// join.
const int kFileTextCount = 9;
const int kJoinCell = 9;

// info: one row per history, each record counted once.
const Column kHistoryColumns[] = {
    {"computer", 0, false},    {"files", 0, false},  {"records", 0, false}, {"connects", 0, false},
    {"disconnects", 0, false}, {"resets", 0, false}, {"ports", 0, false},   {"users", 0, false},
};
const int kHistoryCount = sizeof kHistoryColumns / sizeof kHistoryColumns[0];
const int kHistoryCountsAt = 3;  // connects to users, as text shows them

const char* const kJoins[] = {"first", "continuous", "overlap", "gap"};

// The info row of one file of history h.
void FileCells(const HistoryFacts& h, const LogFacts& f, Cell* cells) {
  bool empty = f.Count == 0;
  cells[0] = h.Empty ? NullCell() : TextCell(h.Computer.c_str());
  cells[1] = TextCell(f.Path);
  cells[2] = empty ? NullCell() : IntCell(static_cast<int64_t>(f.Oldest));
  cells[3] = empty ? NullCell() : IntCell(static_cast<int64_t>(f.Oldest + f.Count - 1));
  cells[4] = IntCell(static_cast<int64_t>(f.Count));
  cells[5] = empty ? NullCell() : TimeCell(f.FirstTime);
  cells[6] = empty ? NullCell() : TimeCell(f.LastTime);
  cells[7] = f.Header.Known ? BoolCell(f.Header.Wrapped) : NullCell();
  cells[8] = f.Header.Known ? BoolCell(f.Header.Dirty) : NullCell();
  cells[9] = TextCell(kJoins[f.Join]);
  cells[10] = f.Join == kJoinOverlap ? IntCell(static_cast<int64_t>(f.Shared)) : NullCell();
  cells[11] = f.Join == kJoinGap ? IntCell(f.GapSeconds) : NullCell();
  cells[12] = f.SameAs != nullptr ? TextCell(f.SameAs) : NullCell();
  cells[13] = IntCell(static_cast<int64_t>(f.Added));
  cells[14] = IntCell(static_cast<int64_t>(f.Connects));
  cells[15] = IntCell(static_cast<int64_t>(f.Disconnects));
  cells[16] = IntCell(static_cast<int64_t>(f.Resets));
  cells[17] = IntCell(static_cast<int64_t>(f.Ports.size()));
  cells[18] = IntCell(static_cast<int64_t>(f.Users.size()));
}

void HistoryCells(const HistoryFacts& h, Cell* cells) {
  cells[0] = h.Empty ? NullCell() : TextCell(h.Computer.c_str());
  cells[1] = IntCell(static_cast<int64_t>(h.Files.size()));
  cells[2] = IntCell(static_cast<int64_t>(h.Records));
  cells[3] = IntCell(static_cast<int64_t>(h.Connects));
  cells[4] = IntCell(static_cast<int64_t>(h.Disconnects));
  cells[5] = IntCell(static_cast<int64_t>(h.Resets));
  cells[6] = IntCell(static_cast<int64_t>(h.Ports.size()));
  cells[7] = IntCell(static_cast<int64_t>(h.Users.size()));
}

// One "name  value" line of info's text form ("-" for a null value).
void InfoLine(OutBuf* out, const char* name, const Cell& value, ZoneCache* zone) {
  OutText(out, name);
  for (size_t n = strlen(name); n < 15; ++n) OutChar(out, ' ');
  CellValue(out, value, zone, false);
  if (value.Kind == kCellNull) OutChar(out, '-');
  OutChar(out, '\n');
}

// How a file joins its history, as text shows it: "first", "continuous",
// "overlap of 500 records" (and of which file it is a copy), "gap of 86400 s".
std::string JoinText(const LogFacts& f) {
  char text[64];
  if (f.Join == kJoinOverlap) {
    snprintf(text, sizeof text, "overlap of %llu record%s",
             static_cast<unsigned long long>(f.Shared), f.Shared == 1 ? "" : "s");
    std::string join = text;
    if (f.SameAs != nullptr) join += std::string(": the same records as ") + f.SameAs;
    return join;
  }
  if (f.Join == kJoinGap) {
    snprintf(text, sizeof text, "gap of %lld s", static_cast<long long>(f.GapSeconds));
    return text;
  }
  return kJoins[f.Join];
}

// Info as text: a block per history, its files in order, then its counts.
void InfoText(OutBuf* out, const HistoryFacts& h, ZoneCache* zone, bool first) {
  if (!first) OutChar(out, '\n');
  for (size_t k = 0; k < h.Files.size(); ++k) {
    const LogFacts& f = h.Files[k];
    Cell cells[kFileCount];
    FileCells(h, f, cells);
    for (int i = k == 0 ? 0 : 1; i < kFileTextCount; ++i)
      InfoLine(out, kFileColumns[i].Name, cells[i], zone);
    std::string join = JoinText(f);
    InfoLine(out, kFileColumns[kJoinCell].Name, TextCell(join.c_str()), zone);
  }
  Cell cells[kHistoryCount];
  HistoryCells(h, cells);
  for (int i = kHistoryCountsAt; i < kHistoryCount; ++i)
    InfoLine(out, kHistoryColumns[i].Name, cells[i], zone);
}

}  // namespace

int AnswerSessions(AnswerOptions* opt, OutBuf* out) {
  SessionWriter w;
  w.Options = opt;
  if (opt->Format == kFormatJson) JsonOpen(out, "sessions");
  TableStart(&w.Rows, out, opt->Format, kSessionColumns, kSessionCount, &opt->Zone);
  ModelListener l = {};
  l.Context = &w;
  l.Ended = WriteSession;
  // What went out stays out; the failure follows it.
  int status = AnswerReadLogs(opt, &l, nullptr);
  if (status != 0) return status;
  if (opt->Format == kFormatJson) JsonClose(out);
  return 0;
}

int AnswerUsers(AnswerOptions* opt, OutBuf* out) {
  UserCount count;
  ModelListener l = UserListener(&count, opt->Since, opt->Until);
  int status = AnswerReadLogs(opt, &l, nullptr);
  if (status != 0) return status;
  std::vector<UserTotals> users = UserRanking(&count);
  Column columns[kUserCount];
  std::copy(kUserColumns, kUserColumns + kUserCount, columns);
  for (const UserTotals& u : users)
    columns[0].Width = std::max(columns[0].Width, (int)u.User.size());
  if (opt->Format == kFormatJson) JsonOpen(out, "users");
  Table t;
  TableStart(&t, out, opt->Format, columns, kUserCount, &opt->Zone);
  for (const UserTotals& u : users) {
    Cell cells[kUserCount] = {TextCell(u.User.c_str()), IntCell((int64_t)u.Sessions),
                              IntCell(u.Seconds),       IntCell(u.Longest),
                              TimeCell(u.First),        TimeCell(u.Last)};
    TableRow(&t, cells);
  }
  if (opt->Format == kFormatJson) JsonClose(out);
  return 0;
}

int AnswerInfo(AnswerOptions* opt, OutBuf* out) {
  std::vector<HistoryFacts> facts;
  ModelListener none = {};
  int status = AnswerReadLogs(opt, &none, &facts);
  if (status != 0) return status;
  if (opt->Format == kFormatText) {
    for (size_t i = 0; i < facts.size(); ++i) InfoText(out, facts[i], &opt->Zone, i == 0);
    return 0;
  }
  Table t;
  if (opt->Format == kFormatJson) {
    // The histories with their counts, then the files as CSV has them.
    JsonOpen(out, "histories");
    TableStart(&t, out, opt->Format, kHistoryColumns, kHistoryCount, &opt->Zone);
    for (const HistoryFacts& h : facts) {
      Cell cells[kHistoryCount];
      HistoryCells(h, cells);
      TableRow(&t, cells);
    }
    OutText(out, "\n  ],\n  ");
    JsonString(out, "logs");
    OutText(out, ": [");
  }
  TableStart(&t, out, opt->Format, kFileColumns, kFileCount, &opt->Zone);
  for (const HistoryFacts& h : facts) {
    for (const LogFacts& f : h.Files) {
      Cell cells[kFileCount];
      FileCells(h, f, cells);
      TableRow(&t, cells);
    }
  }
  if (opt->Format == kFormatJson) JsonClose(out);
  return 0;
}
