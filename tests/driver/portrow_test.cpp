// The tabulated row put together in a buffer: the same text as "%-*s " per
// port, on the terminal and on a page (escaped names keep their padding),
// also for rows longer than the buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/output.h"
#include "driver/porttable.h"
#include "support/capture.h"

namespace {

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
  OutputEscapesHtml = page;
  std::string s = Written([&](FILE* out) { PortWriteRow(out, &table, width, false); });
  OutputEscapesHtml = false;
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

}  // namespace
