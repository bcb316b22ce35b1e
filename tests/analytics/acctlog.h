// Small hand-made accounting logs for the answer tests: requests given by
// status, event time on the test day (UTC), NAS, port, user, session id,
// session time and delay, written in any of the four formats by the
// product's own writers, in the order given (the order received).
#ifndef VELMAR_TESTS_ANALYTICS_ACCTLOG_H
#define VELMAR_TESTS_ANALYTICS_ACCTLOG_H

#include <string>
#include <utility>
#include <vector>

#include "accounting/acct.h"
#include "analytics/busy.h"
#include "analytics/model.h"

// One request.
struct AcctReq {
  AcctStatus Status;  // Start, Stop, Interim-Update, Accounting-On or -Off
  std::string When;   // event time, as AnswerRec::When
  std::string Nas;    // NAS-IP-Address
  uint32_t Port;      // NAS-Port
  std::string User;   // User-Name
  std::string Id;     // Acct-Session-Id
  int64_t Seconds;    // Acct-Session-Time, -1 for none
  uint32_t Delay;     // Acct-Delay-Time: received this much after When
};

const char* const kNas1 = "10.0.0.1";
const char* const kNas2 = "10.0.0.2";

AcctReq Start(const std::string& when, const std::string& id, const std::string& user,
              uint32_t port, const std::string& nas = kNas1, uint32_t delay = 0);
AcctReq Stop(const std::string& when, const std::string& id, const std::string& user, uint32_t port,
             int64_t seconds, const std::string& nas = kNas1, uint32_t delay = 0);
AcctReq Interim(const std::string& when, const std::string& id, const std::string& user,
                uint32_t port, int64_t seconds, const std::string& nas = kNas1);
AcctReq On(const std::string& when, const std::string& nas = kNas1);
AcctReq Off(const std::string& when, const std::string& nas = kNas1);

// Writes the requests to path in the format of kind. Returns path.
std::string WriteAcct(const std::string& path, AcctKind kind, const std::vector<AcctReq>& reqs);

// What a run of the model over some logs gave: each session as a line
// "NAS PORT USER HH:MM:SS-HH:MM:SS STARTED/ENDED CONNECTED" (times as
// SessionLine writes them, no record places), the warnings, the busy
// table's seconds at exactly k lines and its total figures.
struct AcctRun {
  bool Ok = false;                                     // the model read every file
  std::string Failure;                                 // its message when not
  std::vector<std::string> Sessions;                   // in the order they ended
  std::vector<std::string> Warnings;                   // as the listener heard them
  std::vector<int64_t> TimeAt;                         // covered seconds at 0, 1, 2... lines
  BusyFigures Total = {};                              // over everything
  std::vector<std::pair<EventTime, EventTime>> Times;  // each session's start and end
  uint64_t Reached = 0;  // changes busy took at its horizon, not at their time
};

// Runs the model over paths (kinds told from their content) with busy in
// hourly buckets and N = lines.
AcctRun RunAcct(const std::vector<std::string>& paths, int64_t lines = 0);

#endif  // VELMAR_TESTS_ANALYTICS_ACCTLOG_H
