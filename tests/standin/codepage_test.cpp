// The UTF-8 code page behind MultiByteToWideChar and WideCharToMultiByte:
// measuring and converting agree, bad input is replaced rather than refused,
// and failures are 0 with the Win32 reason.
#include <gtest/gtest.h>

#include <string>

#include "platform/winapi.h"

namespace {

// Measures, then converts into a buffer of exactly the measured size.
std::u16string ToWide(const std::string& s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s.data(), (int)s.size(), nullptr, 0);
  std::u16string out(n, u'#');
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, s.data(), (int)s.size(), out.data(), n), n);
  return out;
}

std::string ToNarrow(const std::u16string& s) {
  int n = WideCharToMultiByte(CP_ACP, 0, s.data(), (int)s.size(), nullptr, 0, nullptr, nullptr);
  std::string out(n, '#');
  EXPECT_EQ(
      WideCharToMultiByte(CP_ACP, 0, s.data(), (int)s.size(), out.data(), n, nullptr, nullptr), n);
  return out;
}

TEST(CodePageTest, ConvertsBothWaysAndReplacesBadInput) {
  const struct {
    std::string narrow;
    std::u16string wide;
    int ways;  // 3 both, 1 only to UTF-16, 2 only to 8-bit
  } cases[] = {
      {"Modem-\xC3\x84 \xE7\xAB\xAF\xE5\x8F\xA3", u"Modem-Ä 端口", 3},
      {"\xF0\x9F\x98\x80!", u"\U0001F600!", 3},  // a surrogate pair
      {"\xEF\xBF\xBD", u"\uFFFD", 3},            // a real U+FFFD stays itself
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3), 3},
      {"a\xFF\x80"
       "b",
       u"a\uFFFD\uFFFDb", 1},  // stray bytes
      {"\xE7\xAB"
       "A\xE7\xAB",
       u"\uFFFDA\uFFFD", 1},  // cut-short sequences
      {"\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD",
       1},  // overlong, surrogate, too big
      {"a?b?",
       u"a\xD800"
       u"b\xDC00",
       2},                         // unpaired halves
      {"??", u"\xDE00\xD83D", 2},  // halves in the wrong order
  };
  for (const auto& c : cases) {
    if (c.ways & 1) {
      EXPECT_EQ(ToWide(c.narrow), c.wide) << c.narrow;
    }
    if (c.ways & 2) {
      EXPECT_EQ(ToNarrow(c.wide), c.narrow) << c.narrow;
    }
  }
}

TEST(CodePageTest, MeasuresWithSizeZeroAndCountsTheTerminatorForMinusOne) {
  char16_t wide[4] = {u'#', u'#', u'#', u'#'};
  char narrow[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, wide, 0), 3);  // buffer untouched
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"Ä", 1, narrow, 0, nullptr, nullptr), 2);
  EXPECT_EQ(wide[0], u'#');
  EXPECT_EQ(narrow[0], '#');
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab", -1, wide, 4), 3);
  EXPECT_EQ(std::u16string(wide, 3), std::u16string(u"ab", 3));
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\xD800", -1, narrow, 4, nullptr, nullptr), 2);
  EXPECT_EQ(std::string(narrow, 2), std::string("?", 2));
}

TEST(CodePageTest, FailuresGiveZeroWithTheReason) {
  static char16_t wide[4];
  static char narrow[4];
  const struct {
    int (*call)();
    DWORD error;
  } cases[] = {
      {[] { return MultiByteToWideChar(CP_ACP, 0, "", 0, nullptr, 0); }, ERROR_INVALID_PARAMETER},
      {[] { return MultiByteToWideChar(CP_ACP, 0, "abc", -2, nullptr, 0); },
       ERROR_INVALID_PARAMETER},
      {[] { return MultiByteToWideChar(CP_ACP, 0, "abc", 3, nullptr, 4); },
       ERROR_INVALID_PARAMETER},
      {[] { return MultiByteToWideChar(1252, 0, "abc", 3, nullptr, 0); }, ERROR_INVALID_PARAMETER},
      {[] { return MultiByteToWideChar(CP_ACP, 0, "abc\xF0\x9F\x98\x80", 7, wide, 4); },
       ERROR_INSUFFICIENT_BUFFER},  // the pair does not fit in the last unit
      {[] { return WideCharToMultiByte(CP_ACP, 0, u"", 0, nullptr, 0, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {[] { return WideCharToMultiByte(CP_ACP, 0, u"abÄ", 3, narrow, 3, nullptr, nullptr); },
       ERROR_INSUFFICIENT_BUFFER},  // Ä needs two bytes
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    SetLastError(0);
    EXPECT_EQ(cases[i].call(), 0) << "case " << i;
    EXPECT_EQ(GetLastError(), cases[i].error) << "case " << i;
  }
}

}  // namespace
