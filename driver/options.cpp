// Settings from the command line, the common finishing steps, and the usage
// text. Nothing here copies a text: the settings point into their source.
#include "driver/options.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "eventlog/number.h"
#include "platform/environment.h"

namespace {

// The TZ assignment handed to putenv. putenv keeps the pointer, not a copy,
// so the buffer lives as long as the program.
char TzAssignment[80];

// One line of the option table in the usage text.
struct UsageLine {
  const char* Cgi;      // form field and value
  const char* Prompt;   // command-line form, or blank
  const char* Meaning;  // what it does
};

const UsageLine kUsageLines[] = {
    {"CGI:", "prompt:", "meaning:"},
    {"offset=N", "", "sets offset to N days"},
    {"computername=\"\"", "", "sets computername"},
    {"title1=\"\"", "", "sets title1"},
    {"title2=\"\"", "", "sets title2"},
    {"duration=N", "+dN", "sets duration to N hrs"},
    {"width=N", "+wN", "sets width of username to N"},
    {"tz=tznNN", "+ztznNN", "sets TZ to tznNN"},
    {"table=1", "+t", "enables tabulated listing"},
    {"gstat=1", "+g", "enables general statistics"},
    {"port=1", "+p", "enables port statistics"},
    {"user=1", "+u", "enables user statistics"},
    {"nolist=1", "-l", "disables listing"},
};

// "+" options: the second character chooses; the rest is the value.
void ApplyPlusOption(ReportOptions* opts, const char* arg) {
  switch (arg[1]) {
    case 'd':
      opts->Duration = ToInt32(arg + 2);
      break;
    case 'w':
      opts->Width = ToInt32(arg + 2);
      break;
    case 'z':
      opts->TZ = arg + 2;
      break;
    case 't':
      opts->Tabulated = true;
      break;
    case 'g':
      opts->GeneralStats = true;
      break;
    case 'p':
      opts->PortStats = true;
      break;
    case 'u':
      opts->UserStats = true;
      break;
    default:
      break;  // unknown letters are ignored
  }
}

void ApplyArgument(ReportOptions* opts, const char* arg) {
  if (arg[0] == '+') {
    ApplyPlusOption(opts, arg);
  } else if (arg[0] == '-') {
    if (arg[1] == 'l') opts->Listing = false;
  } else if (arg[0] == '\\' && arg[1] == '\\') {
    opts->ComputerName = arg;
  } else if (opts->Title1 == nullptr) {
    opts->Title1 = arg;
  } else if (opts->Title2 == nullptr) {
    opts->Title2 = arg;
  }
}

// Puts the TZ text into the environment; returns 0 when it is refused.
int AssignTz(const char* tz) {
  if (strlen(tz) > MAX_TZ_TEXT) return 0;
  if (tz[0] == '\0') {
    // "TZ=" would mean UTC to the C library; no TZ means the report's default.
    PlatformUnsetEnv("TZ");
    return 1;
  }
  snprintf(TzAssignment, sizeof TzAssignment, "TZ=%s", tz);
  putenv(TzAssignment);
  return 1;
}

}  // namespace

int32_t ToInt32(const char* text) {
  return static_cast<int32_t>(NumberAtol(text, INT32_MIN, INT32_MAX));
}

void OptionsInit(ReportOptions* opts) {
  opts->Offset = 0;
  opts->Date = nullptr;
  opts->ComputerName = nullptr;
  opts->Title1 = nullptr;
  opts->Title2 = nullptr;
  opts->Duration = 0;
  opts->Width = 8;
  opts->TZ = nullptr;
  opts->Tabulated = false;
  opts->GeneralStats = false;
  opts->PortStats = false;
  opts->UserStats = false;
  opts->Listing = true;
  opts->Html = false;
}

void OptionsFromArgs(ReportOptions* opts, int argc, char** argv) {
  if (argc < 2) return;
  if (ArgumentIsDate(argv[1])) {
    opts->Date = argv[1];
  } else {
    opts->Offset = ToInt32(argv[1]);
  }
  for (int i = 2; i < argc; ++i) ApplyArgument(opts, argv[i]);
}

int OptionsFinish(ReportOptions* opts) {
  if (opts->Title2 == nullptr) opts->Title2 = "Velmar";
  // Below 1 a user name would be cut to nothing, which marks a free port.
  if (opts->Width > MAX_WIDTH) opts->Width = MAX_WIDTH;
  if (opts->Width < 1) opts->Width = 1;
  if (opts->TZ == nullptr) return 1;
  if (AssignTz(opts->TZ)) return 1;
  opts->TZ = nullptr;
  return 0;
}

bool ArgumentIsDate(const char* arg) {
  for (int i = 0; i < 4; ++i) {
    if (arg[i] < '0' || arg[i] > '9') return false;
  }
  return arg[4] == '-';
}

bool ArgumentIsOffsetOrDate(const char* arg) {
  if (ArgumentIsDate(arg)) return true;
  const char* digits = arg[0] == '+' || arg[0] == '-' ? arg + 1 : arg;
  if (digits[0] == '\0') return false;
  for (const char* p = digits; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
  }
  return true;
}

bool ArgumentsAskVersion(int argc, char** argv) {
  return argc == 2 && strcmp(argv[1], "--version") == 0;
}

void WriteVersion(FILE* out) {
  fputs("velmar " VELMAR_VERSION "\n", out);
}

void WriteUsage(FILE* out, const char* programName) {
  fputs("Velmar 1.08 May 97\n", out);
  fputs("Usage: Get/Post Form specifying offset, [computername] [options]\n", out);
  fprintf(out, "or run: %s offset [\\\\computername] [title1 [title2]] [options]\n", programName);
  fputs("options are:\n", out);
  for (const UsageLine& line : kUsageLines) {
    fprintf(out, "  %-16s%-8s%s\n", line.Cgi, line.Prompt, line.Meaning);
  }
}
