// Outside texts in the report, escaped when the report is a web page.
#include "driver/output.h"

#include <cstring>

void PutText(FILE* out, const char* text, bool html) {
  if (text == nullptr) return;
  if (!html) {
    fputs(text, out);
    return;
  }
  for (const char* p = text; *p != '\0'; ++p) {
    switch (*p) {
      case '&':
        fputs("&amp;", out);
        break;
      case '<':
        fputs("&lt;", out);
        break;
      case '>':
        fputs("&gt;", out);
        break;
      case '"':
        fputs("&quot;", out);
        break;
      default:
        fputc(*p, out);
    }
  }
}

namespace {

// Writes n blanks (none when n is not positive).
void PutBlanks(FILE* out, long n) {
  static const char kBlanks[] = "                                ";
  const long chunk = sizeof kBlanks - 1;
  for (; n > 0; n -= chunk) fwrite(kBlanks, 1, static_cast<size_t>(n < chunk ? n : chunk), out);
}

}  // namespace

// The text and its padding go out as two plain writes: the listing puts a
// port and a user this way on every line, and printf would parse its
// format each time.
void PutField(FILE* out, const char* text, int width, bool html) {
  if (text == nullptr) text = "";
  long n = static_cast<long>(strlen(text));
  // A negative width left-aligns to its size, as it does for printf's '*'.
  long pad = (width < 0 ? -static_cast<long>(width) : width) - n;
  if (!html) {
    fwrite(text, 1, static_cast<size_t>(n), out);
  } else {
    PutText(out, text, html);
  }
  PutBlanks(out, pad);
}

void WriteTitles(FILE* out, const char* title1, const char* title2, bool html) {
  if (title1 != nullptr) {
    PutText(out, title1, html);
    fputs(" - ", out);
  }
  PutText(out, title2, html);
}
