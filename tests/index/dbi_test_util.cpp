// Shared helpers of the index tests (see dbi_test_util.h).
#include "index/dbi_test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

int32_t GetI32(const Bytes& b, size_t at) {
  return static_cast<int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                              static_cast<uint32_t>(b[at + 3]) << 24);
}

void PutI32(Bytes* b, size_t at, int32_t v) {
  for (int i = 0; i < 4; ++i)
    (*b)[at + i] = static_cast<unsigned char>(static_cast<uint32_t>(v) >> (8 * i));
}

Bytes IndexImage(int keyLen, const std::string& label, const HeaderImage& h,
                 const std::vector<SlotImage>& slots) {
  int recLen = keyLen + 16;
  Bytes b(128 + slots.size() * recLen, 0);
  b[0] = 4;
  PutI32(&b, 4, static_cast<int32_t>(slots.size()));
  b[8] = static_cast<unsigned char>(recLen);
  b[9] = static_cast<unsigned char>(recLen >> 8);
  b[10] = 128;
  PutI32(&b, 12, h.Head);
  PutI32(&b, 16, h.First);
  PutI32(&b, 20, h.Last);
  PutI32(&b, 24, h.Free);
  for (size_t i = 0; i < label.size() && i < 96; ++i)
    b[32 + i] = static_cast<unsigned char>(label[i]);
  for (size_t i = 0; i < slots.size(); ++i) {
    size_t at = 128 + i * recLen;
    PutI32(&b, at, slots[i].Parent);
    PutI32(&b, at + 4, slots[i].Left);
    PutI32(&b, at + 8, slots[i].Right);
    PutI32(&b, at + 12, slots[i].RecNo);
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
