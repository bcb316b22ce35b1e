// Writing texts that come from outside the program (titles, computer, user
// and port names) into the report. On a web page they are HTML-escaped, so
// that neither a form field nor a log record can put markup into the page;
// padding still counts the text's own characters, so columns line up as
// they do on a terminal.
#ifndef VELMAR_DRIVER_OUTPUT_H
#define VELMAR_DRIVER_OUTPUT_H

#include <cstdio>

// True while the report is an HTML page: outside texts are then written
// with '&', '<', '>' and '"' escaped. Off for the command line.
extern bool OutputEscapesHtml;

// Writes text (null counts as empty) as it stands, or escaped on a page.
void PutText(FILE* out, const char* text);

// Writes text like "%-*s": left-aligned, padded with blanks to width
// characters of the unescaped text; a longer text is written whole.
void PutField(FILE* out, const char* text, int width);

// Writes the report's titles as outside texts: title1 and " - " when
// title1 is set, then title2 (null counts as empty).
void WriteTitles(FILE* out, const char* title1, const char* title2);

#endif  // VELMAR_DRIVER_OUTPUT_H
