// libform: form texts cut and decoded through tables of cases; GET and POST
// requests run against the real environment, standard input and output. A
// wrapped malloc counts allocations, fails a chosen one, and fills each block
// with 'Z' so that a read of bytes never written shows in the result.
#include <stdio_ext.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "cgi/libform.h"
#include "gtest/gtest.h"
#include "support/capture.h"

namespace {
int gMallocCount = 0;  // allocations since the last reset
int gFailAt = 0;       // number of the allocation that fails; 0 for none
}  // namespace

extern "C" void* __real_malloc(size_t size);
extern "C" void* __wrap_malloc(size_t size) {
  if (++gMallocCount == gFailAt) return nullptr;
  void* block = __real_malloc(size);
  if (block != nullptr) std::memset(block, 'Z', size);
  return block;
}

namespace {

// "Count:name=value|..." with "(null)" for a null name or value; "none" for no form.
std::string Show(const Form* form) {
  if (form == nullptr) return "none";
  std::string out = std::to_string(form->Count) + ":";
  for (int32_t i = 0; i < form->Count; ++i) {
    out += i > 0 ? "|" : "";
    out += form->Name[i] ? form->Name[i] : "(null)";
    out += std::string("=") + (form->Value[i] ? form->Value[i] : "(null)");
  }
  return out;
}

Form* Split(const char* text) {
  return FormSplit(strdup(text));
}

std::string ReadAll(FILE* in) {
  std::string text;
  for (int c; (c = std::fgetc(in)) != EOF;) text += static_cast<char>(c);
  return text;
}

// Runs fn with standard output sent to a temp file; gives what it wrote.
template <typename Fn>
std::string CaptureStdout(Fn fn) {
  std::fflush(stdout);
  FILE* tmp = std::tmpfile();
  int saved = dup(1);
  dup2(fileno(tmp), 1);
  fn();
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  std::rewind(tmp);
  std::string out = ReadAll(tmp);
  std::fclose(tmp);
  return out;
}

std::string ErrorPage(const char* message) {
  return std::string("Content-type: text/plain; charset=utf-8\n\nForm Error:\n") + message + "\n";
}

// One CGI request: the three variables (null: absent) and the bytes on stdin.
struct Request {
  const char* method;
  const char* query;
  const char* length;
  std::string body;
};

// Each test starts from a clean CGI environment; stdin is restored after it.
class Cgi : public ::testing::Test {
 protected:
  void SetUp() override { savedStdin_ = dup(0); }
  void TearDown() override {
    Set({nullptr, nullptr, nullptr, ""});
    __fpurge(stdin);
    dup2(savedStdin_, 0);
    close(savedStdin_);
    clearerr(stdin);
    gFailAt = 0;
  }
  static void Set(const Request& r) {
    const char* vars[] = {"REQUEST_METHOD", "QUERY_STRING", "CONTENT_LENGTH"};
    const char* values[] = {r.method, r.query, r.length};
    for (int i = 0; i < 3; ++i) values[i] ? setenv(vars[i], values[i], 1) : unsetenv(vars[i]);
    FILE* tmp = std::tmpfile();
    std::fwrite(r.body.data(), 1, r.body.size(), tmp);
    std::rewind(tmp);
    dup2(fileno(tmp), 0);
    std::fclose(tmp);
    __fpurge(stdin);
    clearerr(stdin);
  }
  int savedStdin_ = -1;  // the test runner's standard input
};

TEST(FormSplit, CutsPairsByTheTokenizerRules) {
  struct Case {
    const char* text;
    const char* form;
  } cases[] = {
      {"offset=3&user=1&title1=Dial+up%21", "3:offset=3|user=1|title1=Dial up!"},
      {"a=1&&b=2", "2:a=1|b=2"},  // empty piece skipped
      {"a=&b=2", "2:a=(null)|b=2"},
      {"a=b=c", "2:a=b|c=(null)"},  // the null entry goes on after 'b'
      {"a=b=c&x=1", "3:a=b|x=1|(null)=(null)"},
      {"flag&a=1", "1:flag=(null)"},
      {"=x&y=z", "2:x=(null)|y=z"},
      {"=", "1:(null)=(null)"},
      {"na%6De=x", "1:na%6De=x"},  // names are never decoded
      {"", "0:"},
      {"plain&text", "0:"},
  };
  for (const Case& c : cases) {
    Form* form = Split(c.text);
    EXPECT_EQ(Show(form), c.form) << c.text;
    EXPECT_TRUE(form->Count != 0 || (form->Name == nullptr && form->Value == nullptr));
    FormFree(&form);
  }
  EXPECT_EQ(FormSplit(nullptr), nullptr);
}

TEST(UrlDecode, DecodesDigitsUncheckedAndKeepsShortEscapes) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"Dial+up%21", "Dial up!"},
      {"%2b", "+"},
      {"%2B", "+"},
      {"x%4", "x%4"},
      {"%%", "%%"},
      {"a%00b", "a"},
      {"%%41", "T1"},         // '%','4' are digits: (-11 * 16 + 4) mod 256
      {"%G0", ""},            // ('G' - 55) * 16 = 256
      {"%zz", "S"},           // 35 * 16 + 35 = 0x253
      {"%\xC1\x30", "\x10"},  // 0xC1 is negative as a signed byte: 145 * 16
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    UrlDecode(text.data());
    EXPECT_STREQ(text.c_str(), c.out) << c.in;
  }
  UrlDecode(nullptr);
}

