// velmar-log's busy answer as a chart (busy --format svg): a standalone SVG
// file drawn with the one SVG writer, with its <title> and <desc> and
// labelled axes.
#ifndef VELMAR_CHARTS_BUSYCHART_H
#define VELMAR_CHARTS_BUSYCHART_H

#include "answers/answers.h"

// Runs the busy model over opt's logs (AnswerRunBusy with opt's step and
// range) and draws it on out: bars of the mean and the peak lines in use
// per bucket over the covered time, the pool's lines (opt->Lines, when
// known) as a dashed line; or for the hours of the week (opt->WeekHour) a
// 7 x 24 heat map of the mean, grey where no log covers the hour. Returns
// 0, or the exit status after AnswerRunBusy's message.
int AnswerBusyChart(AnswerOptions* opt, OutBuf* out);

#endif  // VELMAR_CHARTS_BUSYCHART_H
