// The list answers: sessions (streamed in the order they end), users (per
// user over the sessions ending in the range, with their total) and info
// (per server's history and per file). Each is a table of named columns in
// every format.
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
    {"computer", 8, false, kCellText, nullptr},
    {"port", 6, false, kCellText, nullptr},
    {"user", 10, false, kCellText, nullptr},
    {"start", 25, false, kCellTime, nullptr},
    {"end", 25, false, kCellTime, nullptr},
    {"seconds", 14, true, kCellSeconds, "time (h:mm:ss)"},
    {"started", 7, false, kCellText, nullptr},
    {"ended", 10, false, kCellText, nullptr},
    {"connected_seconds", 19, true, kCellSeconds, "connected (h:mm:ss)"},
    {"start_record", 12, true, kCellInt, nullptr},
    {"end_record", 10, true, kCellInt, nullptr},
};
const int kSessionCount = sizeof kSessionColumns / sizeof kSessionColumns[0];

// The sessions command while the model runs.
struct SessionWriter {
  const AnswerOptions* Options;  // the range and the filter
  Table Rows;                    // the output table
};

// A session overlaps [since, until) when some of its time lies inside; one
// of no length when its moment does.
bool Overlaps(const Session* s, EventTime since, EventTime until) {
  if (s->Start == s->End) return s->Start >= since && s->Start < until;
  return s->Start < until && s->End > since;
}

void WriteSession(void* context, const Session* s) {
  SessionWriter* w = static_cast<SessionWriter*>(context);
  if (!Overlaps(s, w->Options->Since, w->Options->Until)) return;
  if (!FilterMatches(&w->Options->Filter, s)) return;
  Cell cells[kSessionCount] = {
      TextCell(s->Computer),
      TextCell(s->Port),
      TextCell(s->User),
      TimeCell(s->Start),
      TimeCell(s->End),
      SecondsCell(s->End - s->Start),
      TextCell(kStartedBy[s->Started]),
      TextCell(kEndedBy[s->Ended]),
      s->HasConnected ? SecondsCell(s->Connected) : NullCell(),
      s->HasStartRecord ? IntCell(s->StartRecord) : NullCell(),
      s->HasEndRecord ? IntCell(s->EndRecord) : NullCell(),
  };
  TableRow(&w->Rows, cells);
}

const Column kUserColumns[] = {
    {"user", 4, false, kCellText, nullptr},
    {"sessions", 8, true, kCellInt, nullptr},
    {"seconds", 14, true, kCellSeconds, "time (h:mm:ss)"},
    {"longest_seconds", 17, true, kCellSeconds, "longest (h:mm:ss)"},
    {"first_start", 25, false, kCellTime, nullptr},
    {"last_end", 25, false, kCellTime, nullptr},
};
const int kUserCount = sizeof kUserColumns / sizeof kUserColumns[0];

void UserCells(const UserTotals& u, Cell* cells) {
  cells[0] = TextCell(u.User.c_str());
  cells[1] = IntCell(static_cast<int64_t>(u.Sessions));
  cells[2] = SecondsCell(u.Seconds);
  cells[3] = SecondsCell(u.Longest);
  cells[4] = TimeCell(u.First);
  cells[5] = TimeCell(u.Last);
}

// The users in the order --sort asks (their ranking, most time first,
// without it), as places in users.
std::vector<size_t> UserOrder(const std::vector<UserTotals>& users, int column) {
  std::vector<size_t> order(users.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  if (column < 0) return order;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    Cell x[kUserCount], y[kUserCount];
    UserCells(users[a], x);
    UserCells(users[b], y);
    return CellBefore(x[column], y[column]);
  });
  return order;
}

// The total over every user the answer counts (not only those --top
// shows), as text gives it under the rows.
void UserTotal(const std::vector<UserTotals>& users, Table* t) {
  UserTotals all = {"", 0, 0, 0, kForever, kAlways};
  for (const UserTotals& u : users) {
    all.Sessions += u.Sessions;
    all.Seconds += u.Seconds;
    all.Longest = std::max(all.Longest, u.Longest);
    all.First = std::min(all.First, u.First);
    all.Last = std::max(all.Last, u.Last);
  }
  std::string label = "total: " + std::to_string(users.size()) + " user";
  if (users.size() != 1) label += "s";
  Cell cells[kUserCount];
  UserCells(all, cells);
  cells[0] = TextCell(label.c_str());
  if (users.empty()) cells[4] = cells[5] = NullCell();
  TableRow(t, cells);
}
// info: one row per file, in the order of its history.
const Column kFileColumns[] = {
    {"computer", 0, false, kCellText, nullptr},
    {"file", 0, false, kCellText, nullptr},
    {"oldest_record", 0, false, kCellInt, nullptr},
    {"newest_record", 0, false, kCellInt, nullptr},
    {"records", 0, false, kCellInt, nullptr},
    {"first_time", 0, false, kCellTime, nullptr},
    {"last_time", 0, false, kCellTime, nullptr},
    {"wrapped", 0, false, kCellBool, nullptr},
    {"dirty", 0, false, kCellBool, nullptr},
    {"join", 0, false, kCellText, nullptr},
    {"shared_records", 0, false, kCellInt, nullptr},
    {"gap_seconds", 0, false, kCellSeconds, nullptr},
    {"same_as", 0, false, kCellText, nullptr},
    {"added_records", 0, false, kCellInt, nullptr},
    {"connects", 0, false, kCellInt, nullptr},
    {"disconnects", 0, false, kCellInt, nullptr},
    {"resets", 0, false, kCellInt, nullptr},
    {"ports", 0, false, kCellInt, nullptr},
    {"users", 0, false, kCellInt, nullptr},
};
const int kFileCount = sizeof kFileColumns / sizeof kFileColumns[0];
// The cells of a file that its text block shows (computer to dirty), then
// join.
const int kFileTextCount = 9;
const int kJoinCell = 9;

