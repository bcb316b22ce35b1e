// The readers' many-bytes-at-a-time steps against the byte-by-byte answer:
// the marks of a byte in 16 and 64 bytes (both the SSE2 and the portable
// form), and eight digits read at once.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "accounting/acct_internal.h"

namespace {

uint64_t Marks(const char* p, size_t n, char c) {
  uint64_t m = 0;
  for (size_t i = 0; i < n; ++i)
    if (p[i] == c) m |= uint64_t{1} << i;
  return m;
}

TEST(AcctScan, MarksOfAByteAreThoseOfEachByte) {
  // Bytes next to the one looked for (a borrow from 0x0A into 0x0B is the
  // classic fault), bytes with the high bit, NUL, and random ones.
  std::string bytes = "\n\x0B\x0B\n\x8A\xFF\x00\x09,\"<>\\\x0A\x0A\x80" + std::string(8, '\n');
  std::mt19937 random(7);
  const char kPool[] = {'\n', '\x0B', '\x09', ',', '"', '\\', '<', '\x8A', '\xFF', '\0', 'a', ' '};
  while (bytes.size() < 4096) bytes += kPool[random() % sizeof kPool];
  for (char c : {'\n', ',', '"', '\\', '<', '\0', '\xFF', '\x0B'}) {
    for (size_t at = 0; at + 64 <= bytes.size(); at += 7) {
      const char* p = bytes.data() + at;
      uint64_t want = Marks(p, 64, c);
      ASSERT_EQ(want, AcctMatch64(p, c)) << at << " " << static_cast<int>(c);
      ASSERT_EQ(want, AcctMatch64Portable(p, c)) << at << " " << static_cast<int>(c);
      ASSERT_EQ(want & 0xFFFF, AcctMatch16(p, c)) << at << " " << static_cast<int>(c);
    }
  }
}

TEST(AcctScan, EightDigitsReadAsOneByOne) {
  std::vector<std::string> cases = {"00000000", "99999999", "12345678", "00000001", "10000000"};
  // A byte that is no digit at each place: the neighbours of '0' and '9',
  // and bytes whose high or low half alone looks like a digit's.
  for (char bad : {'/', ':', ' ', '\0', 'a', '@', '\xB0', '\x3F', '\xF9'}) {
    for (int i = 0; i < 8; ++i) {
      std::string s = "12345678";
      s[i] = bad;
      cases.push_back(s);
    }
  }
  for (const std::string& s : cases) {
    uint32_t want = 0, got = 0;
    int ok = AcctNumber(s.data(), 8, &want);
    EXPECT_EQ(ok != 0, AcctEightDigits(AcctLoad64(s.data()), &got)) << s;
    if (ok) {
      EXPECT_EQ(want, got) << s;
    }
  }
}

}  // namespace
