// Outside texts in the report, escaped when the report is a web page.
#include "driver/output.h"

#include <cstring>

bool OutputEscapesHtml = false;

void PutText(FILE* out, const char* text) {
  if (text == nullptr) return;
  if (!OutputEscapesHtml) {
    fputs(text, out);
    return;
  }
  for (const char* p = text; *p != '\0'; ++p) {
    switch (*p) {
      case '&': fputs("&amp;", out); break;
      case '<': fputs("&lt;", out); break;
      case '>': fputs("&gt;", out); break;
      case '"': fputs("&quot;", out); break;
      default: fputc(*p, out);
    }
  }
}

void PutField(FILE* out, const char* text, int width) {
  if (text == nullptr) text = "";
  if (!OutputEscapesHtml) {
    fprintf(out, "%-*s", width, text);
    return;
  }
  PutText(out, text);
  for (int n = (int)strlen(text); n < width; ++n) fputc(' ', out);
}

void WriteTitles(FILE* out, const char* title1, const char* title2) {
  if (title1 != nullptr) {
    PutText(out, title1);
    fputs(" - ", out);
  }
  PutText(out, title2);
}
