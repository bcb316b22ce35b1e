// The SVG writer: texts from outside never become markup, in any part of a
// chart, also on the page's charts and their notes; markup longer than the
// writer's buffer goes out whole; an axis gets round steps, never more
// than asked; a legend wraps where its keys pass the chart's edge, and
// time not covered is named where the name fits.
// Whole charts are checked end to end (tests/e2e/answers.sh, cgi.sh).
#include "charts/svg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "charts/pagecharts.h"
#include "support/capture.h"

namespace {

// What draw(OutBuf*) writes, through a buffer on a stream in memory.
template <typename Draw>
std::string Drawn(Draw draw) {
  return Written([&](FILE* file) {
    std::unique_ptr<OutBuf> out(new OutBuf);
    OutInit(out.get(), file);
    draw(out.get());
    OutFlush(out.get());
  });
}

// How often needle stands in text.
int Count(const std::string& text, const std::string& needle) {
  int n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

const char* const kHostile = "<script>alert(\"x\")</script> & co";
const char* const kEscaped = "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; co";

}  // namespace

TEST(Svg, TextsAreEscapedWhereverTheyGo) {
  const struct {
    const char* In;
    const char* Out;
  } texts[] = {{"", ""},
               {"plain", "plain"},
               {"&", "&amp;"},
               {"a<b>c", "a&lt;b&gt;c"},
               {"\"q\"&", "&quot;q&quot;&amp;"},
               {kHostile, kEscaped}};
  for (const auto& t : texts) {
    EXPECT_EQ(Drawn([&](OutBuf* out) { SvgText(out, t.In); }), t.Out) << t.In;
  }
  EXPECT_EQ(Drawn([](OutBuf* out) { SvgText(out, nullptr); }), "");
  // The parts of a chart that carry texts: title, desc, heading, the axis's
  // caption, the level's label; in both placements.
  for (SvgPlacement placement : {kSvgInline, kSvgFile}) {
    std::string svg = Drawn([&](OutBuf* out) {
      SvgChart chart = {placement, 100,      50, {kHostile, nullptr, ": ", kHostile},
                        kHostile,  kHostile, 10};
      SvgOpen(out, &chart);
      SvgAxis axis = {4, 5, 10, 90, 40, 30, 14, kHostile};
      SvgYAxis(out, &axis);
      SvgLevelLine(out, 10, 90, 20.5, kHostile);
      SvgClose(out);
    });
    EXPECT_EQ(Count(svg, "<script"), 0) << svg;
    EXPECT_EQ(Count(svg, kEscaped), 6) << svg;  // twice in the title
    EXPECT_NE(svg.find(std::string("<title>") + kEscaped + ": " + kEscaped + "</title>"),
              std::string::npos)
        << svg;
    EXPECT_EQ(svg.compare(0, 5, placement == kSvgFile ? "<?xml" : "<svg "), 0) << svg;
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
  }
}

TEST(Svg, PageChartsEscapeTheReportsTitles) {
  ChartData* chart = static_cast<ChartData*>(malloc(sizeof(ChartData)));  // too big for the stack
  setenv("TZ", "UTC0", 1);
  tzset();
  ChartInit(chart, 1796688000, 1796688000 + 4 * 86400);  // four days: the heat map too
  ChartCharge(chart, 1796688000, 1796688000 + 3600, 2, false);
  ChartFrame frame = {kHostile, kHostile, true, 4 * 86400, 2, true, {kHostile, nullptr}};
  std::string page = Drawn([&](OutBuf* out) { WriteCharts(out, &frame, chart); });
  free(chart);
  EXPECT_EQ(page.compare(0, 18, "<div id=\"charts\">\n"), 0) << page;
  EXPECT_EQ(page.substr(page.size() - 7), "</div>\n");
  EXPECT_EQ(Count(page, "<svg "), 3);
  EXPECT_EQ(Count(page, "<script"), 0);
  // The report's titles before each chart's own, as the page's heading has them.
  EXPECT_EQ(Count(page, std::string("<title>") + kEscaped + " - " + kEscaped + ": "), 3) << page;
  // A note on the log's coverage, in a paragraph of its own.
  EXPECT_EQ(Count(page, std::string("<p>") + kEscaped + "</p>\n"), 1) << page;
  unsetenv("TZ");
  tzset();
}

TEST(Svg, MarkupLongerThanTheBufferGoesOutWhole) {
  std::string path(3000, 'H');
  std::string svg = Drawn([&](OutBuf* out) { SvgPrintf(out, "<path d=\"%s\"/>", path.c_str()); });
  EXPECT_EQ(svg, "<path d=\"" + path + "\"/>");
}

TEST(Svg, AxisStepsAreRoundAndFew) {
  const struct {
    double Top;
    int Most;
    double Step;
  } cases[] = {{1, 5, 1},   {5, 5, 1},    {6, 5, 2},     {11, 5, 5},
               {0.5, 5, 1}, {300, 8, 50}, {401, 8, 100}, {1e6, 5, 200000}};
  for (const auto& c : cases) {
    EXPECT_EQ(SvgTickStep(c.Top, c.Most), c.Step) << c.Top << " " << c.Most;
  }
  // One grid line and label per step from 0 to the top, the top included.
  std::string svg = Drawn([](OutBuf* out) {
    SvgAxis axis = {10, 5, 46, 588, 244, 200, 14, "lines in use"};
    SvgYAxis(out, &axis);
  });
  EXPECT_EQ(Count(svg, "stroke=\"#ddd\""), 6);
  EXPECT_NE(svg.find(">10</text>"), std::string::npos) << svg;
}

TEST(Svg, LegendsWrapAndShadingIsNamedWhereTheNameFits) {
  const SvgKey keys[] = {{kSwatchBox, kSvgPeak, "peak"},
                         {kSwatchDash, kSvgLevel, "8 ports"},
                         {kSwatchRamp, kSvgAllBusy, kHostile}};
  // Keys 16 units and 8 a byte wide, two bytes apart: the third passes 200.
  for (int right : {2000, 200, 10}) {
    SvgLegendBox legend = {keys, 3, 0, right, 30, 8};
    int rows = right == 2000 ? 1 : right == 200 ? 2 : 3;
    EXPECT_EQ(16 * rows, SvgLegendHeight(&legend)) << right;
    std::string svg = Drawn([&](OutBuf* out) { SvgLegend(out, &legend); });
    EXPECT_EQ(Count(svg, "<text "), 3) << svg;
    EXPECT_EQ(Count(svg, kEscaped), 1) << svg;
    EXPECT_EQ(Count(svg, "fill-opacity"), 4) << svg;  // the ramp's four strengths
  }
  for (double width : {40.0, 200.0}) {
    std::string svg = Drawn([&](OutBuf* out) { SvgNotCovered(out, 10, 10 + width, 0, 100, 8); });
    EXPECT_EQ(Count(svg, "<rect "), 1) << svg;
    EXPECT_EQ(Count(svg, ">not covered</text>"), width > 100 ? 1 : 0) << svg;
  }
}
