// Shared rewrite helpers. Copies are judged by the node pools' exhaustion count, since the
// kernel's copy answers a refused allocation with a NaN leaf that looks like a result.
#include "algebra/rewrite_primitives.h"

#include <cmath>
#include <cstring>

bool IsNumberNode(const ExprNode* node) {
  return node != nullptr && node->kind == KindNum && node->arity == 0 && node->value.number != nullptr;
}

bool IsSymbolNode(const ExprNode* node, int32_t id) {
  return node != nullptr && node->kind == KindChar && node->value.symbol == id;
}

bool IsShape(const ExprNode* node, uint32_t kind, int arity) {
  return node != nullptr && node->kind == kind && node->arity == arity;
}

bool HasNumberFirst(const ExprNode* node, uint32_t kind) {
  return node != nullptr && node->kind == kind && node->arity >= 1 && IsNumberNode(node->children[0]);
}

bool AsInt32(double v, int32_t* out) {
  if (!(v >= -2147483648.0 && v <= 2147483647.0) || std::trunc(v) != v) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

bool IsIndexEquation(const ExprNode* node) {
  const ExprNode* p = node != nullptr ? node->parent : nullptr;
  if (p == nullptr || node->kind != KindEqual || p->arity < 2 || p->children[1] != node) return false;
  switch (p->kind) {
    case KindSum:
    case KindProd:
    case KindInt:
    case KindOint:
    case KindIntegral: return true;
    default: return false;
  }
}

BoundIndexScope::Names& BoundIndexScope::Open() {
  static Names open;
  return open;
}

BoundIndexScope::BoundIndexScope(const ExprNode* place) : saved_(Open()) {
  Names& open = Open();
  if (place == nullptr) return;
  AnyBinderAbove(place, [&open](const ExprNode*, int32_t name) {
    if (open.count == kMaxNames) {
      open.lost = true;
      return true;
    }
    open.names[open.count++] = name;
    return false;
  });
}

BoundIndexScope::~BoundIndexScope() { Open() = saved_; }

uint64_t StructureHash(const ExprNode* tree) {
  uint64_t h = 0x9e3779b97f4a7c15u;
  auto mix = [&h](uint64_t x) {
    h ^= x + 0x9e3779b97f4a7c15u + (h << 6) + (h >> 2);
    h *= 0xff51afd7ed558ccdu;
  };
  TreeCursor cursor(const_cast<ExprNode*>(tree), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    mix((static_cast<uint64_t>(n->kind) << 16) | n->arity);
    if (n->arity != 0) continue;  // ExpressionsEqual reads a value of leaves only
    if (IsNumberNode(n)) {
      const double v = NumberValue(n) == 0 ? 0.0 : NumberValue(n);
      uint64_t bits;
      std::memcpy(&bits, &v, sizeof bits);
      mix(bits);
    } else if (n->kind == KindChar || n->kind == KindDummy) {
      mix(static_cast<uint16_t>(n->value.symbol));
    } else if (n->kind == KindString && n->text != nullptr) {
      for (const char* c = n->text; *c != 0; ++c) mix(static_cast<unsigned char>(*c));
    }
  }
  return h;
}

void BecomeSymbol(ExprNode* node, int16_t id) {
  for (int i = 0; i < node->arity; ++i) FreeExpression(node->children[i]);
  FreeNodeValue(node);  // the child array, a num's record or a string's text
  node->kind = KindChar;
  node->value.raw = 0;
  node->value.symbol = id;
}

void BecomeOperand(ExprNode* node, int i) {
  ExprNode* kept = node->children[i];
  for (int k = 0; k < node->arity; ++k) {
    if (k == i) continue;
    FreeExpression(node->children[k]);
    node->children[k] = nullptr;
  }
  MoveNodeInto(kept, node);
}

bool RemoveOrReplace(ExprNode* node, int i, ExprNode*& spare) {
  if (RemoveOperandAndFree(node, i)) return true;
  if (spare == nullptr || i < 0 || i >= node->arity) return false;
  ReplaceExpression(spare, node->children[i]);
  spare = nullptr;
  return true;
}

void UnwrapIdNodes(ExprNode* tree) {
  ForEachPostOrder(tree, [](ExprNode* node) {
    while (node->kind == KindId && node->arity == 1) UnwrapNode(node);
  });
}

std::vector<int> PathFromRoot(const ExprNode* node) {
  std::vector<int> path;
  for (; node != nullptr && node->parent != nullptr; node = node->parent) path.push_back(IndexInParent(node));
  return {path.rbegin(), path.rend()};
}

ExprNode* NodeAtPath(ExprNode* root, const std::vector<int>& path) {
  for (int i : path) {
    if (root == nullptr || i < 0 || i >= root->arity) return nullptr;
    root = root->children[i];
  }
  return root;
}

ExprNode* CopyTree(const ExprNode* node) {
  const uint64_t reports = NodeExhaustionReports();
  ExprNode* copy = CopyExpression(node);
  if (NodeExhaustionReports() == reports) return copy;
  FreeExpression(copy);
  return nullptr;
}

ExprNode* CopyWithout(const ExprNode* node, int k) {
  if (node->arity < 2 || k < 0 || k >= node->arity) return nullptr;
  if (node->arity == 2) return CopyTree(node->children[1 - k]);
  ExprNode* rest = BuildEach(node->kind, node->arity - 1, [&](int j) { return CopyTree(node->children[j < k ? j : j + 1]); });
  if (rest != nullptr) rest->value = node->value;  // only kinds without a record or text get here
  return rest;
}
