// The tabulated row put together in a buffer: the same text as "%-*s " per
// port, on the terminal and on a page (escaped names keep their padding),
// also for rows longer than the buffer; and the row the table keeps between
// events, which must follow every change of the slots.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/porttable.h"
#include "support/capture.h"

namespace {

// Settings of columns width wide, on a page or a terminal.
ReportOptions Columns(int width, bool page) {
  ReportOptions opts;
  OptionsInit(&opts);
  opts.Width = width;
  opts.Html = page;
  return opts;
}

// The row of slots holding users (empty: a free port), as written.
std::string Row(const std::vector<const char*>& users, int width, bool page) {
  std::vector<PortSlot> slots(users.size());
  for (size_t i = 0; i < users.size(); ++i) {
    slots[i] = PortSlot{};
    slots[i].PortName = "P";
    snprintf(slots[i].CurrentUser, sizeof slots[i].CurrentUser, "%s", users[i]);
  }
  PortTable table = {};
  table.PortCount = static_cast<int32_t>(users.size());
  table.Slots = slots.data();
  ReportOptions opts = Columns(width, page);
  std::string s = Written([&](FILE* out) { PortWriteRow(out, &table, &opts, false); });
  free(table.Row);  // the row the table kept
  return s;
}

// What "%-*s " per user gives.
std::string Printf(const std::vector<const char*>& users, int width) {
  std::string s;
  char cell[64];
  for (const char* u : users) {
    snprintf(cell, sizeof cell, "%-*s ", width, u);
    s += cell;
  }
  return s;
}

TEST(PortRow, ColumnsAsPrintfPadsThem) {
  const std::vector<const char*> users = {"amy", "", "abcdefghijklmnopqrst", "bo", ""};
  for (int width : {1, 8, 20}) EXPECT_EQ(Row(users, width, false), Printf(users, width)) << width;
  // 300 ports of 21 bytes each: more than one buffer's worth.
  std::vector<const char*> many(300, "abcdefghijklmnopqrst");
  many[150] = "";
  EXPECT_EQ(Row(many, 20, false), Printf(many, 20));
  // Names wider than a narrow column, over more than one buffer's worth.
  EXPECT_EQ(Row(many, 1, false), Printf(many, 1));
  // On a page a name is escaped and padded by its own length.
  EXPECT_EQ(Row({"a<b", "", "x&y\"z"}, 6, true),
            "a&lt;b" + std::string(4 + 7, ' ') + "x&amp;y&quot;z  ");
}

// The row written now for table, and what "%-*s " per slot gives.
void ExpectRowOfSlots(PortTable* table, int width, const std::string& step) {
  std::vector<const char*> users;
  for (int32_t i = 0; i < table->PortCount; ++i) users.push_back(table->Slots[i].CurrentUser);
  ReportOptions opts = Columns(width, false);
  std::string s = Written([&](FILE* out) { PortWriteRow(out, table, &opts, false); });
  EXPECT_EQ(s, Printf(users, width)) << step;
}

TEST(PortRow, KeptRowFollowsEveryUpdate) {
  std::vector<PortSlot> slots(4);
  const char* names[] = {"D", "C", "B", "A"};
  for (size_t i = 0; i < slots.size(); ++i) {
    slots[i] = PortSlot{};
    slots[i].PortName = names[i];
  }
  PortTable table = {};
  table.PortCount = 4;
  table.Slots = slots.data();
  struct Step {
    const char* What;  // connect, disconnect or reset
    const char* Port;
    const char* User;
    int Width;  // of the row written after it
  };
  const Step steps[] = {
      {"connect", "A", "alice", 8},
      {"connect", "C", "carol", 8},
      {"connect", "A", "bob", 8},  // replaces alice
      {"disconnect", "A", "", 8},
      {"connect", "Z", "zed", 8},  // no such port
      {"connect", "B", "averyveryverylongname", 8},
      {"reset", "", "", 8},                 // frees them all
      {"connect", "D", "dan", 3},           // a narrower column
      {"connect", "D", "\xC3\xA9mile", 1},  // a first character wider than it
      {"disconnect", "D", "", 1},
      {"connect", "A", "al", 1},
      {"connect", "B", "bea", 8},
      {"disconnect", "C", "", 8},  // a free port freed
  };
  for (const Step& step : steps) {
    std::string what = std::string(step.What) + " " + step.Port + " " + step.User;
    if (std::string(step.What) == "reset") {
      PortResetUpdate(&table, 5);
    } else {
      PortConnectUpdate(&table, std::string(step.What) == "connect", 5, step.Port, step.User,
                        step.Width);
    }
    ExpectRowOfSlots(&table, step.Width, what);
  }
  // Two updates between rows, as without a listing for a while.
  PortConnectUpdate(&table, true, 5, "A", "ann", 8);
  PortConnectUpdate(&table, true, 5, "C", "cy", 8);
  ExpectRowOfSlots(&table, 8, "two updates");
  free(table.Row);
}

}  // namespace
