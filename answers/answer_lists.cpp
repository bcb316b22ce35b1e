// The list answers: sessions (streamed in the order they end) and users
// (per user over the sessions ending in the range), each a table of named
// columns in every format.
#include <algorithm>
#include <cstdio>

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

}  // namespace

int AnswerSessions(AnswerOptions* opt, OutBuf* out) {
  SessionWriter w;
  w.Options = opt;
  if (opt->Format == kFormatJson) JsonListOpen(out, "sessions");
  TableStart(&w.Rows, out, opt->Format, kSessionColumns, kSessionCount, &opt->Zone);
  ModelListener l = {};
  l.Context = &w;
  l.Ended = WriteSession;
  // What went out stays out; the failure follows it.
  int status = AnswerReadLogs(opt, &l, nullptr);
  if (status != 0) return status;
  if (opt->Format == kFormatJson) JsonListClose(out);
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
  if (opt->Format == kFormatJson) JsonListOpen(out, "users");
  Table t;
  TableStart(&t, out, opt->Format, columns, kUserCount, &opt->Zone);
  for (const UserTotals& u : users) {
    Cell cells[kUserCount] = {TextCell(u.User.c_str()), IntCell((int64_t)u.Sessions),
                              IntCell(u.Seconds),       IntCell(u.Longest),
                              TimeCell(u.First),        TimeCell(u.Last)};
    TableRow(&t, cells);
  }
  if (opt->Format == kFormatJson) JsonListClose(out);
  return 0;
}
