// The three Windows formats on hand-worked lines: the public NPS sample,
// each column or attribute rule, the time rules, authentication lines, and
// each kind of damage with the exact count it leaves.
#include <gtest/gtest.h>

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

struct Case {
  const char* Name;                  // what it shows
  std::string Input;                 // the file
  std::vector<std::string> Records;  // AcctText of each record read
  const char* Skips;                 // SkipText of the counts
};

void Check(AcctKind kind, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    AcctResult got = ReadAcct(c.Input, kind);
    EXPECT_TRUE(got.Opened) << c.Name;
    EXPECT_EQ(c.Records, got.Records) << c.Name;
    EXPECT_EQ(c.Skips, SkipText(got.Counts)) << c.Name;
  }
}

// s with the first `from` replaced by `to`.
std::string Replace(std::string s, const std::string& from, const std::string& to) {
  size_t at = s.find(from);
  return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

// ---- database-compatible ----

const std::string kSample =
    ReadFile(VELMAR_SOURCE_DIR "/tests/accounting/samples/nps-database-start.log");

// The sample line with field i (from 0) set to text.
std::string Field(std::string line, int i, const std::string& text) {
  size_t at = 0;
  for (int k = 0; k < i; ++k) {
    at = line[at] == '"' ? line.find('"', at + 1) + 1 : at;
    at = line.find(',', at) + 1;
  }
  size_t end = line[at] == '"' ? line.find('"', at + 1) + 1 : at;
  end = line.find_first_of(",\n", end);
  return line.replace(at, end - at, text);
}

const char* const kSampleText =
    "1 Start nas=192.168.180.4(ip) port=9 user=myusername id=168 time=1718718348(event)";

TEST(NpsRead, PublicSampleIsItsSourcesStart) {
  AcctResult got = ReadAcct(kSample);
  EXPECT_EQ(kAcctNps, got.Kind);
  EXPECT_EQ(std::vector<std::string>({kSampleText}), got.Records);
  EXPECT_EQ("", SkipText(got.Counts));
}

TEST(NpsRead, ColumnRules) {
  // The sample's server is an hour ahead of UTC in June, as in London.
  SetZone("GMT0BST,M3.5.0/1,M10.5.0");
  std::string noStamp = Field(kSample, 17, "");
  Check(kAcctNps,
        {
            {"Record-Date and Record-Time in local time without Event-Timestamp",
             noStamp,
             {"1 Start nas=192.168.180.4(ip) port=9 user=myusername id=168 "
              "time=1718718348(received-local)"},
             ""},
            {"... minus Acct-Delay-Time",
             Field(noStamp, 32, "8"),
             {"1 Start nas=192.168.180.4(ip) port=9 user=myusername id=168 "
              "time=1718718340(received-local) delay=8"},
             ""},
            {"a Stop, CR LF, a quote inside a text",
             Field(Field(Field(kSample, 31, "2"), 37, "1800"), 5, "\"my\"\"name\"") + "\r\n",
             {"1 Stop nas=192.168.180.4(ip) port=9 user=my\"name id=168 time=1718718348(event) "
              "session=1800"},
             ""},
            {"NAS-Identifier when NAS-IP-Address is empty",
             Field(kSample, 12, ""),
             {"1 Start nas=CPU123(id) port=9 user=myusername id=168 time=1718718348(event)"},
             ""},
            {"authentication lines and other packets are counted apart",
             Field(kSample, 4, "1") + Field(kSample, 4, "2") + Field(kSample, 4, "3") +
                 Field(kSample, 4, "5") + kSample,
             {"5 Start nas=192.168.180.4(ip) port=9 user=myusername id=168 "
              "time=1718718348(event)"},
             "auth=3 other=1"},
        });
}

TEST(NpsRead, DamageIsSkippedAndCounted) {
  SetZone("UTC0");
  std::string line = kSample.substr(0, kSample.size() - 1);
  Check(kAcctNps,
        {
            {"65 fields", line.substr(0, line.rfind(',')) + "\n", {}, "3=1@1"},
            {"67 fields", line + ",\n", {}, "3=1@1"},
            {"a quote left open", Field(kSample, 5, "\"my"), {}, "3=1@1"},
            {"cut by the end of the input", kSample + line.substr(0, 100), {kSampleText}, "1=1@2"},
            {"an Event-Timestamp of no number", Field(kSample, 17, "x1"), {}, "4=1@1"},
            {"an address of no address", Field(kSample, 12, "\"192.168.180\""), {}, "4=1@1"},
            {"a date of no date", Field(Field(kSample, 17, ""), 2, "13/18/2024"), {}, "4=1@1"},
            {"a status outside the five", Field(kSample, 31, "9"), {}, "6=1@1"},
            {"no status", Field(kSample, 31, ""), {}, "other=1"},
            {"no session id", Field(kSample, 35, ""), {}, "7=1@1"},
        });
}

TEST(NpsRead, FieldsAreSplitAsTheyStandWhereverTheyFall) {
  // Commas are found 64 bytes at a time: quoted commas and doubled quotes
  // across those stretches, and bad quoting far into a line.
  SetZone("UTC0");
  std::string quoted = "\"a,b" + std::string(60, 'c') + ",\"\"d\"";
  std::string line = kSample.substr(0, kSample.size() - 1);
  Check(kAcctNps,
        {
            {"a text with commas and quotes across them",
             Field(kSample, 5, quoted),
             {"1 Start nas=192.168.180.4(ip) port=9 user=a,b" + std::string(60, 'c') +
              ",\"d id=168 time=1718718348(event)"},
             ""},
            {"a quote left open far into the line", Field(kSample, 60, "\"x"), {}, "3=1@1"},
            {"text after a closing quote", Field(kSample, 60, "\"x\"y"), {}, "3=1@1"},
            {"a 67th field badly quoted", line + ",\"\n", {}, "3=1@1"},
        });
}

// ---- IAS (legacy) ----

const char* const kIasStart =
    "192.168.180.4,myusername,06/18/2024,14:45:48,IAS,CPU123,4136,4,40,1,44,\"168\",5,9,"
    "55,1718718348\r\n";

TEST(IasRead, AttributeRules) {
  SetZone("GMT0BST,M3.5.0/1,M10.5.0");
  Check(kAcctIas,
        {
            {"a Start",
             kIasStart,
             {"1 Start nas=192.168.180.4(ip) port=9 user=myusername id=168 "
              "time=1718718348(event)"},
             ""},
            {"attributes before the fixed fields; NAS-Port-Id; local time minus the delay",
             "10.0.0.1,,06/18/2024,14:45:48,IAS,CPU123,4,192.0.2.7,1,\"a,b\",40,2,44,168,"
             "87,\"VPN1-9\",46,60,41,8\r\n",
             {"1 Stop nas=192.0.2.7(ip) port=VPN1-9 user=a,b id=168 "
              "time=1718718340(received-local) session=60 delay=8"},
             ""},
            {"NAS-IPv6-Address, then NAS-Identifier, when the first field is empty",
             ",u,06/18/2024,14:45:48,IAS,C,95,2001:db8::7,32,\"ras1\",40,7\r\n"
             ",u,06/18/2024,14:45:48,IAS,C,32,\"ras1\",40,8\r\n",
             {"1 On nas=2001:db8::7(ipv6) port= user=u id= time=1718718348(received-local)",
              "2 Off nas=ras1(id) port= user=u id= time=1718718348(received-local)"},
             ""},
            {"an Event-Timestamp as a date text is UTC",
             ",u,06/18/2024,14:45:48,IAS,C,4,192.0.2.7,40,7,55,\"06/18/2024 13:45:48\"\r\n",
             {"1 On nas=192.0.2.7(ip) port= user=u id= time=1718718348(event)"},
             ""},
            {"authentication lines",
             "192.0.2.7,u,06/18/2024,14:45:48,IAS,C,4136,1\r\n"
             "192.0.2.7,u,06/18/2024,14:45:48,IAS,C,4136,2,40,1\r\n",
             {},
             "auth=2"},
        });
}

TEST(IasRead, DamageIsSkippedAndCounted) {
  SetZone("UTC0");
  std::string start = kIasStart;
  Check(
      kAcctIas,
      {
          {"an attribute without its value",
           start.substr(0, start.size() - 2) + ",46\r\n",
           {},
           "3=1@1"},
          {"an attribute number that is none",
           "192.0.2.7,u,06/18/2024,14:45:48,IAS,"
           "C,x,1,40,7\r\n",
           {},
           "3=1@1"},
          {"cut by the end of the input: its pairs may be cut too",
           start + start.substr(0, start.size() - 2),
           {"1 Start nas=192.168.180.4(ip) port=9 user=myusername id=168 "
            "time=1718718348(event)"},
           "1=1@2"},
          {"an attribute twice", start.substr(0, start.size() - 2) + ",44,\"9\"\r\n", {}, "5=1@1"},
          {"a status outside the five",
           "192.0.2.7,u,06/18/2024,14:45:48,IAS,C,40,"
           "14\r\n",
           {},
           "6=1@1"},
          {"a record time of no time",
           "192.0.2.7,u,06/18/2024,25:45:48,IAS,C,40,7\r\n",
           {},
           "4=1@1"},
      });
}

TEST(IasRead, PairsPastTheFirstFewAreReadInTheirOrder) {
  // Fields are split many at a time: pairs after the first batch are read,
  // and damage keeps the order of the line.
  SetZone("UTC0");
  std::string many;
  for (int i = 0; i < 40; ++i) many += "8,1,";  // attributes the reader passes over
  std::string start = kIasStart;
  Check(kAcctIas, {
                      {"the session id after 40 other pairs",
                       Replace(start, "44,\"168\"", many + "44,\"168\""),
                       {"1 Start nas=192.168.180.4(ip) port=9 user=myusername id=168 "
                        "time=1718718348(event)"},
                       ""},
                      {"a value of the wrong type before a quote left open later",
                       Replace(start, "5,9,", "5,x," + many + "1,\"open,"),
                       {},
                       "4=1@1"},
                      {"a quote left open after the pairs",
                       Replace(start, "5,9,", many + "1,\"open,"),
                       {},
                       "3=1@1"},
                  });
}

// ---- DTS compliant (XML) ----

const char* const kDtsStart =
    "<Event><Timestamp data_type=\"4\">06/18/2024 14:45:48.609</Timestamp>"
    "<Computer-Name data_type=\"1\">CPU123</Computer-Name>"
    "<Event-Source data_type=\"1\">IAS</Event-Source>"
    "<User-Name data_type=\"1\">my&amp;name&#65;&#x42;</User-Name>"
    "<NAS-IP-Address data_type=\"3\">192.168.180.4</NAS-IP-Address>"
    "<NAS-Port data_type=\"0\">9</NAS-Port>"
    "<Class data_type=\"1\">311 1 a&lt;b</Class>"
    "<Packet-Type data_type=\"0\">4</Packet-Type>"
    "<Acct-Status-Type data_type=\"0\">1</Acct-Status-Type>"
    "<Acct-Session-Id data_type=\"1\">168</Acct-Session-Id>"
    "<Acct-Delay-Time data_type=\"0\">8</Acct-Delay-Time>"
    "</Event>\r\n";

TEST(DtsRead, ElementRules) {
  SetZone("GMT0BST,M3.5.0/1,M10.5.0");
  std::string start = kDtsStart;
  std::string stamped = Replace(start, "</Event>",
                                "<Event-Timestamp data_type=\"0\">1718718348</Event-Timestamp>"
                                "</Event>");
  Check(
      kAcctNpsXml,
      {
          {"entities; the local Timestamp minus the delay, its milliseconds dropped",
           start,
           {"1 Start nas=192.168.180.4(ip) port=9 user=my&nameAB id=168 "
            "time=1718718340(received-local) delay=8"},
           ""},
          {"Event-Timestamp first",
           stamped,
           {"1 Start nas=192.168.180.4(ip) port=9 user=my&nameAB id=168 "
            "time=1718718348(event) delay=8"},
           ""},
          {"an empty element",
           Replace(stamped,
                   "<User-Name data_type=\"1\">my&amp;name&#65;"
                   "&#x42;</User-Name>",
                   "<User-Name data_type=\"1\"/>"),
           {"1 Start nas=192.168.180.4(ip) port=9 user= id=168 time=1718718348(event) delay=8"},
           ""},
          {"authentication", Replace(start, ">4</Packet-Type>", ">2</Packet-Type>"), {}, "auth=1"},
      });
}

TEST(DtsRead, DamageIsSkippedAndCounted) {
  SetZone("UTC0");
  std::string start = kDtsStart;
  Check(kAcctNpsXml,
        {
            {"no </Event>", Replace(start, "</Event>", ""), {}, "3=1@1"},
            {"cut by the end of the input", start.substr(0, start.size() - 12), {}, "1=1@1"},
            {"an element closed by another",
             Replace(start, "</NAS-Port>", "</NAS-Pork>"),
             {},
             "3=1@1"},
            {"an entity of no name", Replace(start, "&amp;", "&amq;"), {}, "4=1@1"},
            {"a number that is none",
             Replace(start, ">9</NAS-Port>", ">nine</NAS-Port>"),
             {},
             "4=1@1"},
            {"an element twice",
             Replace(start, "</Event>",
                     "<Acct-Status-Type data_type=\"0\">2</Acct-Status-Type>"
                     "</Event>"),
             {},
             "5=1@1"},
            {"a Timestamp of no time", Replace(start, "14:45:48.609", "14:45"), {}, "4=1@1"},
        });
}

TEST(DtsRead, LongNamesAndTextsAreFoundWhereverTheyFall) {
  // Names and brackets are found 16 bytes at a time.
  SetZone("UTC0");
  std::string start = kDtsStart;
  std::string longer =
      Replace(Replace(start, "311 1 a&lt;b", "311 1 " + std::string(40, 't') + " a&lt;b"),
              "<Acct-Delay-Time",
              "<Acct-Session-Timeout data_type=\"0\">5</Acct-Session-Timeout>"
              "<Acct-Session-Time data_type=\"0\">1800</Acct-Session-Time><Acct-Delay-Time");
  Check(kAcctNpsXml, {
                         {"a long text, and names of 17 and 20 bytes",
                          longer,
                          {"1 Start nas=192.168.180.4(ip) port=9 user=my&nameAB id=168 "
                           "time=1718721940(received-local) session=1800 delay=8"},
                          ""},
                         {"a closing name that differs in its last byte",
                          Replace(longer, "</Acct-Session-Time>", "</Acct-Session-Timf>"),
                          {},
                          "3=1@1"},
                     });
}

}  // namespace
