// The SVG writer's elements. Markup goes through a stack buffer in one
// piece per element; an element longer than that (a long path) is formatted
// again on the heap rather than cut.
#include "charts/svg.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace {

// The <title> and <desc> after the <svg> element, escaped.
void TitleAndDesc(OutBuf* out, const SvgChart* chart) {
  OutText(out, "<title>");
  for (const char* part : chart->Title) SvgText(out, part);
  OutText(out, "</title>\n<desc>");
  SvgText(out, chart->Desc);
  OutText(out, "</desc>\n");
}

void OpenInline(OutBuf* out, const SvgChart* chart) {
  SvgPrintf(out,
            "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %d %d\" width=\"%d\" "
            "height=\"%d\" style=\"display:block;max-width:100%%;height:auto\" "
            "font-family=\"sans-serif\" font-size=\"14\" role=\"img\">\n",
            chart->Width, chart->Height, chart->Width * 6 / 5, chart->Height * 6 / 5);
  TitleAndDesc(out, chart);
  OutText(out, "<text x=\"4\" y=\"18\" font-size=\"16\" font-weight=\"bold\">");
  SvgText(out, chart->Heading);
  OutText(out, "</text>\n");
}

void OpenFile(OutBuf* out, const SvgChart* chart) {
  SvgPrintf(out,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 "
            "%d %d\" font-family=\"sans-serif\" font-size=\"12\">\n",
            chart->Width, chart->Height, chart->Width, chart->Height);
  TitleAndDesc(out, chart);
  SvgPrintf(out, "<rect width=\"%d\" height=\"%d\" fill=\"white\"/>\n", chart->Width,
            chart->Height);
  SvgPrintf(out, "<text x=\"%d\" y=\"24\" font-size=\"16\">", chart->HeadingX);
  SvgText(out, chart->Heading);
  OutText(out, "</text>\n");
}

}  // namespace

void SvgText(OutBuf* out, const char* text) {
  if (text == nullptr) return;
  const char* plain = text;  // the start of the bytes not yet written
  for (const char* p = text; *p != '\0'; ++p) {
    const char* entity = *p == '&'   ? "&amp;"
                         : *p == '<' ? "&lt;"
                         : *p == '>' ? "&gt;"
                         : *p == '"' ? "&quot;"
                                     : nullptr;
    if (entity == nullptr) continue;
    OutBytes(out, plain, static_cast<size_t>(p - plain));
    OutText(out, entity);
    plain = p + 1;
  }
  OutText(out, plain);
}

void SvgPrintf(OutBuf* out, const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int n = vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (n >= 0 && static_cast<size_t>(n) < sizeof text) {
    OutBytes(out, text, static_cast<size_t>(n));
  } else if (n > 0) {
    char* big = static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
    if (big != nullptr) {
      vsnprintf(big, static_cast<size_t>(n) + 1, format, again);
      OutBytes(out, big, static_cast<size_t>(n));
    }
    free(big);
  }
  va_end(again);
}

void SvgOpen(OutBuf* out, const SvgChart* chart) {
  if (chart->Placement == kSvgInline) {
    OpenInline(out, chart);
  } else {
    OpenFile(out, chart);
  }
}

void SvgClose(OutBuf* out) {
  OutText(out, "</svg>\n");
}

double SvgTickStep(double top, int most) {
  for (double scale = 1;; scale *= 10) {
    for (double m : {1.0, 2.0, 5.0}) {
      if (top / (m * scale) <= most) return m * scale;
    }
  }
}

void SvgYAxis(OutBuf* out, const SvgAxis* axis) {
  double step = SvgTickStep(axis->Top, axis->Most);
  for (double v = 0; v <= axis->Top + 1e-9; v += step) {
    double y = axis->Base - v / axis->Top * axis->Height;
    SvgPrintf(out, "<line x1=\"%d\" y1=\"%.1f\" x2=\"%d\" y2=\"%.1f\" stroke=\"#ddd\"/>\n",
              axis->Left, y, axis->Right, y);
    SvgPrintf(out, "<text x=\"%d\" y=\"%.1f\" text-anchor=\"end\">%g</text>\n", axis->Left - 6,
              y + 4, v);
  }
  SvgPrintf(out, "<text transform=\"translate(%d %d) rotate(-90)\" text-anchor=\"middle\">",
            axis->CaptionX, axis->Base - axis->Height / 2);
  SvgText(out, axis->Caption);
  OutText(out, "</text>\n");
}

void SvgLevelLine(OutBuf* out, int left, int right, double y, const char* label) {
  SvgPrintf(out,
            "<line x1=\"%d\" y1=\"%.1f\" x2=\"%d\" y2=\"%.1f\" stroke=\"#cb181d\" "
            "stroke-dasharray=\"6 4\"/>\n",
            left, y, right, y);
  SvgPrintf(out, "<text x=\"%d\" y=\"%.1f\" text-anchor=\"end\" fill=\"#cb181d\">", right, y - 4);
  SvgText(out, label);
  OutText(out, "</text>\n");
}
