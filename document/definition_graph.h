// The document's definitions as a graph of names: each defined name (its key), the numbers of
// arguments its functions take, and the names each definition uses; which names refer to
// themselves (through a cycle of definitions, a name reaching such a cycle included) and which
// apply a function with a number of arguments no definition of it takes (none, for a function's
// name standing alone), at any depth. The
// preparation asks it, before it rewrites a formula, whether the rewriting can end and make sense.
// Invariants: built once from the definition list and read only afterwards; a name that reaches
// a cycle is marked as referring to itself, every other name's facts are those of the names it uses.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

struct ExprNode;

enum class DefinitionFault : uint8_t {
  kNone,
  kWrongArgumentCount,  // a function applied with a number of arguments none of its definitions take
  kRefersToItself,      // a name whose rewriting comes back to itself
};

// The number of arguments of a function application or of a function definition's left side:
// function(f, comma(a, b)) and function(f, a, b) both have two.
int32_t FunctionArgumentCount(const ExprNode* application);
// Every function(name, a, b, ...) of the tree becomes function(name, comma(a, b, ...)), the shape
// typing gives, so that definitions and uses written either way match. A node whose memory is
// refused stays as it is.
void GroupFunctionArguments(ExprNode* tree);

class DefinitionGraph {
 public:
  // Learns the definitions of the list (a list node of definition items, or one item, their
  // function parameters already pattern variables); what was learnt before is forgotten. Null:
  // no definitions.
  void Learn(const ExprNode* definitions);
  void Forget();
  // The list holds rules that are no definition (the further items of a comma row it took whole,
  // y = 2 among them): what they rewrite is not known here, so the rewriting keeps its own limits.
  bool HasOtherRules() const { return otherRules_; }

  // What rewriting the formula with the definitions would meet: a function it applies, or one a
  // definition it uses applies at any depth, with a wrong number of arguments; else a name it uses
  // that refers to itself; else nothing.
  DefinitionFault FaultOf(const ExprNode* formula) const;
  // Some function of the tree is applied with a number of arguments no definition of it takes.
  bool MisappliesFunction(const ExprNode* tree) const;

 private:
  struct Name {
    std::vector<int32_t> argumentCounts;  // of the functions defined by this name
    bool constant = false;                // some definition gives the name itself a value
    std::vector<int32_t> uses;            // the names its definitions use (indexes, with repeats)
    bool misapplies = false;              // some definition, at any depth, applies a function wrongly
    bool refersToItself = false;          // it reaches a cycle of definitions
  };
  // The index of the defined name a char node of a formula stands for; -1 for any other.
  int32_t NameOf(const ExprNode* node) const;
  // Calls use(index) for each defined name the tree uses; true when it applies a function wrongly.
  template <typename Use>
  bool VisitUses(const ExprNode* tree, Use use) const;
  // The names that reach a cycle are marked; the others learn whether their uses misapply.
  void Settle();

  std::vector<Name> names_;
  std::unordered_map<int32_t, int32_t> index_;  // key -> index in names_
  bool otherRules_ = false;
};
