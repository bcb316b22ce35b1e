// CGI mode: settings from form fields by their exact names, the "tz" filter,
// the page head and escaped outside texts, and the comment bracket. Runs of
// the whole program in CGI mode are in tests/e2e/cgi.sh.
#include "driver/cgimode.h"

#include <gtest/gtest.h>
#include <stdio_ext.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/output.h"
#include "driver/report.h"
#include "support/capture.h"

namespace {

// Settings expected from one form text, after the finishing steps' default
// title and width bounds (the TZ assignment is left out: it changes TZ).
struct FormCase {
  const char* Text;  // the form text as a query string carries it
  int32_t Offset;
  const char* Computer;  // expected ComputerName, or null
  const char* Title1;    // expected Title1, or null
  const char* Title2;
  int32_t Duration;
  int32_t Width;
  const char* Tz;  // expected TZ, or null
  bool Tabulated, GeneralStats, PortStats, UserStats, Listing;
};

void ExpectText(const char* want, const char* got, const char* text) {
  if (want == nullptr) {
    EXPECT_EQ(got, nullptr) << text;
  } else {
    ASSERT_NE(got, nullptr) << text;
    EXPECT_STREQ(want, got) << text;
  }
}

// A run in the given mode with the given titles.
RunState TitledRun(FILE* out, bool cgi, const char* title1, const char* title2) {
  RunState run;
  RunInit(&run, out);
  run.CgiMode = cgi;
  run.Options.Html = cgi;
  run.Options.Title1 = title1;
  run.Options.Title2 = title2;
  return run;
}

}  // namespace

TEST(CgiMode, SettingsFromFormFields) {
  const char* v = "Velmar";
  // clang-format off
  const FormCase cases[] = {
      // No fields: every default, today.
      {"", 0, nullptr, nullptr, v, 0, 8, nullptr, false, false, false, false, true},
      {"offset=-1&computername=%5C%5CRAS1&title1=North+pool&title2=Lines&duration=36"
       "&width=12&tz=UTC0&table=1&gstat=1&port=1&user=1&nolist=1",
       -1, "\\\\RAS1", "North pool", "Lines", 36, 12, "UTC0", true, true, true, true, false},
      // An empty field is absent; a flag is on (or the listing off) whatever the value.
      {"title2=&offset=&tz=", 0, nullptr, nullptr, v, 0, 8, nullptr,
       false, false, false, false, true},
      {"table=0&nolist=0&gstat=no", 0, nullptr, nullptr, v, 0, 8, nullptr,
       true, true, false, false, false},
      // Numbers as the command line reads them, held to 32 bits; width 1..20.
      {"offset=+7days&duration=x&width=99999999999", 7, nullptr, nullptr, v, 0, 20, nullptr,
       false, false, false, false, true},
      {"offset=-99999999999&width=-3", INT32_MIN, nullptr, nullptr, v, 0, 1, nullptr,
       false, false, false, false, true},
      // Names are exact and only the first field of a name counts.
      {"Offset=3&TITLE1=x&user=&user=1&title1%3D=y", 0, nullptr, nullptr, v, 0, 8, nullptr,
       false, false, false, false, true},
      // A zone that names a file is dropped; a zone name or rule is kept.
      {"tz=%3A%2Fetc%2Fpasswd", 0, nullptr, nullptr, v, 0, 8, nullptr,
       false, false, false, false, true},
      {"tz=Asia%2FSingapore", 0, nullptr, nullptr, v, 0, 8, "Asia/Singapore",
       false, false, false, false, true},
      // The command line's markers mean nothing in a form.
      {"title1=%5C%5CRAS2&title2=%2Bt", 0, nullptr, "\\\\RAS2", "+t", 0, 8, nullptr,
       false, false, false, false, true},
  };
  // clang-format on
  for (const FormCase& c : cases) {
    Form* form = FormSplit(strdup(c.Text));
    ASSERT_NE(form, nullptr) << c.Text;
    ReportOptions opts;
    OptionsInit(&opts);
    OptionsFromForm(&opts, form);
    ExpectText(c.Tz, opts.TZ, c.Text);
    opts.TZ = nullptr;  // the finishing steps, but this process keeps its TZ
    OptionsFinish(&opts);
    EXPECT_EQ(c.Offset, opts.Offset) << c.Text;
    ExpectText(c.Computer, opts.ComputerName, c.Text);
    ExpectText(c.Title1, opts.Title1, c.Text);
    ExpectText(c.Title2, opts.Title2, c.Text);
    EXPECT_EQ(c.Duration, opts.Duration) << c.Text;
    EXPECT_EQ(c.Width, opts.Width) << c.Text;
    EXPECT_EQ(c.Tabulated, opts.Tabulated) << c.Text;
    EXPECT_EQ(c.GeneralStats, opts.GeneralStats) << c.Text;
    EXPECT_EQ(c.PortStats, opts.PortStats) << c.Text;
    EXPECT_EQ(c.UserStats, opts.UserStats) << c.Text;
    EXPECT_EQ(c.Listing, opts.Listing) << c.Text;
    EXPECT_TRUE(opts.Html) << c.Text;  // a form's report is a page, whatever its fields
    FormFree(&form);
  }
}

