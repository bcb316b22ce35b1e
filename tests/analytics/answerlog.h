// Small hand-made logs for the answer tests: records given as UTC times,
// computer, event code and insertion strings, written as real .evt files
// into a temporary folder, and the model run over them.
#ifndef VELMAR_TESTS_ANALYTICS_ANSWERLOG_H
#define VELMAR_TESTS_ANALYTICS_ANSWERLOG_H

#include <string>
#include <vector>

#include "analytics/busy.h"
#include "analytics/model.h"

// One record: "HH:MM[:SS]" on the test day 2026-12-08 UTC, or a whole
// "YYYY-MM-DDTHH:MM:SS" UTC time.
struct AnswerRec {
  std::string When;                  // its time
  std::string Computer;              // computer name stored in it
  int Code;                          // event code (low 16 bits)
  std::vector<std::string> Strings;  // insertion strings
};

// The test day's UTC midnight plus h:m:s, and the parse of AnswerRec.When.
EventTime TestTime(const std::string& when);

// connect / disconnect / reset records in the RemoteAccess form.
AnswerRec Connect(const std::string& when, const std::string& user, const std::string& port,
                  const std::string& computer = "RAS1");
AnswerRec Disconnect(const std::string& when, const std::string& user, const std::string& port,
                     const std::string& minutes, const std::string& seconds,
                     const std::string& computer = "RAS1");
AnswerRec Reset(const std::string& when, int code = 6005, const std::string& computer = "RAS1");
AnswerRec Other(const std::string& when,
                const std::string& computer = "RAS1");  // an unrelated record

// A temporary folder that removes itself and what it holds.
struct TestFolder {
  std::string Dir;  // the folder
  TestFolder();
  ~TestFolder();
  // Writes the records as DIR/NAME (records numbered from firstNumber), a
  // circular log of maxSize bytes when it is not 0. Returns the path.
  std::string Log(const std::string& name, const std::vector<AnswerRec>& recs, uint32_t maxSize = 0,
                  uint32_t firstNumber = 1);
};

// A session as one line, as SessionLines gives them.
std::string SessionLine(const Session* s);

// Runs the model over the logs and gives each session as one line:
// "COMPUTER PORT USER HH:MM:SS-HH:MM:SS STARTED/ENDED CONNECTED #START-#END"
// (times UTC; "d" before a time on another day than the test day; "-" for
// what is missing). Fails the test when the model fails.
std::vector<std::string> SessionLines(const std::vector<std::string>& paths);

// Runs the model into b (set up by the caller). Returns the model's result.
int RunBusy(const std::vector<std::string>& paths, BusyModel* b, ModelFailure* failure);

#endif  // VELMAR_TESTS_ANALYTICS_ANSWERLOG_H
