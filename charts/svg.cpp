// The SVG writer's elements. Markup goes through a stack buffer in one
// piece per element; an element longer than that (a long path) is formatted
// again on the heap rather than cut.
#include "charts/svg.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

const char kNotCovered[] = "not covered";

// The strength of level 1 to 4 of a ramp: a quarter to all of the colour.
double Strength(int level) {
  return level * 0.25;
}

// A key's swatch, 12 units wide and 10 high, with its top left at (x, y).
void WriteSwatch(OutBuf* out, const SvgKey* key, double x, int y) {
  if (key->Swatch == kSwatchDash) {
    SvgPrintf(out,
              "<line x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\" stroke=\"%s\" "
              "stroke-width=\"2\" stroke-dasharray=\"4 2\"/>\n",
              x, y + 5, x + 12, y + 5, key->Colour);
  } else if (key->Swatch == kSwatchRamp) {
    for (int level = 1; level <= 4; ++level) {
      SvgPrintf(out,
                "<rect x=\"%.1f\" y=\"%d\" width=\"3\" height=\"10\" fill=\"%s\" "
                "fill-opacity=\"%.2f\"/>\n",
                x + (level - 1) * 3, y, key->Colour, Strength(level));
    }
  } else {
    SvgPrintf(out, "<rect x=\"%.1f\" y=\"%d\" width=\"12\" height=\"10\" fill=\"%s\"/>\n", x, y,
              key->Colour);
  }
}

// Lays the legend's keys out in rows and, with out, writes them. Returns
// the y below the last row.
int PlaceKeys(OutBuf* out, const SvgLegendBox* legend) {
  double x = legend->Left;
  int y = legend->Top;
  for (int i = 0; i < legend->Count; ++i) {
    const SvgKey* key = &legend->Keys[i];
    double width = 16 + static_cast<double>(strlen(key->Name)) * legend->CharWidth;
    if (x > legend->Left && x + width > legend->Right) x = legend->Left, y += 16;
    if (out != nullptr) {
      WriteSwatch(out, key, x, y);
      SvgPrintf(out, "<text x=\"%.1f\" y=\"%d\">", x + 16, y + 10);
      SvgText(out, key->Name);
      OutText(out, "</text>\n");
    }
    x += width + 2 * legend->CharWidth;
  }
  return legend->Count > 0 ? y + 16 : y;
}

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
            chart->Width, chart->Height, chart->Width * 5 / 4, chart->Height * 5 / 4);
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
            "<line x1=\"%d\" y1=\"%.1f\" x2=\"%d\" y2=\"%.1f\" stroke=\"%s\" "
            "stroke-dasharray=\"6 4\"/>\n",
            left, y, right, y, kSvgLevel);
  if (label == nullptr) return;
  SvgPrintf(out, "<text x=\"%d\" y=\"%.1f\" text-anchor=\"end\" fill=\"%s\">", right, y - 4,
            kSvgLevel);
  SvgText(out, label);
  OutText(out, "</text>\n");
}

int SvgLegendHeight(const SvgLegendBox* legend) {
  return PlaceKeys(nullptr, legend) - legend->Top;
}

void SvgLegend(OutBuf* out, const SvgLegendBox* legend) {
  PlaceKeys(out, legend);
}

void SvgNotCovered(OutBuf* out, double x0, double x1, int top, int bottom, double charWidth) {
  if (x1 <= x0) return;
  SvgPrintf(out, "<rect x=\"%.1f\" y=\"%d\" width=\"%.1f\" height=\"%d\" fill=\"%s\"/>\n", x0, top,
            x1 - x0, bottom - top, kSvgNotCovered);
  if (x1 - x0 < (sizeof kNotCovered - 1 + 2) * charWidth) return;
  SvgPrintf(out, "<text x=\"%.1f\" y=\"%d\" text-anchor=\"middle\" fill=\"#595959\">%s</text>\n",
            (x0 + x1) / 2, (top + bottom) / 2 + 4, kNotCovered);
}

void SvgAllBusyBand(OutBuf* out, double x0, double x1, int y, int level) {
  if (x1 <= x0 || level <= 0) return;
  SvgPrintf(out,
            "<rect x=\"%.1f\" y=\"%d\" width=\"%.1f\" height=\"8\" fill=\"%s\" "
            "fill-opacity=\"%.2f\"/>\n",
            x0, y, x1 - x0, kSvgAllBusy, Strength(level));
}