TEST(FormLookup, OnlyTheFirstEntryOfANameCountsAndOnlyWithAValue) {
  struct Case {
    const char* text;
    const char* name;
    const char* value;  // null: none
  } cases[] = {
      {"offset=3&user=1&title1=Dial+up%21", "title1", "Dial up!"},
      {"offset=3&user=1&title1=Dial+up%21", "user", "1"},
      {"a=&b=2", "a", nullptr},
      {"a=&a=2", "a", nullptr},
      {"a=1&a=2", "a", "1"},
      {"Offset=3", "offset", nullptr},
      {"na%6De=x", "name", nullptr},
      {"a=%00", "a", nullptr},
      {"a=b=c", "c", nullptr},
      {"a=1", nullptr, nullptr},
      {"", "a", nullptr},
  };
  for (const Case& c : cases) {
    Form* form = Split(c.text);
    const char* value = FormLookup(form, c.name);
    EXPECT_STREQ(value, c.value) << c.text << " " << c.name;
    char* copy = FormLookupCopy(form, c.name);
    EXPECT_STREQ(copy, c.value);
    EXPECT_TRUE(copy == nullptr || copy != value);
    std::free(copy);
    FormFree(&form);
  }
}

TEST(FormPrint, OneLinePerEntryNullsAsEmpty) {
  Form* form = Split("offset=3&title1=Dial+up%21&a=b=c");
  Capture cap;
  EXPECT_EQ(FormPrint(form, cap.Out), 0);
  EXPECT_EQ(FormPrint(nullptr, cap.Out), -1);
  EXPECT_EQ(cap.Close(), "offset:3\ntitle1:Dial up!\na:b\nc:\n");
  FormFree(&form);
  EXPECT_EQ(form, nullptr);
  FormFree(&form);  // a second free does nothing
}

