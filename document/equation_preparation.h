// The preparation of a document's equation rows before their graphs are built: each row's formula
// is copied; x', y' and z' typed as primes become the primed coordinates; the document's
// definitions (named constants, and functions whose parameters are pattern variables) are applied
// until nothing changes, without ordering factors; grad, div and curl are expanded, derivatives
// worked out, the arithmetic of vectors and matrices done and substitutions applied. The result is
// the row's prepared equation, which alone is classified and built. A row that is a definition
// draws nothing and says nothing; a row whose definitions refer to themselves, apply a function
// with the wrong number of arguments or grow past what one Math command may take gets a message
// instead of an equation.
// It runs as a job of the compute worker (graphs/core/compute_worker.h), taking a turn between two
// rows and before the nodes of a rewriting pass once some work was done since the last, so a costly
// preparation leaves the window its turns; headless it is finished at one go (the build finishes
// what is left). Its steps evaluate nothing, so these are its only turns.
// Invariants: what it prepared stands for the rows as they were when it began (a copy of each is
// kept), and is used only while the rows are still equal to those copies; a preparation under way
// is abandoned before it starts again; the algebra's switches are at their defaults at every turn.
#pragma once

#include <cstdint>

#include "document/definition_graph.h"
#include "kernel/memory/growable_array.h"

struct ExprNode;
class DocumentServices;

// The graph result messages of a preparation that failed.
inline constexpr int32_t kMessageRefersToItself = 27;      // "A definition used here refers to itself"
inline constexpr int32_t kMessageWrongArgumentCount = 28;  // "A function is given the wrong number of arguments"
inline constexpr int32_t kMessageGrowsTooLarge = 29;       // "Grows too large when its definitions ..."

// One row as the preparation left it.
struct PreparedRow {
  ExprNode* source = nullptr;    // the row's formula when the preparation began (a copy); null: none
  ExprNode* equation = nullptr;  // the prepared equation; null for a definition, a failure, no formula
  int32_t message = 0;           // the graph result message of a failed preparation; 0 none
  bool definition = false;       // a definition: it draws nothing and has no message
  bool refused = false;          // memory was refused for its copy (error 7 posted): nothing built
};

class EquationPreparation {
 public:
  // The preparation of the rows of `document`, which must outlive it.
  explicit EquationPreparation(const DocumentServices* document) : document_(document) {}
  ~EquationPreparation();
  EquationPreparation(const EquationPreparation&) = delete;
  EquationPreparation& operator=(const EquationPreparation&) = delete;

  // The rows changed: a preparation lying suspended is abandoned, what was prepared forgotten, and
  // the next call starts from the first row.
  void Restart();
  // Prepares in the computing's turns for at most `budget` timer units (starting again first when
  // the rows are no longer those it began with). True when every row is prepared, for the rows as
  // they are now.
  bool PrepareInTurns(int32_t budget);
  // PrepareInTurns until every row is prepared: at one go, unless a test cuts the worker's turns.
  void Finish();
  // The rows are not all prepared: nothing begun yet, or a preparation under way (one that ended may
  // be stale: PrepareInTurns finds that out).
  bool UnderWay() const { return !begun_ || next_ < rows_.count; }
  // Row i as prepared; null before the preparation ended or for a row it did not see.
  const PreparedRow* Row(int32_t i) const;

 private:
  static void Job(void* preparation, int32_t budget);
  // The job: begins when it has not (the rows copied, the definitions collected and learnt), then
  // prepares the rows left, a turn after each.
  void Run();
  void Begin();
  void PrepareRow(PreparedRow* row);
  // The definitions applied to the formula (the right side only for a definition that is drawn);
  // 0, or the message of a failure.
  int32_t ApplyDefinitions(ExprNode* formula, DefinitionFault fault);
  // The rows are those the preparation began with.
  bool MatchesRows() const;
  // The worker's turn once enough work was done since the last (at every turn while a test cuts the
  // worker's jobs at each), the algebra's switches at their defaults meanwhile.
  void TakeTurn();
  // The rewrite turn: false once the row has grown past its bound; otherwise TakeTurn.
  static bool Turn(void* preparation);
  // The row took more node-pool blocks than its bound allows.
  bool GrownTooLarge() const;
  void Forget();

  const DocumentServices* document_;
  GrowArray<PreparedRow> rows_;
  ExprNode* definitions_ = nullptr;  // the rules, their function parameters pattern variables
  DefinitionGraph graph_;
  ExprNode* working_ = nullptr;      // the row being prepared: freed when a job starts again
  int32_t next_ = 0;                 // the first row not yet prepared
  bool begun_ = false;
  bool refused_ = false;             // memory was refused for the rows' copies: nothing is prepared
  size_t rowStartBlocks_ = 0;        // node-pool blocks in use when the present row began
  bool tooLarge_ = false;            // the present row passed its bound
  uint64_t turnWork_ = 0;            // this thread's tree-walk work at the last turn
};