TEST(CgiMode, TzFieldNamesNoFile) {
  const char* refused[] = {":/etc/passwd", ":UTC",         "/etc/localtime", "/x",
                           "../x",         "Asia/../../x", "UTC0..",         ":"};
  const char* allowed[] = {"Asia/Singapore", "EST5EDT,M3.2.0/2", "SGT-8", "UTC0",
                           "<+08>-8",        "Etc/GMT+5",        "x/.y",  " /x"};
  for (const char* tz : refused) EXPECT_FALSE(TzFieldAllowed(tz)) << tz;
  for (const char* tz : allowed) EXPECT_TRUE(TzFieldAllowed(tz)) << tz;
}

TEST(CgiMode, OutsideTextsEscapedOnlyOnAPage) {
  // The head's titles, and a padded field (padding counts the text itself).
  struct EscapeCase {
    bool Cgi;
    const char* Title1;  // null for none
    const char* Title2;
    const char* Field;  // written with PutField to width 6
    const char* Want;
  };
  const EscapeCase cases[] = {
      {true, nullptr, "Velmar", "a<b",
       "Content-type: text/html; charset=utf-8\n\n<h3>Velmar</h3>\n<p><pre>a&lt;b   "},
      {true, "<script>alert(1)</script>", "\"A&B\"", "\"q\"&",
       "Content-type: text/html; charset=utf-8\n\n<h3>&lt;script&gt;alert(1)&lt;/script&gt; - "
       "&quot;A&amp;B&quot;</h3>\n<p><pre>&quot;q&quot;&amp;  "},
      {false, "<b>", "A&B", "a<b", "<b> - A&B\na<b   "},
  };
  for (const EscapeCase& c : cases) {
    Capture cap;
    RunState run = TitledRun(cap.Out, c.Cgi, c.Title1, c.Title2);
    WriteHead(&run);
    PutField(cap.Out, c.Field, 6, run.Options.Html);
    EXPECT_EQ(c.Want, cap.Close());
  }
}

// Every request that is no usable form would make the decoders write
// FormError's page when asked to: the mode decision never asks, so nothing
// reaches standard output before the report's own head (or the usage text).
TEST(CgiMode, DecidingTheModeNeverWritesAnErrorPage) {
  struct Request {
    const char* Method;  // REQUEST_METHOD, or null
    const char* Length;  // CONTENT_LENGTH, or null
    bool Form;           // a form comes of it
  };
  const Request requests[] = {
      {nullptr, nullptr, false}, {"PUT", "3", false},   {"get", nullptr, false},
      {"POST", nullptr, false},  {"POST", "-9", false}, {"POST", "4", false},
      {"GET", nullptr, true},
  };
  int savedIn = dup(0), savedOut = dup(1);
  for (const Request& r : requests) {
    r.Method ? setenv("REQUEST_METHOD", r.Method, 1) : unsetenv("REQUEST_METHOD");
    r.Length ? setenv("CONTENT_LENGTH", r.Length, 1) : unsetenv("CONTENT_LENGTH");
    unsetenv("QUERY_STRING");
    FILE* in = tmpfile();   // an empty body: "Can't read POST variables."
    FILE* out = tmpfile();  // what goes to standard output
    dup2(fileno(in), 0);
    __fpurge(stdin);
    clearerr(stdin);
    fflush(stdout);
    dup2(fileno(out), 1);
    Form* form = CgiDecideMode();
    fflush(stdout);
    dup2(savedOut, 1);
    EXPECT_EQ(r.Form, form != nullptr) << (r.Method ? r.Method : "-");
    EXPECT_EQ(0, lseek(fileno(out), 0, SEEK_END)) << (r.Method ? r.Method : "-");
    FormFree(&form);
    fclose(in);
    fclose(out);
  }
  dup2(savedIn, 0);
  close(savedIn);
  close(savedOut);
  __fpurge(stdin);
  clearerr(stdin);
  unsetenv("REQUEST_METHOD");
  unsetenv("CONTENT_LENGTH");
}
