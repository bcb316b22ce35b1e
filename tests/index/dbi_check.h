// A whole-file checker for the index tests: everything the tree operations
// promise about the file, checked through an open handle.
#ifndef VELMAR_TESTS_INDEX_DBI_CHECK_H
#define VELMAR_TESTS_INDEX_DBI_CHECK_H

#include <string>

#include "index/dbi.h"

// Checks the file under an open handle: the header's fixed fields; the five
// invariants (red only as a right child, no red right child of a red node,
// equal black height, black root with Parent 0, keys in ascending order);
// First and Last are the extreme nodes; every slot is reachable from Head
// exactly once or on the free list exactly once (free slots with zero links);
// and the file is HdrLen + N_Rec * RecLen bytes long. The current node is
// unchanged. Returns "" when all hold, else the first fault found.
std::string DbiCheck(DBI* dbi);

#endif  // VELMAR_TESTS_INDEX_DBI_CHECK_H
