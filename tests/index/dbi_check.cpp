// The index tests' whole-file checker (see dbi_check.h). It reads slots
// with DbiReadNode only, so it leaves the handle's position alone.
#include "index/dbi_check.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const int kMaxDepth = 200;  // a sound tree of 2^31 nodes is far shallower

int64_t Magnitude(int32_t v) {
  return v < 0 ? -static_cast<int64_t>(v) : v;
}

struct Checker {
  DBI* Dbi;                // the handle under check
  std::vector<char> Seen;  // per slot: reached already
  std::string Fault;       // first fault, "" while none
  std::string PrevKey;     // key of the previous node in order
  int32_t FirstNode = 0;   // first node in order
  int32_t LastNode = 0;    // last node in order
  int32_t Count = 0;       // nodes reached
};

bool Fail(Checker* c, const std::string& what) {
  if (c->Fault.empty()) c->Fault = what;
  return false;
}

std::string At(int32_t node) {
  return " at " + std::to_string(node);
}

// Marks node's slot seen; false when it is no slot or seen before.
bool Visit(Checker* c, int32_t node, const char* role) {
  const DbiHeader& h = c->Dbi->Header;
  int64_t rel = static_cast<int64_t>(node) - h.HdrLen;
  if (node <= 0 || rel < 0 || rel % h.RecLen != 0 || rel / h.RecLen >= h.N_Rec) {
    return Fail(c, std::string(role) + " outside the slots" + At(node));
  }
  char& seen = c->Seen[static_cast<size_t>(rel / h.RecLen)];
  if (seen) return Fail(c, std::string(role) + " reached twice" + At(node));
  seen = 1;
  return true;
}

// Black height of the subtree at node (whose parent is `parent`, and which
// is a right child when `right`), or -1 after a fault. 0 for no node.
int Subtree(Checker* c, int32_t node, int32_t parent, bool right, int depth) {
  if (node == 0) return 0;
  if (depth > kMaxDepth) return Fail(c, "tree deeper than possible" + At(node)), -1;
  if (!Visit(c, node, "tree node")) return -1;
  DbiLinks l;
  std::vector<char> key(static_cast<size_t>(c->Dbi->KeyLen) + 1);
  if (DbiReadNode(c->Dbi, node, &l, key.data()) != 0) return Fail(c, "unreadable" + At(node)), -1;
  bool red = l.Parent < 0;
  if (Magnitude(l.Parent) != parent)
    return Fail(c, "Parent does not name the parent" + At(node)), -1;
  if (red && !right) return Fail(c, "red left child" + At(node)), -1;
  if (red && DbiReadField(c->Dbi, parent, DBI_PARENT) < 0) {
    return Fail(c, "red node with a red right child" + At(parent)), -1;
  }
  int left = Subtree(c, l.Left, node, false, depth + 1);
  if (left < 0) return -1;
  if (c->Count > 0 && std::strcmp(c->PrevKey.c_str(), key.data()) > 0) {
    return Fail(c, "keys out of order" + At(node)), -1;
  }
  if (c->Count++ == 0) c->FirstNode = node;
  c->LastNode = node;
  c->PrevKey = key.data();
  int rightHeight = Subtree(c, l.Right, node, true, depth + 1);
  if (rightHeight < 0) return -1;
  if (left != rightHeight) return Fail(c, "black heights differ" + At(node)), -1;
  return left + (red ? 0 : 1);
}

bool CheckHeader(Checker* c) {
  const DbiHeader& h = c->Dbi->Header;
  if (h.HdrLen != 128 || h.RecLen != c->Dbi->KeyLen + 16 || h.N_Rec < 0 || h.Reserved != 0) {
    return Fail(c, "header fields");
  }
  std::FILE* f = c->Dbi->Stream;
  if (std::fseek(f, 0, SEEK_END) != 0) return Fail(c, "cannot find the file's end");
  long size = std::ftell(f);
  if (size != h.HdrLen + static_cast<long>(h.N_Rec) * h.RecLen) {
    return Fail(c, "file length " + std::to_string(size) + " for N_Rec " + std::to_string(h.N_Rec));
  }
  return true;
}

bool CheckFreeList(Checker* c) {
  int32_t node = c->Dbi->Header.Free;
  while (node != 0) {
    if (!Visit(c, node, "free slot")) return false;
    DbiLinks l;
    if (DbiReadNode(c->Dbi, node, &l, nullptr) != 0)
      return Fail(c, "unreadable free slot" + At(node));
    if (l.Parent != 0 || l.Left != 0 || l.Right != 0)
      return Fail(c, "free slot with links" + At(node));
    ++c->Count;
    node = l.RecNo;
  }
  return true;
}

}  // namespace

std::string DbiCheck(DBI* dbi) {
  Checker c{
      dbi, std::vector<char>(static_cast<size_t>(dbi->Header.N_Rec > 0 ? dbi->Header.N_Rec : 0)),
      "",  "",
      0,   0,
      0};
  if (!CheckHeader(&c)) return c.Fault;
  const DbiHeader& h = dbi->Header;
  if (Subtree(&c, h.Head, 0, false, 0) < 0) return c.Fault;
  if (h.First != c.FirstNode || h.Last != c.LastNode) {
    return "First/Last " + std::to_string(h.First) + "/" + std::to_string(h.Last) +
           " but the ends are " + std::to_string(c.FirstNode) + "/" + std::to_string(c.LastNode);
  }
  if (!CheckFreeList(&c)) return c.Fault;
  if (c.Count != h.N_Rec) {
    return std::to_string(h.N_Rec - c.Count) + " slots neither in the tree nor free";
  }
  return "";
}
