// velmar-log's answering commands (info, sessions, users, busy, allbusy,
// capacity) once their arguments are read: the zone, the range, the pool's lines,
// then the answer (answers/answers.h, charts/busychart.h) on standard
// output.
#ifndef VELMAR_TOOLS_ANSWER_COMMANDS_H
#define VELMAR_TOOLS_ANSWER_COMMANDS_H

#include "tools/cmdline.h"

// Runs the answering command `command` (its bit) over args: TZ for every
// time of the run (UTC with --utc, else TZ, else SGT-8 as the report has
// it; a zone file that is missing is said), --since and --until read in it
// (words and times relative to now against one reading of the clock), for
// busy, allbusy and capacity the pool's lines from --lines, --ports or the
// RasPorts.txt lists beside the logs; then the answer, buffered to standard
// output and flushed. Returns the exit status: 0, or 2 after a message.
int RunAnswerCommand(int command, ToolArgs* args);

#endif  // VELMAR_TOOLS_ANSWER_COMMANDS_H
