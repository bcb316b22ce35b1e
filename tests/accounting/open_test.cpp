// Opening accounting files: the kind told from the first bytes, a forced
// kind, the files that fail and their messages, standard input; and every
// writer's lines read back by its reader as the request they were.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "accounting/acct.h"
#include "accounting/detail_format.h"
#include "accounting/dts_format.h"
#include "accounting/ias_format.h"
#include "accounting/nps_format.h"
#include "platform/environment.h"
#include "support/acctread.h"
#include "support/tempdir.h"

namespace {

const char* const kDetail =
    "Tue Sep 13 16:24:27 2011\n\tAcct-Status-Type = Start\n\tNAS-IP-Address = 10.0.0.1\n"
    "\tAcct-Session-Id = \"1\"\n\n";
const char* const kNps =
    "\"CPU123\",\"RAS\",06/18/"
    "2024,14:45:48,4,,,,,,,,\"10.0.0.1\",9,,,,1718718348,,,,,,,,,,,,,,1,,,,"
    "\"1\",,,,,,,,,,,,,,,,,,,,,,,,,,,,,,\n";
const char* const kIas = "10.0.0.1,u,06/18/2024,14:45:48,IAS,CPU123,40,1,44,\"1\"\n";
const char* const kXml =
    "<Event><Timestamp data_type=\"4\">06/18/2024 14:45:48.609</Timestamp><NAS-IP-Address "
    "data_type=\"3\">10.0.0.1</NAS-IP-Address><Acct-Status-Type data_type=\"0\">1"
    "</Acct-Status-Type><Acct-Session-Id data_type=\"1\">1</Acct-Session-Id></Event>\n";

TEST(AcctOpen, KindsFromContent) {
  const struct {
    std::string Bytes;
    AcctKind Kind;
  } cases[] = {
      {kDetail, kAcctDetail},
      {"\n\n" + std::string(kDetail), kAcctDetail},
      {"Tue Sep 13 16:24:27 2011\n    User-Name = \"bob\"\n", kAcctDetail},
      {"Tue Sep 13 16:24:27 2011\n", kAcctAuto},  // a header alone
      {"Tue Sep 13 16:24:27 2011\nUser-Name = \"bob\"\n", kAcctAuto},
      {kNps, kAcctNps},
      {std::string("\xEF\xBB\xBF") + kNps, kAcctNps},
      {std::string(kNps).replace(10, 3, "XYZ"), kAcctAuto},  // "RAS" is what says so
      {kIas, kAcctIas},
      {"10.0.0.1,u,06/18/2024,14:45:48,IAS,CPU123,40\n", kAcctAuto},  // pairs cut
      {"10.0.0.1,u,18.06.2024,14:45:48,IAS,CPU123\n", kAcctAuto},     // no date as written
      {kXml, kAcctNpsXml},
      {"<Event>", kAcctNpsXml},
      {std::string("\x30\0\0\0LfLe", 8), kAcctEvt},
      {"", kAcctEmpty},
      {" \r\n\t\n", kAcctEmpty},
      {"number,generated,written\n", kAcctAuto},
      {"\x1f\x8b\x08", kAcctAuto},
  };
  for (const auto& c : cases) {
    int gzip = -1;
    EXPECT_EQ(c.Kind, AcctDetectKind(c.Bytes.data(), c.Bytes.size(), &gzip)) << c.Bytes;
    EXPECT_EQ(c.Bytes.compare(0, 2, "\x1f\x8b") == 0, gzip == 1) << c.Bytes;
  }
}

TEST(AcctOpen, KindNames) {
  const char* const names[] = {"evt", "detail", "nps", "ias", "nps-xml"};
  for (const char* name : names) {
    AcctKind kind;
    ASSERT_EQ(1, AcctKindFromName(name, &kind)) << name;
    EXPECT_STREQ(name, AcctKindName(kind));
  }
  AcctKind kind;
  EXPECT_EQ(0, AcctKindFromName("auto", &kind));
  EXPECT_EQ(0, AcctKindFromName("empty", &kind));
  EXPECT_EQ(0, AcctKindFromName("NPS", &kind));
}

TEST(AcctOpen, FailuresNameTheFile) {
  const struct {
    std::string Bytes;
    const char* Message;
  } cases[] = {
      {"hello\n",
       "test: not an accounting log nor an event log (tried evt, detail, nps, ias, "
       "nps-xml)"},
      {"\x1f\x8b\x08\x00",
       "test: compressed with gzip, which is not read here; pipe it in "
       "instead: zcat test | velmar-log busy -"},
      {std::string(kAcctBlockSize, '\n') + kDetail,  // blank for all the first block shows
       "test: not an accounting log nor an event log (tried evt, detail, nps, ias, nps-xml)"},
  };
  for (const auto& c : cases) {
    AcctResult got = ReadAcct(c.Bytes);
    EXPECT_FALSE(got.Opened);
    EXPECT_EQ(c.Message, got.Message);
  }
  AcctReader* r = new AcctReader;
  EXPECT_EQ(0, AcctOpen(r, "/nonexistent/detail", kAcctAuto));
  EXPECT_STREQ("/nonexistent/detail: No such file or directory", r->Message);
  AcctClose(r);
  // A folder opens, but it can't be read.
  TempFolder dir("acct");
  EXPECT_EQ(0, AcctOpen(r, dir.Path.c_str(), kAcctAuto));
  EXPECT_EQ(dir.Path + ": line 1: Is a directory", r->Message);
  AcctClose(r);
  delete r;
}

TEST(AcctOpen, ForcedKindReadsAsTold) {
  // Taken as nps, a detail file is lines not of the format.
  AcctResult got = ReadAcct(kDetail, kAcctNps);
  EXPECT_TRUE(got.Opened);
  EXPECT_EQ(kAcctNps, got.Kind);
  EXPECT_EQ(0u, got.Records.size());
  EXPECT_EQ("3=4@1", SkipText(got.Counts));
  // But gzip is no text of any kind.
  got = ReadAcct(std::string("\x1f\x8b\x08\x00\x01\x02\n", 7), kAcctDetail);
  EXPECT_FALSE(got.Opened);
  EXPECT_EQ(
      "test: compressed with gzip, which is not read here; pipe it in instead: zcat test | "
      "velmar-log busy -",
      got.Message);
  // An empty file of any kind has no record.
  got = ReadAcct("", kAcctIas);
  EXPECT_TRUE(got.Opened);
  EXPECT_EQ(0u, got.Records.size());
}

TEST(AcctOpen, StandardInputIsReadLikeAFile) {
  TempFolder dir("acct");
  std::string path = dir.Path + "/in";
  FILE* f = fopen(path.c_str(), "wb");
  std::string big;
  while (big.size() < 3 * kAcctBlockSize) big += kXml;  // more than one block
  fputs(big.c_str(), f);
  fclose(f);
  int saved = dup(0);
  ASSERT_NE(nullptr, freopen(path.c_str(), "rb", stdin));
  AcctReader* r = new AcctReader;
  ASSERT_EQ(1, AcctOpen(r, "-", kAcctAuto));
  EXPECT_EQ(kAcctNpsXml, r->Kind);
  AcctRecord rec;
  uint64_t n = 0;
  while (AcctRead(r, &rec) == 1) ++n;
  EXPECT_EQ(big.size() / strlen(kXml), n);
  EXPECT_EQ(n, r->Counts.Lines);
  AcctClose(r);
  delete r;
  dup2(saved, 0);
  close(saved);
  clearerr(stdin);
}

// ---- writers read back ----

struct Writer {
  AcctKind Kind;                                       // the format
  size_t (*Write)(const AcctRequest*, char*, size_t);  // its writer
};

const Writer kWriters[] = {
    {kAcctDetail, DetailWrite},
    {kAcctNps, NpsWrite},
    {kAcctIas, IasWrite},
    {kAcctNpsXml, DtsWrite},
};

// A request with texts that need quoting in every format.
AcctRequest Odd(AcctStatus status, bool stamp) {
  AcctRequest q = {};
  q.Packet = kPacketAccountingRequest;
  q.Status = status;
  q.NasIp = "192.0.2.9";
  q.NasIdentifier = "ras \"9\", <a&b>";
  q.Port = 17;
  q.PortId = "Async1/17";
  q.PortType = kPortAsync;
  q.User = "o'neil, \"jo\" <x&y> \\ \xC3\xA9\x01";
  q.SessionId = "id,\"1\"";
  q.Calling = "123";
  q.Event = 1796810400;
  q.SendEventTimestamp = stamp;
  q.Delay = 7;
  q.Received = q.Event + q.Delay;
  q.ReceivedMs = 42;
  q.HasSessionTime = status == kAcctStop || status == kAcctInterim;
  q.SessionTime = 3600;
  q.InputOctets = 1000;
  q.OutputOctets = 2000;
  q.Cause = kCauseLostCarrier;
  q.Server = "NPS01";
  return q;
}

TEST(AcctWrite, EveryWriterReadsBackAsItsRequest) {
  PlatformSetEnv("TZ", "EST5EDT,M3.2.0,M11.1.0");
  PlatformReadZone();
  const char* const user = "user=o'neil, \"jo\" <x&y> \\ \\xC3\\xA9\\x01";
  for (const Writer& w : kWriters) {
    bool ports = w.Kind != kAcctNps;   // the nps columns hold no NAS-Port-Id
    bool utc = w.Kind == kAcctDetail;  // its Timestamp is UTC, the others' times local
    std::string port = ports ? "port=Async1/17 " : "port=17 ";
    std::string from = utc ? "(received)" : "(received-local)";
    std::vector<std::string> want = {
        "1 Start nas=192.0.2.9(ip) " + port + user + " id=id,\"1\" time=1796810400(event) delay=7",
        "2 Stop nas=192.0.2.9(ip) " + port + user + " id=id,\"1\" time=1796810400" + from +
            " session=3600 delay=7",
        "3 Interim nas=192.0.2.9(ip) " + port + user + " id=id,\"1\" time=1796810400" + from +
            " session=3600 delay=7",
        "4 On nas=192.0.2.9(ip) port= " + std::string(w.Kind == kAcctDetail ? "user=" : user) +
            " id=id,\"1\" time=1796810400(event) delay=7",
        "5 Off nas=192.0.2.9(ip) port= " + std::string(w.Kind == kAcctDetail ? "user=" : user) +
            " id=id,\"1\" time=1796810400" + from + " delay=7",
    };
    const AcctRequest requests[] = {Odd(kAcctStart, true), Odd(kAcctStop, false),
                                    Odd(kAcctInterim, false), Odd(kAcctOn, true),
                                    Odd(kAcctOff, false)};
    std::string file;
    for (const AcctRequest& q : requests) {
      char text[kAcctRequestTextMax];
      size_t n = w.Write(&q, text, sizeof text);
      ASSERT_GT(n, 0u) << AcctKindName(w.Kind);
      EXPECT_EQ(0u, w.Write(&q, text, n - 1)) << AcctKindName(w.Kind);  // one byte short
      file.append(text, n);
    }
    AcctResult got = ReadAcct(file);
    EXPECT_EQ(w.Kind, got.Kind);
    EXPECT_EQ(WithoutLines(want), WithoutLines(got.Records)) << file;
    EXPECT_EQ("", SkipText(got.Counts)) << AcctKindName(w.Kind);
  }
}

TEST(AcctWrite, AuthenticationLinesOnlyWhereTheFormatHasThem) {
  PlatformSetEnv("TZ", "UTC0");
  PlatformReadZone();
  for (const Writer& w : kWriters) {
    std::string file;
    for (AcctPacketType p : {kPacketAccessRequest, kPacketAccessReject, kPacketAccessAccept}) {
      AcctRequest q = Odd(kAcctStart, true);
      q.Packet = p;
      char text[kAcctRequestTextMax];
      file.append(text, w.Write(&q, text, sizeof text));
    }
    AcctResult got = ReadAcct(file, w.Kind);
    EXPECT_EQ(w.Kind == kAcctDetail ? "" : "auth=3", SkipText(got.Counts)) << AcctKindName(w.Kind);
  }
}

}  // namespace
