// Shared helpers of the index tests: index images built by hand from header
// fields and slot tuples, new indexes and their dumps.
#ifndef VELMAR_TESTS_INDEX_DBI_TEST_UTIL_H
#define VELMAR_TESTS_INDEX_DBI_TEST_UTIL_H

#include <cstdint>
#include <string>
#include <vector>

#include "index/dbi.h"
#include "support/bytes.h"    // Bytes, ReadBytes, WriteBytes, Get32, Put32
#include "support/tempdir.h"  // ScratchPath

// One slot as stored: links, value and key text.
struct SlotImage {
  int32_t Parent;   // stored Parent (negative: red)
  int32_t Left;     // left child
  int32_t Right;    // right child
  int32_t RecNo;    // value or next free slot
  std::string Key;  // key bytes up to KeyLen (padded with NUL)
};

// Header fields that vary between examples.
struct HeaderImage {
  int32_t Head;   // root
  int32_t First;  // smallest
  int32_t Last;   // largest
  int32_t Free;   // free list head
};

// The bytes of an index file with key length keyLen and label, the header
// fields and the slots in file order (N_Rec = slots.size()).
Bytes IndexImage(int keyLen, const std::string& label, const HeaderImage& h,
                 const std::vector<SlotImage>& slots);

// A new index at path with the given keys added in order, values 1, 2, ...
// The handle is open; the caller frees it.
DBI* NewIndexWith(const std::string& path, int keyLen, const std::vector<std::string>& keys);

// What DbiDump prints for the handle.
std::string DumpText(DBI* dbi);

#endif  // VELMAR_TESTS_INDEX_DBI_TEST_UTIL_H
