// CGI mode: whether a web form was handed to the program, the settings it
// carries, and the HTML page the report is framed in. A form value never
// makes the program open a file of the web user's choosing: computer names
// are checked where the log is opened, and a "tz" value naming a file is
// dropped here.
#ifndef VELMAR_DRIVER_CGIMODE_H
#define VELMAR_DRIVER_CGIMODE_H

#include <cstdio>

#include "cgi/libform.h"
#include "driver/options.h"

// Decides the mode before anything else of the run: asks for a POST form,
// then for a GET form, both silently. With one, the run is in CGI mode,
// and the form is returned for the caller to keep and release with
// FormFree. Without one nothing is read or written, and the result is
// null: the command line decides.
Form* CgiDecideMode();

// Fills opts from the form's fields, each by its exact name and counting
// only when present with a non-empty value: "offset", "duration" and
// "width" as numbers (read as on the command line, held to 32 bits);
// "computername", "title1", "title2", "date" and "tz" as texts pointing
// into the form (a "tz" that TzFieldAllowed refuses is dropped; a "date"
// wins over "offset" when the run starts, ApplyDate); "table", "gstat",
// "port" and "user" turn their flag on whatever the value; "nolist" with any
// value turns the listing off. The report becomes a page (Html): outside
// texts are escaped. The form must outlive opts.
void OptionsFromForm(ReportOptions* opts, const Form* form);

// What a form asks of the page besides the report's settings.
struct WebRequest {
  bool Chart;          // "chart" (any value): the charts follow the report
  const char* Export;  // "export": a download of sessions, users or busy, or null
  const char* Format;  // "format": csv or json for the download, or null
};

// Fills web from the form's "chart", "export" and "format" fields (each
// counts only when present with a non-empty value; the texts point into the
// form). Without a form, or without the fields, nothing is asked.
void WebRequestFromForm(WebRequest* web, const Form* form);

// True when a "tz" text from a form may go into TZ: it must not name a file
// (start with ':' or '/') nor climb out of the zone folder (contain "..").
// Zone names such as "Asia/Singapore" and rules such as "EST5EDT,M3.2.0/2"
// pass.
bool TzFieldAllowed(const char* tz);

// Writes the top of the HTML page on out: "Content-type: text/html;
// charset=utf-8" (the report's 8-bit texts are UTF-8), the empty line that
// ends the CGI header, then "<h3>", the titles of opts (WriteTitles),
// "</h3>" and a line end. A page with charts is a whole HTML document:
// before "<h3>" come "<!DOCTYPE html>", the language, the character set, a
// viewport for a phone's screen, a <title> of the titles, and a style that
// lets a wide report scroll sideways within its own block.
void WriteCgiTop(FILE* out, const ReportOptions* opts, bool charts);

// Opens the report's preformatted block, with no line end: "<p><pre>", or
// on a page with charts '<p><pre id="report">', where the charts' link
// leads. Everything after it stands in the block.
void WriteCgiReportOpen(FILE* out, bool charts);

// Writes the head as an HTML page on out: WriteCgiTop, then
// WriteCgiReportOpen.
void WriteCgiHead(FILE* out, const ReportOptions* opts, bool charts);

#endif  // VELMAR_DRIVER_CGIMODE_H
