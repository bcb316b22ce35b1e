// The UTF-8 code page behind MultiByteToWideChar and WideCharToMultiByte:
// measuring and converting agree, failures are 0 with the Win32 reason, and
// bad input is replaced rather than refused.
#include <gtest/gtest.h>

#include <string>

#include "platform/winapi.h"

namespace {

// Measures, then converts into a buffer of exactly the measured size.
std::u16string ToWide(const std::string& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), nullptr, 0);
  std::u16string out(n, u'#');
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), out.data(), n), n);
  return out;
}

std::string ToNarrow(const std::u16string& text, BOOL* usedDefault = nullptr) {
  int n = WideCharToMultiByte(CP_ACP, 0, text.data(), (int)text.size(), nullptr, 0, nullptr,
                              nullptr);
  std::string out(n, '#');
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text.data(), (int)text.size(), out.data(), n, nullptr,
                                usedDefault),
            n);
  return out;
}

TEST(CodePageTest, MeasureAndConvertAgreeBothWays) {
  const struct {
    std::string narrow;
    std::u16string wide;
  } cases[] = {
      {"COM1", u"COM1"},
      {"Modem-\xC3\x84", u"Modem-Ä"},
      {"\xE7\xAB\xAF\xE5\x8F\xA3\x31", u"端口1"},
      {"\xF0\x9F\x98\x80!", u"\U0001F600!"},  // a surrogate pair
      {"\xEF\xBF\xBD", u"\uFFFD"},            // a real U+FFFD stays itself
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToWide(c.narrow), c.wide) << c.narrow;
    EXPECT_EQ(ToNarrow(c.wide), c.narrow) << c.narrow;
  }
}

TEST(CodePageTest, InvalidUtf8BecomesReplacementCharacters) {
  const struct {
    std::string narrow;
    std::u16string wide;
  } cases[] = {
      {"a\xFF" "b", u"a\uFFFDb"},
      {"\x80", u"\uFFFD"},                     // a lone continuation byte
      {"\xE7\xAB", u"\uFFFD"},                 // cut short at the end
      {"\xE7\xAB" "A", u"\uFFFDA"},            // cut short before ASCII
      {"\xC0\xAF", u"\uFFFD"},                 // overlong '/'
      {"\xED\xA0\x80", u"\uFFFD"},             // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD"},         // above U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(ToWide(c.narrow), c.wide) << c.narrow;
}

TEST(CodePageTest, UnpairedSurrogatesBecomeQuestionMarks) {
  const struct {
    std::u16string wide;
    std::string narrow;
  } cases[] = {
      {u"a\xD800" u"b", "a?b"},
      {u"\xDC00", "?"},
      {u"\xD83D", "?"},              // a high half at the end
      {u"\xDE00\xD83D", "??"},       // the halves in the wrong order
  };
  for (const auto& c : cases) {
    BOOL usedDefault = FALSE;
    EXPECT_EQ(ToNarrow(c.wide, &usedDefault), c.narrow);
    EXPECT_TRUE(usedDefault);
  }
  BOOL usedDefault = TRUE;
  EXPECT_EQ(ToNarrow(u"\U0001F600", &usedDefault), "\xF0\x9F\x98\x80");
  EXPECT_FALSE(usedDefault);
}

TEST(CodePageTest, MinusOneLengthConvertsTheTerminatorToo) {
  char16_t wide[8];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab", -1, nullptr, 0), 3);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab", -1, wide, 8), 3);
  EXPECT_EQ(std::u16string(wide, 3), std::u16string(u"ab", 3));
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "", -1, wide, 8), 1);
  char narrow[8];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\xD800", -1, narrow, 8, nullptr, nullptr), 2);
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
      {[] { return MultiByteToWideChar(CP_ACP, 0, nullptr, 3, nullptr, 0); },
       ERROR_INVALID_PARAMETER},
      {[] { return MultiByteToWideChar(CP_ACP, 0, "abc", -2, nullptr, 0); },
       ERROR_INVALID_PARAMETER},
      {[] { return MultiByteToWideChar(CP_ACP, 0, "abc", 3, nullptr, 4); },
       ERROR_INVALID_PARAMETER},
      {[] { return MultiByteToWideChar(1252, 0, "abc", 3, nullptr, 0); }, ERROR_INVALID_PARAMETER},
      {[] { return MultiByteToWideChar(CP_ACP, 0, "abcde", 5, wide, 4); },
       ERROR_INSUFFICIENT_BUFFER},
      {[] { return MultiByteToWideChar(CP_ACP, 0, "abc\xF0\x9F\x98\x80", 7, wide, 4); },
       ERROR_INSUFFICIENT_BUFFER},  // the pair does not fit in the last unit
      {[] { return WideCharToMultiByte(CP_ACP, 0, u"", 0, nullptr, 0, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {[] { return WideCharToMultiByte(CP_ACP, 0, nullptr, 1, nullptr, 0, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {[] { return WideCharToMultiByte(CP_ACP, 0, u"abcd", 4, narrow, 3, nullptr, nullptr); },
       ERROR_INSUFFICIENT_BUFFER},
      {[] { return WideCharToMultiByte(CP_ACP, 0, u"ab\u00C4", 3, narrow, 3, nullptr, nullptr); },
       ERROR_INSUFFICIENT_BUFFER},  // Ä needs two bytes
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    SetLastError(0);
    EXPECT_EQ(cases[i].call(), 0) << "case " << i;
    EXPECT_EQ(GetLastError(), cases[i].error) << "case " << i;
  }
}

TEST(CodePageTest, SizeZeroMeasuresWithoutTouchingTheBuffer) {
  char16_t wide[2] = {u'#', u'#'};
  char narrow[2] = {'#', '#'};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, wide, 0), 3);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u00C4", 1, narrow, 0, nullptr, nullptr), 2);
  EXPECT_EQ(wide[0], u'#');
  EXPECT_EQ(narrow[0], '#');
}

}  // namespace
