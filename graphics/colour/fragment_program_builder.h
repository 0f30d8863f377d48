// The fragment-program generator: prepared colour trees become the text of an ARB fragment
// program (!!ARBfp1.0). Sub-trees that depend on the fragment's position become scalar
// instructions, those that depend only on the document's parameters become program parameters
// (evaluated on the CPU before each pass), constant ones become constants shared by magnitude.
// The instructions are then renamed to single assignments, repeats are removed by text keys, and a
// linear scan packs scalar slots four to a register.
// Invariants: value ids start at 1 and a negative operand is the negated value; every failure
// (an unsupported node, a symbol with no place, a value without a writer or slot, a non-finite
// constant, a tree too deep, memory refused) abandons the whole program, which the two builders
// turn into an empty text, so the colour keeps its CPU path.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "kernel/memory/growable_array.h"

struct ExprNode;

// The parameter expressions of a program, in parameter order: parameter k of the text is
// component k mod 4 of program.local[k div 4]. The list owns its trees.
using ParameterList = GrowArray<ExprNode*>;
// Frees every tree of the list and its block.
void FreeParameterList(ParameterList* list);

enum class ProgramValueKind : uint32_t { kParameter = 0, kConstant = 1, kTemporary = 2, kNamed = 3 };

enum class ProgramOp : uint8_t { kAbs, kAdd, kCmp, kCos, kFlr, kFrc, kKil, kLg2, kMad, kMax, kMin, kMov, kMovSat,
                              kMul, kPow, kRcp, kRsq, kSin, kSlt };

struct ProgramValue {
  uint32_t id = 0;
  ProgramValueKind kind = ProgramValueKind::kTemporary;
  int32_t slot = -1;     // parameter index, constant slot or register slot
  double value = 0;      // a constant's magnitude
  std::string name;      // a named value's operand text
  std::string text;      // the text that detects repeats
  int32_t alias = 0;     // the value that stands for this one after repeat removal
  int32_t firstUse = -1, lastUse = -1;
  int32_t writer = -1;   // the instruction that writes it
  bool slotFreed = false;
};

struct ProgramInstruction {
  ProgramOp opcode;
  uint32_t dead = 0;     // repeats an earlier instruction
  uint8_t count = 0;     // operands: the destination first (KIL: sources only)
  int32_t operands[5] = {0, 0, 0, 0, 0};
};

// Thrown inside the builder to abandon a program; the two builders catch it.
struct GenerationFailure {};

// One program under construction (InitFragmentProgramBuilder / DestroyFragmentProgramBuilder are
// its constructor and destructor). The three texture-coordinate inputs are made first, as ids 1-3.
class FragmentProgramBuilder {
 public:
  explicit FragmentProgramBuilder(ParameterList* parameterList);
  FragmentProgramBuilder(const FragmentProgramBuilder&) = delete;
  FragmentProgramBuilder& operator=(const FragmentProgramBuilder&) = delete;

  int32_t NewTemporary();
  // The named input or output of that operand text, made on first use.
  int32_t NamedValue(const char* name);
  // The constant of magnitude |c|, made on first use, negated when c < 0. Fails for NaN or infinities.
  int32_t ConstantValue(double c);
  // A parameter whose expression equals the tree (an earlier one when the list already holds an
  // equal expression with a value), else a new one with a copy of the tree appended to the list.
  int32_t ProgramParameterValue(const ExprNode* expression);
  // Appends an instruction of one to five operands, the destination first (KIL: sources only);
  // a negative operand is the negated value. Fails when an operand names no value.
  void Emit(ProgramOp opcode, std::initializer_list<int32_t> operands);
  // The value of the tree's result, emitting what it takes.
  int32_t EmitExpression(const ExprNode* tree);
  // The discard of the fragments where the condition fails (nothing for a constant condition).
  void EmitCondition(const ExprNode* condition);
  // Renaming, repeat removal, slot assignment and the text.
  std::string EmitFragmentProgram();

  int32_t texcoordX, texcoordY, texcoordZ;
  uint8_t usesTexture = 0;

 private:
  ProgramValue& At(int32_t id);
  const ProgramValue& Value(int32_t id) const { return values_[static_cast<size_t>(id < 0 ? -id : id)]; }
  int32_t NewValue(ProgramValueKind kind);
  int32_t EmitNode(const ExprNode* tree, int depth);
  int32_t EmitSymbol(int32_t symbol);
  int32_t Reduce(ProgramOp opcode, const int32_t* operands, int n);
  int32_t EmitPower(int32_t base, int32_t exponent, int oddRootSign);
  void Guard(int32_t x);
  void ArctangentCore(int32_t x);
  int32_t Arctangent(int32_t x);
  int32_t Arcsine(int32_t x);
  int32_t Angle(int32_t x, int32_t y);
  int32_t RadiusSquared();
  int32_t RhoSquared();
  int32_t InvRho();
  int32_t Rho();
  int32_t Theta();
  int32_t Phi();
  void RenameToSingleAssignments();
  void RemoveRepeats();
  void AssignSlots();
  std::string OperandName(int32_t id) const;
  std::string Text();

  int32_t rhoValue_ = 0, phiValue_ = 0, thetaValue_ = 0, invRhoValue_ = 0, radiusSquaredValue_ = 0,
          rhoSquaredValue_ = 0;
  std::vector<ProgramValue> values_;  // by id; entry 0 stands for no value
  std::map<std::string, int32_t> named_;
  std::map<double, int32_t> constants_;
  std::vector<int32_t> parameterValues_;  // parameter index -> value id (0: none yet)
  ParameterList* parameterList_;
  std::vector<ProgramInstruction> instructions_;
  int32_t temporarySlots_ = 0;
};

// The RGB program: the condition's discard, then red, green and blue emitted, the three
// saturating moves, and the lit vertex colour multiplied in. With any component missing the
// colour is the texture's (TX). Empty when generation failed; the list then holds what it held.
std::string BuildRgbFragmentProgram(ParameterList* parameters, const ExprNode* red, const ExprNode* green,
                                    const ExprNode* blue, const ExprNode* condition);
// The HSV program: without floatOutput the hue (in degrees) is turned into RGB here; with it the
// program writes hue (in turns, wrapped), saturation, the lit value and alpha 1 for the overlay
// pass to convert. Empty when generation failed.
std::string BuildHsvFragmentProgram(ParameterList* parameters, const ExprNode* hue, const ExprNode* saturation,
                                    const ExprNode* value, const ExprNode* condition, bool floatOutput);
