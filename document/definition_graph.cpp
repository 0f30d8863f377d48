// The graph of the definitions' names: the names and argument counts from the left sides, the uses
// from the bodies, and the names that reach a cycle found by peeling off, one by one, the names
// whose uses are all settled (what is left over reaches a cycle).
#include "document/definition_graph.h"

#include <algorithm>

#include "graphs/factory/definitions.h"
#include "graphs/factory/form_shapes.h"
#include "kernel/trees/expr_node.h"

namespace {

bool IsFunctionApplication(const ExprNode* node) {
  return node->kind == KindFunction && node->arity >= 1 && IsNameOrSubscriptedName(node->children[0]);
}

// Calls visit(item) for each item of the definition list: a list's items, or the one item.
template <typename Visit>
void ForEachItem(const ExprNode* definitions, Visit visit) {
  if (definitions == nullptr) return;
  if (definitions->kind != KindList) {
    visit(definitions);
    return;
  }
  for (int k = 0; k < definitions->arity; ++k) visit(definitions->children[k]);
}

}  // namespace

int32_t FunctionArgumentCount(const ExprNode* application) {
  if (application->arity == 2 && application->children[1]->kind == KindComma) return application->children[1]->arity;
  return application->arity - 1;
}

void GroupFunctionArguments(ExprNode* tree) {
  if (tree == nullptr) return;
  std::vector<ExprNode*> arguments;
  TreeCursor cursor(tree, WalkOrder::kPreOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (!IsFunctionApplication(n) || n->arity <= 2) continue;
    ExprNode* comma = NewNode(KindComma, n->arity - 1);
    if (comma == nullptr) continue;
    arguments.assign(n->children + 1, n->children + n->arity);
    if (!SetChildCount(n, 2)) {
      FreeNode(comma);
      continue;
    }
    for (size_t k = 0; k < arguments.size(); ++k) SetChild(comma, static_cast<int>(k), arguments[k]);
    SetChild(n, 1, comma);
  }
}

void DefinitionGraph::Forget() {
  names_.clear();
  index_.clear();
  otherRules_ = false;
}

int32_t DefinitionGraph::NameOf(const ExprNode* node) const {
  if (node->kind != KindChar) return -1;
  // A subscripted name is named by its whole: a_1 is not a.
  const ExprNode* parent = node->parent;
  const int32_t key = parent != nullptr && SubscriptedBase(parent) == node ? NameKey(parent) : node->value.symbol;
  const auto found = index_.find(key);
  return found == index_.end() ? -1 : found->second;
}

template <typename Use>
bool DefinitionGraph::VisitUses(const ExprNode* tree, Use use) const {
  bool misapplied = false;
  TreeCursor cursor(const_cast<ExprNode*>(tree), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (IsFunctionApplication(n)) {
      const auto found = index_.find(NameKey(n->children[0]));
      if (found != index_.end()) {
        const std::vector<int32_t>& counts = names_[found->second].argumentCounts;
        const bool taken = std::find(counts.begin(), counts.end(), FunctionArgumentCount(n)) != counts.end();
        misapplied |= !counts.empty() && !taken;
      }
    }
    const int32_t name = NameOf(n);
    if (name < 0) continue;
    use(name);
    // A function's name without its arguments (typed f(x) is the product f x) applies it to none.
    const Name& used = names_[static_cast<size_t>(name)];
    const ExprNode* whole = n->parent != nullptr && SubscriptedBase(n->parent) == n ? n->parent : n;
    const ExprNode* above = whole->parent;
    const bool applied = above != nullptr && IsFunctionApplication(above) && above->children[0] == whole;
    misapplied |= !used.argumentCounts.empty() && !used.constant && !applied;
  }
  return misapplied;
}

void DefinitionGraph::Learn(const ExprNode* definitions) {
  Forget();
  ForEachItem(definitions, [this](const ExprNode* item) {
    const int32_t key = IsDefinitionEquation(item) ? DefinedParameterKey(item) : -1;
    const bool rule =
        (item->kind == KindEqual && item->arity >= 2) || (item->kind == KindLeftarrow && item->arity == 2);
    otherRules_ |= rule && key < 0;
    if (key < 0) return;
    const auto [at, added] = index_.emplace(key, static_cast<int32_t>(names_.size()));
    if (added) names_.emplace_back();
    const ExprNode* left = item->children[0];
    if (left->kind == KindFunction) {
      names_[at->second].argumentCounts.push_back(FunctionArgumentCount(left));
    } else {
      names_[at->second].constant = true;
    }
  });
  ForEachItem(definitions, [this](const ExprNode* item) {
    const int32_t key = IsDefinitionEquation(item) ? DefinedParameterKey(item) : -1;
    if (key < 0) return;
    Name& name = names_[index_.at(key)];
    std::vector<int32_t> uses;
    name.misapplies |= VisitUses(item->children[1], [&uses](int32_t used) { uses.push_back(used); });
    name.uses.insert(name.uses.end(), uses.begin(), uses.end());
  });
  Settle();
}

void DefinitionGraph::Settle() {
  const size_t count = names_.size();
  std::vector<size_t> unsettled(count);
  std::vector<std::vector<int32_t>> usedBy(count);
  std::vector<int32_t> ready;
  for (size_t i = 0; i < count; ++i) {
    unsettled[i] = names_[i].uses.size();
    for (const int32_t used : names_[i].uses) usedBy[static_cast<size_t>(used)].push_back(static_cast<int32_t>(i));
    if (unsettled[i] == 0) ready.push_back(static_cast<int32_t>(i));
  }
  while (!ready.empty()) {
    Name& name = names_[static_cast<size_t>(ready.back())];
    const std::vector<int32_t>& users = usedBy[static_cast<size_t>(ready.back())];
    ready.pop_back();
    for (const int32_t used : name.uses) name.misapplies |= names_[static_cast<size_t>(used)].misapplies;
    for (const int32_t user : users) {
      if (--unsettled[static_cast<size_t>(user)] == 0) ready.push_back(user);
    }
  }
  for (size_t i = 0; i < count; ++i) names_[i].refersToItself = unsettled[i] > 0;
}

DefinitionFault DefinitionGraph::FaultOf(const ExprNode* formula) const {
  if (formula == nullptr || names_.empty()) return DefinitionFault::kNone;
  bool usesMisapplying = false, usesCycle = false;
  const bool misapplies = VisitUses(formula, [&](int32_t used) {
    usesMisapplying |= names_[static_cast<size_t>(used)].misapplies;
    usesCycle |= names_[static_cast<size_t>(used)].refersToItself;
  });
  if (misapplies || usesMisapplying) return DefinitionFault::kWrongArgumentCount;
  return usesCycle ? DefinitionFault::kRefersToItself : DefinitionFault::kNone;
}

bool DefinitionGraph::MisappliesFunction(const ExprNode* tree) const {
  return tree != nullptr && !names_.empty() && VisitUses(tree, [](int32_t) {});
}