TEST_F(Cgi, DecodersTakeTheRequestOrFailWithTheirPage) {
  const std::string zeroFirst("\0a=", 3);  // a body that begins with a zero byte
  struct Case {
    Request request;
    bool post;            // FormPost, else FormGet
    const char* form;     // Show of the result
    const char* message;  // error page with report 1; null: none
    const char* rest;     // stdin left unread
  } cases[] = {
      {{"GET", "offset=-1&title1=A+B", "9", "a=1"},
       false,
       "2:offset=-1|title1=A B",
       nullptr,
       "a=1"},
      {{"GET", nullptr, nullptr, ""}, false, "0:", "No QUERY_STRING.", ""},
      {{"get", "a=1", nullptr, ""}, false, "none", "REQUEST_METHOD is not GET.", ""},
      {{nullptr, "a=1", nullptr, ""}, false, "none", "REQUEST_METHOD is not GET.", ""},
      {{"POST", "a=1", "3", "a=1"}, false, "none", "REQUEST_METHOD is not GET.", "a=1"},
      {{"GET", "a=1", "3", "a=1"}, true, "none", "REQUEST_METHOD is not POST.", "a=1"},
      {{"POST", nullptr, "9", "a=1&b=%21"}, true, "2:a=1|b=!", nullptr, ""},
      {{"POST", nullptr, " +3", "a=1&b=2"}, true, "1:a=1", nullptr, "&b=2"},
      {{"POST", nullptr, "0", "a=1"}, true, "0:", nullptr, "a=1"},
      {{"POST", nullptr, "abc", "a=1"}, true, "0:", nullptr, "a=1"},
      {{"POST", nullptr, nullptr, "a=1"}, true, "none", "No CONTENT_LENGTH.", "a=1"},
      {{"POST", nullptr, "5", ""}, true, "none", "Can't read POST variables.", ""},
      {{"POST", nullptr, "3", zeroFirst}, true, "none", "Can't read POST variables.", ""},
      // Mends: a negative, overlong or overflowing length is refused unread;
      // a short body ends after the bytes that arrived.
      {{"POST", nullptr, "-5", "a=1"}, true, "none", "No CONTENT_LENGTH.", "a=1"},
      {{"POST", nullptr, "1048577", "a=1"}, true, "none", "No CONTENT_LENGTH.", "a=1"},
      {{"POST", nullptr, "99999999999999999999", "a=1"}, true, "none", "No CONTENT_LENGTH.", "a=1"},
      {{"POST", nullptr, "1048576", "a=1&b"}, true, "1:a=1", nullptr, ""},
      {{"POST", nullptr, "10", "a=1"}, true, "1:a=1", nullptr, ""},
  };
  for (int report = 0; report <= 1; ++report) {
    for (const Case& c : cases) {
      Set(c.request);
      Form* form = nullptr;
      std::string page = CaptureStdout([&] { form = c.post ? FormPost(report) : FormGet(report); });
      std::string where = std::string(c.request.method ? c.request.method : "-") + " " +
                          (c.request.length ? c.request.length : "-");
      EXPECT_EQ(Show(form), c.form) << where;
      EXPECT_EQ(page, report && c.message ? ErrorPage(c.message) : "") << where;
      EXPECT_EQ(ReadAll(stdin), c.rest) << where;
      FormFree(&form);
    }
  }
  EXPECT_EQ(CaptureStdout([] { FormError("Bad."); }), ErrorPage("Bad."));
}

TEST_F(Cgi, AFormCostsAtMostFourAllocationsAndEachMayFail) {
  struct Case {
    Request request;
    int allocations;
  } cases[] = {
      {{"GET", "a=1&b=2&c=3", nullptr, ""}, 4},  // text, Form, Name, Value
      {{"GET", "flag", nullptr, ""}, 2},         // Count 0: no arrays
      {{"POST", nullptr, "7", "a=1&b=2"}, 4},
  };
  for (const Case& c : cases) {
    for (int failAt = 0; failAt <= c.allocations; ++failAt) {
      Set(c.request);
      gMallocCount = 0;
      gFailAt = failAt;
      Form* form = c.request.length ? FormPost(0) : FormGet(0);
      EXPECT_EQ(form == nullptr, failAt != 0) << c.request.body << failAt;
      EXPECT_TRUE(failAt != 0 || gMallocCount == c.allocations) << c.request.body;
      gFailAt = 0;
      FormFree(&form);
    }
  }
  Form* form = Split("a=1");
  gFailAt = gMallocCount + 1;
  EXPECT_EQ(FormLookupCopy(form, "a"), nullptr);
  gFailAt = 0;
  FormFree(&form);
}

}  // namespace
