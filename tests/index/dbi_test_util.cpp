// Shared helpers of the index tests (see dbi_test_util.h).
#include "index/dbi_test_util.h"

#include <gtest/gtest.h>

#include <cstdio>

Bytes IndexImage(int keyLen, const std::string& label, const HeaderImage& h,
                 const std::vector<SlotImage>& slots) {
  int recLen = keyLen + 16;
  Bytes b(128 + slots.size() * recLen, 0);
  b[0] = 4;
  Put32(&b, 4, static_cast<uint32_t>(slots.size()));
  b[8] = static_cast<unsigned char>(recLen);
  b[9] = static_cast<unsigned char>(recLen >> 8);
  b[10] = 128;
  Put32(&b, 12, h.Head);
  Put32(&b, 16, h.First);
  Put32(&b, 20, h.Last);
  Put32(&b, 24, h.Free);
  for (size_t i = 0; i < label.size() && i < 96; ++i)
    b[32 + i] = static_cast<unsigned char>(label[i]);
  for (size_t i = 0; i < slots.size(); ++i) {
    size_t at = 128 + i * recLen;
    Put32(&b, at, slots[i].Parent);
    Put32(&b, at + 4, slots[i].Left);
    Put32(&b, at + 8, slots[i].Right);
    Put32(&b, at + 12, slots[i].RecNo);
    for (size_t k = 0; k < slots[i].Key.size() && k < static_cast<size_t>(keyLen); ++k) {
      b[at + 16 + k] = static_cast<unsigned char>(slots[i].Key[k]);
    }
  }
  return b;
}

DBI* NewIndexWith(const std::string& path, int keyLen, const std::vector<std::string>& keys) {
  DBI* dbi = DbiCreate(nullptr);
  EXPECT_EQ(DbiNew(dbi, path.c_str(), "USER", keyLen), 0);
  int32_t value = 1;
  for (const std::string& k : keys) EXPECT_EQ(DbiAdd(dbi, k.c_str(), value++), 0) << k;
  return dbi;
}

std::string DumpText(DBI* dbi) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  DbiDump(dbi);
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}
