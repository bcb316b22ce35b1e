// Writing texts that come from outside the program (titles, computer, user
// and port names) into the report. On a web page (html set, as the run's
// settings say) they are HTML-escaped, with '&', '<', '>' and '"' written
// as entities, so that neither a form field nor a log record can put markup
// into the page; padding still counts the text's own characters, so
// columns line up as they do on a terminal. The command line writes them
// as they stand.
#ifndef VELMAR_DRIVER_OUTPUT_H
#define VELMAR_DRIVER_OUTPUT_H

#include <cstdio>

// Writes text (null counts as empty) as it stands, or escaped when html.
void PutText(FILE* out, const char* text, bool html);

// Writes text like "%-*s": left-aligned, padded with blanks to width
// characters of the unescaped text; a longer text is written whole.
// Escaped when html.
void PutField(FILE* out, const char* text, int width, bool html);

// Writes the report's titles as outside texts: title1 and " - " when
// title1 is set, then title2 (null counts as empty). Escaped when html.
void WriteTitles(FILE* out, const char* title1, const char* title2, bool html);

#endif  // VELMAR_DRIVER_OUTPUT_H
