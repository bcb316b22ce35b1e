// The detail reader on hand-worked records: each attribute rule, the time
// rules, the public FreeRADIUS sample, and each kind of damage with the
// exact count it leaves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "accounting/acct.h"
#include "platform/environment.h"
#include "support/acctread.h"

namespace {

void SetZone(const char* tz) {
  PlatformSetEnv("TZ", tz);
  PlatformReadZone();
}

std::string ReadFile(const std::string& path) {
  std::string text;
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  fclose(f);
  return text;
}

// s with every `from` replaced by `to`.
std::string Replace(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

// A record of the header and attribute lines given, each indented by a
// tab, and its blank line.
std::string Record(const char* header, std::vector<std::string> lines) {
  std::string s = std::string(header) + "\n";
  for (const std::string& l : lines) s += "\t" + l + "\n";
  return s + "\n";
}

const char* const kHeader = "Wed Dec  9 10:00:05 2026";

// A Stop with everything, the lines given added.
std::string Stop(std::vector<std::string> more) {
  std::vector<std::string> lines = {"Acct-Session-Id = \"0000002A\"", "Acct-Status-Type = Stop",
                                    "User-Name = \"jtan\"", "NAS-IP-Address = 192.0.2.1",
                                    "NAS-Port = 3"};
  lines.insert(lines.end(), more.begin(), more.end());
  return Record(kHeader, lines);
}

struct Case {
  const char* Name;                  // what it shows
  std::string Input;                 // the file
  std::vector<std::string> Records;  // AcctText of each record read
  const char* Skips;                 // SkipText of the counts
};

void Check(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    AcctResult got = ReadAcct(c.Input, kAcctDetail);
    EXPECT_TRUE(got.Opened) << c.Name;
    EXPECT_EQ(0, got.End) << c.Name;
    EXPECT_EQ(c.Records, got.Records) << c.Name;
    EXPECT_EQ(c.Skips, SkipText(got.Counts)) << c.Name;
  }
}

const char* const kStopText =
    "1 Stop nas=192.0.2.1(ip) port=3 user=jtan id=0000002A time=1796810400(event)";

TEST(DetailRead, PublicSampleTakesItsTimeFromTimestamp) {
  SetZone("UTC0");
  AcctResult got = ReadAcct(ReadFile(VELMAR_SOURCE_DIR "/tests/accounting/samples/"
                                                       "freeradius-detail-start.txt"));
  EXPECT_EQ(kAcctDetail, got.Kind);
  ASSERT_EQ(1u, got.Records.size());
  // The header says 2011; the server's Timestamp, 2019-04-02T17:38:01Z, holds.
  EXPECT_EQ(
      "1 Start nas=10.10.0.179(ip) port=0 user=bob id=ed8119f6919c6f6f time=1554226681(received)",
      got.Records[0]);
  EXPECT_EQ("", SkipText(got.Counts));
}

TEST(DetailRead, AttributeRules) {
  SetZone("UTC0");
  Check({
      {"everything",
       Stop({"Acct-Session-Time = 600", "Event-Timestamp = 1796810400"}),
       {std::string(kStopText) + " session=600"},
       ""},
      {"NAS-Port-Id before NAS-Port",
       Stop({"NAS-Port-Id = \"Async1/03\"", "Event-Timestamp = 1796810400"}),
       {"1 Stop nas=192.0.2.1(ip) port=Async1/03 user=jtan id=0000002A time=1796810400(event)"},
       ""},
      {"NAS-IP-Address before NAS-Identifier",
       Stop({"NAS-Identifier = \"ras1\"", "Event-Timestamp = 1796810400"}),
       {kStopText},
       ""},
      {"NAS-IPv6-Address, else NAS-Identifier",
       Record(kHeader,
              {"Acct-Status-Type = Start", "Acct-Session-Id = \"1\"", "NAS-Identifier = \"ras1\"",
               "NAS-IPv6-Address = 2001:db8::1", "Timestamp = 1796810405"}) +
           Record(kHeader, {"Acct-Status-Type = Start", "Acct-Session-Id = \"2\"",
                            "NAS-Identifier = \"ras1\"", "Timestamp = 1796810405"}),
       {"1 Start nas=2001:db8::1(ipv6) port= user= id=1 time=1796810405(received)",
        "8 Start nas=ras1(id) port= user= id=2 time=1796810405(received)"},
       ""},
      {"status by name, with ::, by number, and the old name of Interim-Update",
       Record(kHeader, {"Acct-Status-Type = ::Interim-Update", "Acct-Session-Id = \"1\"",
                        "NAS-IP-Address = 192.0.2.1", "Timestamp = 1796810405"}) +
           Record(kHeader, {"Acct-Status-Type = 3", "Acct-Session-Id = \"1\"",
                            "NAS-IP-Address = 192.0.2.1", "Timestamp = 1796810405"}) +
           Record(kHeader, {"Acct-Status-Type = Alive", "Acct-Session-Id = \"1\"",
                            "NAS-IP-Address = 192.0.2.1", "Timestamp = 1796810405"}),
       {"1 Interim nas=192.0.2.1(ip) port= user= id=1 time=1796810405(received)",
        "7 Interim nas=192.0.2.1(ip) port= user= id=1 time=1796810405(received)",
        "13 Interim nas=192.0.2.1(ip) port= user= id=1 time=1796810405(received)"},
       ""},
      {"Accounting-On and -Off need no session id",
       Record(kHeader, {"Acct-Status-Type = Accounting-On", "NAS-IP-Address = 192.0.2.1",
                        "Timestamp = 1796810405"}) +
           Record(kHeader, {"Acct-Status-Type = Accounting-Off", "NAS-IP-Address = 192.0.2.1",
                            "Timestamp = 1796810405"}),
       {"1 On nas=192.0.2.1(ip) port= user= id= time=1796810405(received)",
        "6 Off nas=192.0.2.1(ip) port= user= id= time=1796810405(received)"},
       ""},
      {"names without regard to case, indented by spaces, lines ending CR LF, unknown ignored",
       "Wed Dec  9 10:00:05 2026\r\n    acct-status-type = stop\r\n    ACCT-SESSION-ID = "
       "\"0000002A\"\r\n    User-Name = \"jtan\"\r\n    Nas-Ip-Address = 192.0.2.1\r\n"
       "    NAS-Port = 3\r\n    Vendor-Thing = 0x00ff\r\n    Event-Timestamp = 1796810400\r\n\r\n",
       {kStopText},
       ""},
      {"escapes in texts, and bytes that are no UTF-8 kept",
       Replace(Stop({"Event-Timestamp = 1796810400", "Calling-Station-Id = \"x\""}), "\"0000002A\"",
               "\"a\\\"b\\\\c\\303\\251\\n\xff\""),
       {"1 Stop nas=192.0.2.1(ip) port=3 user=jtan id=a\"b\\c\\xC3\\xA9\\x0A\\xFF "
        "time=1796810400(event)"},
       ""},
      {"a detail record without Acct-Session-Id takes Acct-Unique-Session-Id",
       Record(kHeader, {"Acct-Status-Type = Start", "NAS-IP-Address = 192.0.2.1",
                        "Acct-Unique-Session-Id = \"u1\"", "Timestamp = 1796810405"}),
       {"1 Start nas=192.0.2.1(ip) port= user= id=u1 time=1796810405(received)"},
       ""},
      {"blank lines of blanks part records; a missing final blank line is fine",
       "\n \t\n" + Replace(Stop({"Event-Timestamp = 1796810400"}), "\n\n", "\n \t\n") +
           Stop({"Event-Timestamp = 1796810400"})
               .substr(0, Stop({"Event-Timestamp = 1796810400"}).size() - 1),
       {"3 Stop nas=192.0.2.1(ip) port=3 user=jtan id=0000002A time=1796810400(event)",
        "11 Stop nas=192.0.2.1(ip) port=3 user=jtan id=0000002A time=1796810400(event)"},
       ""},
  });
}

TEST(DetailRead, TimeRules) {
  SetZone("EST5EDT,M3.2.0,M11.1.0");
  Check({
      {"Event-Timestamp first",
       Stop({"Acct-Delay-Time = 5", "Event-Timestamp = 1796810400", "Timestamp = 1796810999"}),
       {std::string(kStopText) + " delay=5"},
       ""},
      {"Timestamp minus Acct-Delay-Time",
       Stop({"Acct-Delay-Time = 5", "Timestamp = 1796810405"}),
       {"1 Stop nas=192.0.2.1(ip) port=3 user=jtan id=0000002A time=1796810400(received) "
        "delay=5"},
       ""},
      {"the header in local time minus Acct-Delay-Time: 16:24:27 EDT is 20:24:27Z",
       Record("Tue Sep 13 16:24:32 2011", {"Acct-Status-Type = Start", "Acct-Session-Id = \"1\"",
                                           "NAS-IP-Address = 192.0.2.1", "Acct-Delay-Time = 5"}),
       {"1 Start nas=192.0.2.1(ip) port= user= id=1 time=1315945467(received-local) delay=5"},
       ""},
      {"a date text in UTC counts as Event-Timestamp",
       Stop({"Event-Timestamp = \"Sep 13 2011 20:24:27 UTC\"", "Timestamp = 1796810405"}),
       {"1 Stop nas=192.0.2.1(ip) port=3 user=jtan id=0000002A time=1315945467(event)"},
       ""},
      {"a local date text ranks below Timestamp",
       Stop({"Event-Timestamp = \"Sep 13 2011 16:24:27 EDT\"", "Timestamp = 1796810405"}),
       {"1 Stop nas=192.0.2.1(ip) port=3 user=jtan id=0000002A time=1796810405(received)"},
       ""},
      {"... and above the header",
       Stop({"Event-Timestamp = \"Sep  3 2011 16:24:27 EDT\"", "Acct-Delay-Time = 9"}),
       {"1 Stop nas=192.0.2.1(ip) port=3 user=jtan id=0000002A time=1315081467(event-local) "
        "delay=9"},
       ""},
  });
}

TEST(DetailRead, DamageIsSkippedAndCounted) {
  SetZone("UTC0");
  std::string good = Stop({"Event-Timestamp = 1796810400"});
  std::string noBlank = good.substr(0, good.size() - 1);
  Check({
      {"no blank line before the next record: the first is skipped",
       noBlank + good,
       {"8 Stop nas=192.0.2.1(ip) port=3 user=jtan id=0000002A time=1796810400(event)"},
       "2=1@1"},
      {"cut inside its last line", good + good.substr(0, good.size() - 10), {kStopText}, "1=1@9"},
      {"cut inside its header", good + "Wed Dec  9 10:0", {kStopText}, "1=1@9"},
      {"a number that is none", Stop({"Acct-Session-Time = 12x", "Timestamp = 1"}), {}, "4=1@1"},
      {"an address that is none", Stop({"NAS-IP-Address = 300.1.1.1"}), {}, "5=1@1"},
      {"a port below zero", Stop({"NAS-Port = -1"}), {}, "5=1@1"},
      {"a quote not closed", Stop({"NAS-Identifier = \"ras1", "Timestamp = 1"}), {}, "4=1@1"},
      {"a date text of no date",
       Stop({"Event-Timestamp = \"Feb 30 2011 16:24:27 UTC\""}),
       {},
       "4=1@1"},
      {"a text longer than an attribute holds",
       Stop({"NAS-Identifier = \"" + std::string(254, 'x') + "\"", "Timestamp = 1"}),
       {},
       "4=1@1"},
      {"an attribute twice", Stop({"User-Name = \"other\"", "Timestamp = 1"}), {}, "5=1@1"},
      {"status types outside the five",
       Record(kHeader,
              {"Acct-Status-Type = Tunnel-Start", "NAS-IP-Address = 192.0.2.1", "Timestamp = 1"}) +
           Record(kHeader,
                  {"Acct-Status-Type = 15", "NAS-IP-Address = 192.0.2.1", "Timestamp = 1"}) +
           Record(kHeader,
                  {"Acct-Status-Type = Sometimes", "NAS-IP-Address = 192.0.2.1", "Timestamp = 1"}),
       {},
       "6=3@1"},
      {"no session id, no NAS",
       Record(kHeader,
              {"Acct-Status-Type = Start", "NAS-IP-Address = 192.0.2.1", "Timestamp = 1"}) +
           Record(kHeader,
                  {"Acct-Status-Type = Start", "Acct-Session-Id = \"1\"", "Timestamp = 1"}),
       {},
       "7=2@1"},
      {"a record that is no accounting request (an Access-Request log)",
       Record(kHeader, {"User-Name = \"bob\"", "NAS-IP-Address = 192.0.2.1"}),
       {},
       "other=1"},
      {"a header of no time, and attribute lines with no header",
       Record("Sat Foo 99 10:00:05 2026", {"Acct-Status-Type = Start"}) +
           "\tAcct-Status-Type = Start\n\tNAS-IP-Address = 192.0.2.1\n\n" + good,
       {"7 Stop nas=192.0.2.1(ip) port=3 user=jtan id=0000002A time=1796810400(event)"},
       "3=2@1"},
      {"an attribute line without its =",
       Stop({"Acct-Session-Time 12", "Timestamp = 1"}),
       {},
       "3=1@1"},
      {"a time outside what RADIUS holds",
       Stop({"Acct-Delay-Time = 9", "Timestamp = 5"}),
       {},
       "4=1@1"},
  });
}

TEST(DetailRead, LongLinesCostNoMemoryAndLoseOnlyTheirRecord) {
  SetZone("UTC0");
  std::string good = Stop({"Event-Timestamp = 1796810400"});
  for (size_t size : {size_t{70000}, size_t{3} << 20, size_t{100} << 20}) {
    std::string input = good + Stop({"Class = \"" + std::string(size, 'c') + "\""}) + good;
    AcctResult got = ReadAcct(input, kAcctDetail);
    EXPECT_EQ(std::vector<std::string>({kStopText,
                                        "17 Stop nas=192.0.2.1(ip) port=3 user=jtan "
                                        "id=0000002A time=1796810400(event)"}),
              got.Records)
        << size;
    EXPECT_EQ("0=1@9", SkipText(got.Counts)) << size;
  }
  // A line as long as the limit is still read.
  std::string id(kAcctLineLimit - std::string("\tNAS-Identifier = \"\"").size(), 'i');
  AcctResult got =
      ReadAcct(Stop({"NAS-Identifier = \"" + id + "\"", "Timestamp = 1"}), kAcctDetail);
  EXPECT_EQ("4=1@1", SkipText(got.Counts));  // too long a text, but read as a line
}

TEST(DetailRead, RecordsAcrossBlockEndsReadWhole) {
  // The line ends of a block are found many at a time: records that run
  // past a block's end, at every place in them, read as the others.
  SetZone("UTC0");
  const std::string record = Stop({"Acct-Session-Time = 600", "Event-Timestamp = 1796810400"});
  const std::string want =
      "Stop nas=192.0.2.1(ip) port=3 user=jtan id=0000002A "
      "time=1796810400(event) session=600";
  for (const char* end : {"\n", "\r\n"}) {
    std::string one = Replace(record, "\n", end);
    size_t count = kAcctBlockSize / one.size() + 2;
    for (size_t pad = 0; pad < one.size(); pad += 7) {
      std::string input = std::string(pad, ' ') + end;  // a blank line moves the rest
      for (size_t i = 0; i < count; ++i) input += one;
      AcctResult got = ReadAcct(input, kAcctDetail);
      ASSERT_EQ(count, got.Records.size()) << pad << end;
      EXPECT_EQ(std::vector<std::string>(count, want), WithoutLines(got.Records)) << pad;
      EXPECT_EQ(std::to_string(2 + 9 * (count - 1)) + " " + want, got.Records.back()) << pad;
      EXPECT_EQ("", SkipText(got.Counts)) << pad;
      EXPECT_EQ(1 + 9 * count, got.Counts.Lines) << pad;
    }
  }
}

TEST(DetailRead, EveryWritingOfALineReadsAlike) {
  // Lines as writers write them are read at once, any other way by the
  // general rules: both give the same record.
  SetZone("UTC0");
  const std::string usual = Stop({"Acct-Session-Time = 600", "Event-Timestamp = 1796810400"});
  const std::string want = std::string(kStopText) + " session=600";
  const std::vector<std::pair<const char*, std::string>> writings = {
      {"as usual", usual},
      {"no blanks around =", Replace(usual, " = ", "=")},
      {"tabs and two blanks around =", Replace(usual, " = ", " \t=  ")},
      {"blanks at the end of lines",
       Replace(Replace(Replace(usual, "600\n", "600 \t\n"), "\"jtan\"\n", "\"jtan\"  \n"),
               "= Stop\n", "= Stop\t\n")},
      {"indented twice", Replace(usual, "\n\t", "\n\t\t")},
      {"names in other case",
       Replace(Replace(usual, "User-Name", "USER-name"), "Acct-Session-Time", "acct-session-time")},
      {"numbers quoted",
       Replace(Replace(Replace(usual, "= 600", "= \"600\""), "= 3\n", "= \"3\"\n"), "= 1796810400",
               "= \"1796810400\"")},
      {"a port with leading zeros", Replace(usual, "NAS-Port = 3", "NAS-Port = 003")},
      {"the status by number", Replace(usual, "= Stop", "= 2")},
      {"the status with ::, and in other case", Replace(usual, "= Stop", "= ::sTOP")},
      {"names passed over that start as used ones",
       Replace(usual, "\tNAS-Port = 3\n",
               "\tNAS-Port-Type = Async\n\tNAS-Port = 3\n\tAcct-Session-Timer = 1\n"
               "\tUser-Name-X = \"x\"\n\tNAS-Portal = 9\n")},
  };
  for (const auto& w : writings) {
    AcctResult got = ReadAcct(w.second, kAcctDetail);
    EXPECT_EQ(std::vector<std::string>({want}), got.Records) << w.first;
    EXPECT_EQ("", SkipText(got.Counts)) << w.first;
  }
}

TEST(DetailRead, ValuesAtTheEdgesOfWhatIsReadAtOnce) {
  // Numbers are read eight digits at a time and short texts in one copy
  // of 16 bytes: lengths each side of those, and damage at their edges.
  SetZone("UTC0");
  auto session = [](const std::string& v) {
    return Stop({"Acct-Session-Time = " + v, "Event-Timestamp = 1796810400"});
  };
  auto id = [](const std::string& v) {
    return Record(kHeader, {"Acct-Status-Type = Start", "NAS-IP-Address = 192.0.2.1",
                            "Acct-Session-Id = " + v, "Timestamp = 1796810405"});
  };
  const std::string start = "1 Start nas=192.0.2.1(ip) port= user= id=";
  const std::string at = " time=1796810405(received)";
  const std::string x15(15, 'x'), x16(16, 'x'), x17(17, 'x');
  Check({
      {"eight digits", session("12345678"), {std::string(kStopText) + " session=12345678"}, ""},
      {"nine", session("123456789"), {std::string(kStopText) + " session=123456789"}, ""},
      {"the largest", session("4294967295"), {std::string(kStopText) + " session=4294967295"}, ""},
      {"one more", session("4294967296"), {}, "4=1@1"},
      {"ten with leading zeros",
       session("0000000001"),
       {std::string(kStopText) + " session=1"},
       ""},
      {"eleven", session("00000000001"), {}, "4=1@1"},
      {"no digit at the end", session("12345678a"), {}, "4=1@1"},
      {"none at the start", session("a2345678"), {}, "4=1@1"},
      {"texts of 15, 16 and 17 bytes",
       id("\"" + x15 + "\"") + id("\"" + x16 + "\"") + id("\"" + x17 + "\""),
       {start + x15 + at, "7" + start.substr(1) + x16 + at, "13" + start.substr(1) + x17 + at},
       ""},
      {"an escape as the 16th byte, and a backslash before the closing quote",
       id("\"" + x15 + "\\\"\"") + id("\"ab\\\""),
       {start + x15 + "\"" + at, "7" + start.substr(1) + "ab\\" + at},
       ""},
      {"a name that fills four words",
       Record(kHeader, {"Acct-Status-Type = Start", "NAS-IP-Address = 192.0.2.1",
                        "Acct-Unique-Session-Id = \"" + x17 + "\"", "Timestamp = 1796810405"}),
       {start + x17 + at},
       ""},
  });
}

}  // namespace