// info: one row per history, each record counted once.
const Column kHistoryColumns[] = {
    {"computer", 0, false, kCellText, nullptr},   {"files", 0, false, kCellInt, nullptr},
    {"records", 0, false, kCellInt, nullptr},     {"connects", 0, false, kCellInt, nullptr},
    {"disconnects", 0, false, kCellInt, nullptr}, {"resets", 0, false, kCellInt, nullptr},
    {"ports", 0, false, kCellInt, nullptr},       {"users", 0, false, kCellInt, nullptr},
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
  char text[64], clock[32];
  if (f.Join == kJoinOverlap) {
    snprintf(text, sizeof text, "overlap of %llu record%s",
             static_cast<unsigned long long>(f.Shared), f.Shared == 1 ? "" : "s");
    std::string join = text;
    if (f.SameAs != nullptr) join += std::string(": the same records as ") + f.SameAs;
    return join;
  }
  if (f.Join == kJoinGap) {
    snprintf(text, sizeof text, "gap of %s", ClockText(f.GapSeconds, clock, sizeof clock));
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
  if (opt->Format == kFormatJson) JsonListOpen(out, "sessions");
  TableStart(&w.Rows, out, opt->Format, kSessionColumns, kSessionCount, &opt->Zone, "sessions");
  ModelListener l = {};
  l.Context = &w;
  l.Ended = WriteSession;
  // What went out stays out; the failure follows it.
  int status = AnswerReadLogs(opt, &l, nullptr);
  if (status != 0) return status;
  if (opt->Format == kFormatJson) JsonListClose(out);
  TableEnd(&w.Rows);
  return 0;
}

int AnswerUsers(AnswerOptions* opt, OutBuf* out) {
  int column = -1;
  if (!AnswerSortColumn(opt, kUserColumns, kUserCount, -1, &column)) return kAnswerFailed;
  UserCount count;
  ModelListener l = UserListener(&count, opt->Since, opt->Until, &opt->Filter);
  int status = AnswerReadLogs(opt, &l, nullptr);
  if (status != 0) return status;
  std::vector<UserTotals> users = UserRanking(&count);
  std::vector<size_t> order = UserOrder(users, column);
  order.resize(AnswerShown(opt, order.size()));
  Column columns[kUserCount];
  std::copy(kUserColumns, kUserColumns + kUserCount, columns);
  // Room for the names, and for the total's label ("total: 289 users").
  columns[0].Width = 13 + static_cast<int>(std::to_string(users.size()).size());
  for (size_t i : order)
    columns[0].Width = std::max(columns[0].Width, static_cast<int>(users[i].User.size()));
  if (opt->Format == kFormatJson) JsonListOpen(out, "users");
  Table t;
  TableStart(&t, out, opt->Format, columns, kUserCount, &opt->Zone, "users");
  for (size_t i : order) {
    Cell cells[kUserCount];
    UserCells(users[i], cells);
    TableRow(&t, cells);
  }
  if (opt->Format == kFormatText) UserTotal(users, &t);
  if (opt->Format == kFormatJson) JsonListClose(out);
  TableEnd(&t);
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
    JsonListOpen(out, "histories");
    TableStart(&t, out, opt->Format, kHistoryColumns, kHistoryCount, &opt->Zone, nullptr);
    for (const HistoryFacts& h : facts) {
      Cell cells[kHistoryCount];
      HistoryCells(h, cells);
      TableRow(&t, cells);
    }
    OutText(out, "\n  ],\n  ");
    JsonString(out, "logs");
    OutText(out, ": [");
  }
  TableStart(&t, out, opt->Format, kFileColumns, kFileCount, &opt->Zone, nullptr);
  for (const HistoryFacts& h : facts) {
    for (const LogFacts& f : h.Files) {
      Cell cells[kFileCount];
      FileCells(h, f, cells);
      TableRow(&t, cells);
    }
  }
  if (opt->Format == kFormatJson) JsonListClose(out);
  return 0;
}
