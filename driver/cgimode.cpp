// CGI mode: the form decides the settings and the report becomes an HTML
// page. The settings point into the decoded form, which the run keeps until
// its release.
#include "driver/cgimode.h"

#include <cstring>

#include "driver/output.h"

namespace {

// A form field holding a number setting.
struct NumberField {
  const char* Name;               // field name, exactly as the form sends it
  int32_t ReportOptions::*Value;  // the setting it fills
};

// A form field holding a text setting ("tz" is filtered and kept apart).
struct TextField {
  const char* Name;                   // field name
  const char* ReportOptions::*Value;  // the setting that points at its value
};

// A form field that sets a flag whatever its value.
struct FlagField {
  const char* Name;            // field name
  bool ReportOptions::*Value;  // the flag
  bool Set;                    // what the flag becomes
};

const NumberField kNumberFields[] = {
    {"offset", &ReportOptions::Offset},
    {"duration", &ReportOptions::Duration},
    {"width", &ReportOptions::Width},
};

const TextField kTextFields[] = {
    {"computername", &ReportOptions::ComputerName},
    {"title1", &ReportOptions::Title1},
    {"title2", &ReportOptions::Title2},
    {"date", &ReportOptions::Date},
};

const FlagField kFlagFields[] = {
    {"table", &ReportOptions::Tabulated, true}, {"gstat", &ReportOptions::GeneralStats, true},
    {"port", &ReportOptions::PortStats, true},  {"user", &ReportOptions::UserStats, true},
    {"nolist", &ReportOptions::Listing, false},
};

}  // namespace

Form* CgiDecideMode() {
  Form* form = FormPost(0);
  if (form == nullptr) form = FormGet(0);
  return form;
}

void OptionsFromForm(ReportOptions* opts, const Form* form) {
  for (const NumberField& f : kNumberFields) {
    const char* value = FormLookup(form, f.Name);
    if (value != nullptr) opts->*f.Value = ToInt32(value);
  }
  for (const TextField& f : kTextFields) {
    const char* value = FormLookup(form, f.Name);
    if (value != nullptr) opts->*f.Value = value;
  }
  for (const FlagField& f : kFlagFields) {
    if (FormLookup(form, f.Name) != nullptr) opts->*f.Value = f.Set;
  }
  opts->Html = true;
  // A dropped zone leaves TZ as the server set it (or the report's default).
  const char* tz = FormLookup(form, "tz");
  if (tz != nullptr && TzFieldAllowed(tz)) opts->TZ = tz;
}

bool TzFieldAllowed(const char* tz) {
  // The C library reads a zone file for any TZ it cannot take as a rule:
  // ":" and "/" name one outright, ".." leaves the zone folder.
  return tz[0] != ':' && tz[0] != '/' && strstr(tz, "..") == nullptr;
}

void WebRequestFromForm(WebRequest* web, const Form* form) {
  web->Chart = form != nullptr && FormLookup(form, "chart") != nullptr;
  web->Export = form != nullptr ? FormLookup(form, "export") : nullptr;
  web->Format = form != nullptr ? FormLookup(form, "format") : nullptr;
}

void WriteCgiTop(FILE* out, const ReportOptions* opts, bool charts) {
  fputs("Content-type: text/html; charset=utf-8\n\n", out);
  if (charts) {
    fputs(
        "<!DOCTYPE html>\n<html lang=\"en\">\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>",
        out);
    WriteTitles(out, opts->Title1, opts->Title2, true);
    fputs("</title>\n<style>pre{overflow-x:auto}</style>\n", out);
  }
  fputs("<h3>", out);
  WriteTitles(out, opts->Title1, opts->Title2, true);
  fputs("</h3>\n", out);
}

void WriteCgiReportOpen(FILE* out, bool charts) {
  fputs(charts ? "<p><pre id=\"report\">" : "<p><pre>", out);
}

void WriteCgiHead(FILE* out, const ReportOptions* opts, bool charts) {
  WriteCgiTop(out, opts, charts);
  WriteCgiReportOpen(out, charts);
}
