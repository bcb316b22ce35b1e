// The list answers: sessions (streamed in the order they end) and users
// (per user over the sessions ending in the range, with their total), each
// a table of named columns in every format.
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
