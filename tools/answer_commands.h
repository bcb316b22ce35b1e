// velmar-log's answering commands: the command line of info, sessions,
// users, busy and capacity over the shared answers (answers/answers.h).
#ifndef VELMAR_TOOLS_ANSWER_COMMANDS_H
#define VELMAR_TOOLS_ANSWER_COMMANDS_H

#include "answers/answers.h"

// Runs the answering command `command` with its arguments. Returns the exit
// status, or -1 when command is not one of them.
int RunAnswer(const char* command, int argc, char** argv);

// The usage lines of the answering commands, for velmar-log's usage text.
extern const char* const kAnswerUsage;

#endif  // VELMAR_TOOLS_ANSWER_COMMANDS_H
