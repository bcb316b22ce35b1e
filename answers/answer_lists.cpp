// The list answers: sessions (streamed in the order they end), users (per
// user over the sessions ending in the range) and info (per log). Each is a
// table of named columns in every format.
#include <algorithm>
#include <cstring>

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

const Column kInfoColumns[] = {
    {"file", 0, false},        {"oldest_record", 0, false}, {"newest_record", 0, false},
    {"records", 0, false},     {"first_time", 0, false},    {"last_time", 0, false},
    {"wrapped", 0, false},     {"dirty", 0, false},         {"connects", 0, false},
    {"disconnects", 0, false}, {"resets", 0, false},        {"ports", 0, false},
    {"users", 0, false},
};
const int kInfoCount = sizeof kInfoColumns / sizeof kInfoColumns[0];

// The info row of one log.
void InfoCells(const char* path, const LogFacts& f, Cell* cells) {
  bool empty = f.Count == 0;
  cells[0] = TextCell(path);
  cells[1] = empty ? NullCell() : IntCell(f.Oldest);
  cells[2] = empty ? NullCell() : IntCell((int64_t)f.Oldest + f.Count - 1);
  cells[3] = IntCell(f.Count);
  cells[4] = empty ? NullCell() : TimeCell(f.FirstTime);
  cells[5] = empty ? NullCell() : TimeCell(f.LastTime);
  cells[6] = f.Header.Known ? BoolCell(f.Header.Wrapped) : NullCell();
  cells[7] = f.Header.Known ? BoolCell(f.Header.Dirty) : NullCell();
  cells[8] = IntCell((int64_t)f.Connects);
  cells[9] = IntCell((int64_t)f.Disconnects);
  cells[10] = IntCell((int64_t)f.Resets);
  cells[11] = IntCell((int64_t)f.Ports.size());
  cells[12] = IntCell((int64_t)f.Users.size());
}

// Info as text: a block of "name  value" lines per log.
void InfoText(OutBuf* out, const Cell* cells, ZoneCache* zone, bool first) {
  if (!first) OutChar(out, '\n');
  for (int i = 0; i < kInfoCount; ++i) {
    OutText(out, kInfoColumns[i].Name);
    for (size_t n = strlen(kInfoColumns[i].Name); n < 15; ++n) OutChar(out, ' ');
    CellValue(out, cells[i], zone, false);
    if (cells[i].Kind == kCellNull) OutChar(out, '-');
    OutChar(out, '\n');
  }
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
  ModelFailure failure = {};
  int ok = ModelReadLogs(opt->Logs.data(), (int)opt->Logs.size(), &l, nullptr, kAlways, kForever,
                         &failure);
  // What went out stays out; the failure follows it.
  if (!ok) return AnswerModelFailed(&failure);
  if (opt->Format == kFormatJson) JsonClose(out);
  return 0;
}

int AnswerUsers(AnswerOptions* opt, OutBuf* out) {
  UserCount count;
  ModelListener l = UserListener(&count, opt->Since, opt->Until);
  ModelFailure failure = {};
  if (!ModelReadLogs(opt->Logs.data(), (int)opt->Logs.size(), &l, nullptr, kAlways, kForever,
                     &failure)) {
    return AnswerModelFailed(&failure);
  }
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
  std::vector<LogFacts> facts;
  ModelListener none = {};
  ModelFailure failure = {};
  if (!ModelReadLogs(opt->Logs.data(), (int)opt->Logs.size(), &none, &facts, opt->Since, opt->Until,
                     &failure)) {
    return AnswerModelFailed(&failure);
  }
  Table t;
  if (opt->Format == kFormatJson) JsonOpen(out, "logs");
  if (opt->Format != kFormatText) {
    TableStart(&t, out, opt->Format, kInfoColumns, kInfoCount, &opt->Zone);
  }
  for (size_t i = 0; i < facts.size(); ++i) {
    Cell cells[kInfoCount];
    InfoCells(opt->Logs[i], facts[i], cells);
    if (opt->Format == kFormatText) {
      InfoText(out, cells, &opt->Zone, i == 0);
    } else {
      TableRow(&t, cells);
    }
  }
  if (opt->Format == kFormatJson) JsonClose(out);
  return 0;
}
