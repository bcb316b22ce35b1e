// The program `velmar` as a whole: where its settings come from, and
// whether the run is a report or a download.
#ifndef VELMAR_DRIVER_PROGRAM_H
#define VELMAR_DRIVER_PROGRAM_H

// The whole program: settings from a web form when one was handed over;
// else from the command line, or the usage text (exit status 1) without
// arguments or with a first argument that is neither an offset nor a date
// (ArgumentIsOffsetOrDate); a note when TZ names a zone file that does not
// exist; then head, report and release, or for a form that asks for
// charts the page with its charts ahead of the report (RunChartPage), or
// for a form that asks for a download (charts/download.h, over the
// report's computer and window) the file, or the page with its error
// line, and release. SIGXFSZ is ignored,
// so a file size limit fails a write instead of ending the process. Returns
// the exit status: 0 after a report or a whole download, 2 after an error.
int VelmarMain(int argc, char** argv);

#endif  // VELMAR_DRIVER_PROGRAM_H
