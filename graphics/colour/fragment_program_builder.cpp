// The generator's values and its back end: renaming to single assignments, repeat removal by text
// keys, the linear scan that packs scalar slots four to a register, and the program text. The
// scan runs over the live instructions only: a removed repeat is never written out, so its
// operands need no slot there and cannot lengthen a lifetime or add a register.
#include "graphics/colour/fragment_program_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "kernel/trees/expr_node.h"

namespace {

constexpr const char* kOpcodeText[] = {"ABS", "ADD", "CMP", "COS", "FLR", "FRC", "KIL", "LG2", "MAD", "MAX",
                                       "MIN", "MOV", "MOV_SAT", "MUL", "POW", "RCP", "RSQ", "SIN", "SLT"};
static_assert(sizeof(kOpcodeText) / sizeof(kOpcodeText[0]) == size_t(ProgramOp::kSlt) + 1);

const char* OpcodeText(ProgramOp op) { return kOpcodeText[static_cast<size_t>(op)]; }

[[noreturn]] void Fail() { throw GenerationFailure{}; }

int32_t Magnitude(int32_t id) { return id < 0 ? -id : id; }
int32_t WithSignOf(int32_t operand, int32_t id) { return operand < 0 ? -id : id; }

// The first source operand: KIL has no destination.
int FirstSource(const ProgramInstruction& in) { return in.opcode == ProgramOp::kKil ? 0 : 1; }

std::string Format(const char* format, double value) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// A letter followed by a number: a parameter's key text, a temporary's unique one.
std::string Numbered(char letter, int32_t n) {
  std::string text(1, letter);
  text += std::to_string(n);
  return text;
}

}  // namespace

void FreeParameterList(ParameterList* list) {
  if (list == nullptr) return;
  for (int32_t i = 0; i < list->count; ++i) FreeExpression(list->data[i]);
  GrowArrayFree(*list);
}

FragmentProgramBuilder::FragmentProgramBuilder(ParameterList* parameterList) : parameterList_(parameterList) {
  values_.emplace_back();  // id 0: no value
  texcoordX = NamedValue("fragment.texcoord[0].x");
  texcoordY = NamedValue("fragment.texcoord[0].y");
  texcoordZ = NamedValue("fragment.texcoord[0].z");
}

ProgramValue& FragmentProgramBuilder::At(int32_t id) {
  const int32_t m = Magnitude(id);
  if (m == 0 || m >= int32_t(values_.size())) Fail();
  return values_[size_t(m)];
}

int32_t FragmentProgramBuilder::NewValue(ProgramValueKind kind) {
  const auto id = int32_t(values_.size());
  ProgramValue& v = values_.emplace_back();
  v.id = uint32_t(id);
  v.kind = kind;
  v.alias = id;
  return id;
}

int32_t FragmentProgramBuilder::NewTemporary() { return NewValue(ProgramValueKind::kTemporary); }

int32_t FragmentProgramBuilder::NamedValue(const char* name) {
  auto found = named_.find(name);
  if (found != named_.end()) return found->second;
  const int32_t id = NewValue(ProgramValueKind::kNamed);
  values_[size_t(id)].name = name;
  values_[size_t(id)].text = name;
  named_.emplace(name, id);
  return id;
}

int32_t FragmentProgramBuilder::ConstantValue(double c) {
  if (!std::isfinite(c)) Fail();  // no ARB text for it: the CPU path decides what it shows
  const double magnitude = std::fabs(c);
  auto found = constants_.find(magnitude);
  int32_t id;
  if (found != constants_.end()) {
    id = found->second;
  } else {
    id = NewValue(ProgramValueKind::kConstant);
    values_[size_t(id)].value = magnitude;
    values_[size_t(id)].text = Format("%.50lf", magnitude);
    constants_.emplace(magnitude, id);
  }
  return c < 0 ? -id : id;
}

int32_t FragmentProgramBuilder::ProgramParameterValue(const ExprNode* expression) {
  if (parameterList_ == nullptr) Fail();
  for (int32_t k = 0; k < parameterList_->count; ++k) {
    if (size_t(k) < parameterValues_.size() && parameterValues_[size_t(k)] != 0 &&
        ExpressionsEqual(parameterList_->data[k], expression)) {
      return parameterValues_[size_t(k)];
    }
  }
  // A copy cut short by exhaustion comes back as a NaN number: no parameter to evaluate then.
  ExprNode* copy = CopyExpression(expression);
  if (copy == nullptr || !ExpressionsEqual(copy, expression) || !GrowArrayAppend(*parameterList_, copy)) {
    FreeExpression(copy);
    Fail();
  }
  const int32_t index = parameterList_->count - 1;
  const int32_t id = NewValue(ProgramValueKind::kParameter);
  values_[size_t(id)].slot = index;
  values_[size_t(id)].text = Numbered('U', index);
  if (parameterValues_.size() <= size_t(index)) parameterValues_.resize(size_t(index) + 1, 0);
  parameterValues_[size_t(index)] = id;
  return id;
}

void FragmentProgramBuilder::Emit(ProgramOp opcode, std::initializer_list<int32_t> operands) {
  ProgramInstruction in{opcode};
  if (operands.size() == 0 || operands.size() > 5) Fail();
  for (int32_t operand : operands) {
    At(operand);  // a missing value (id 0 or unknown) fails here
    in.operands[in.count++] = operand;
  }
  instructions_.push_back(in);
}

// Each write after the first goes to a new temporary that takes the value's name for the
// instructions after it; sources read the name current when their instruction comes.
void FragmentProgramBuilder::RenameToSingleAssignments() {
  std::vector<int32_t> current(values_.size());
  for (size_t id = 0; id < current.size(); ++id) current[id] = int32_t(id);
  for (size_t i = 0; i < instructions_.size(); ++i) {
    ProgramInstruction& in = instructions_[i];
    for (int k = FirstSource(in); k < in.count; ++k) {
      const int32_t renamed = current[size_t(Magnitude(in.operands[k]))];
      const ProgramValue& source = At(renamed);
      if (source.kind == ProgramValueKind::kTemporary && source.writer < 0) Fail();  // read before any write
      in.operands[k] = WithSignOf(in.operands[k], renamed);
    }
    if (in.opcode == ProgramOp::kKil) continue;
    const int32_t d = in.operands[0];
    if (d <= 0) Fail();
    ProgramValue& dest = At(d);
    if (dest.kind == ProgramValueKind::kConstant || dest.kind == ProgramValueKind::kParameter) Fail();
    if (dest.writer < 0) {
      dest.writer = int32_t(i);
      continue;
    }
    if (dest.kind == ProgramValueKind::kNamed) Fail();  // an output is written once
    const int32_t fresh = NewTemporary();
    current.push_back(fresh);
    current[size_t(d)] = fresh;
    values_[size_t(fresh)].writer = int32_t(i);
    in.operands[0] = fresh;
  }
}

void FragmentProgramBuilder::RemoveRepeats() {
  std::map<std::string, int32_t> seen;
  for (ProgramInstruction& in : instructions_) {
    std::string key = OpcodeText(in.opcode);
    for (int k = in.count - 1; k >= FirstSource(in); --k) {
      const int32_t alias = At(in.operands[k]).alias;
      in.operands[k] = WithSignOf(in.operands[k], alias);
      const ProgramValue& source = At(alias);
      if (source.text.empty()) Fail();
      key += in.operands[k] < 0 ? ",-" : ",";
      key += source.text;
    }
    if (in.opcode == ProgramOp::kKil) continue;
    ProgramValue& dest = At(in.operands[0]);
    if (dest.kind == ProgramValueKind::kNamed) continue;  // outputs are written, never read or shared
    auto found = seen.find(key);
    if (found != seen.end()) {
      in.dead = 1;
      const ProgramValue& earlier = At(found->second);
      dest.alias = found->second;
      dest.text = earlier.text;
    } else {
      seen.emplace(key, int32_t(dest.id));
      dest.text = Numbered('#', int32_t(dest.id));
      dest.alias = int32_t(dest.id);
    }
  }
}

void FragmentProgramBuilder::AssignSlots() {
  int32_t constantSlot = 0;
  for (ProgramValue& v : values_) {
    if (v.kind == ProgramValueKind::kConstant && v.id != 0) v.slot = constantSlot++;
  }
  for (size_t i = 0; i < instructions_.size(); ++i) {
    if (instructions_[i].dead) continue;
    for (int k = 0; k < instructions_[i].count; ++k) {
      ProgramValue& v = At(instructions_[i].operands[k]);
      if (v.firstUse < 0) v.firstUse = int32_t(i);
      v.lastUse = int32_t(i);
    }
  }
  std::vector<bool> busy;
  for (size_t i = 0; i < instructions_.size(); ++i) {
    const ProgramInstruction& in = instructions_[i];
    if (in.dead) continue;
    // Operand by operand, the destination first: it takes its slot before the sources that end
    // here give theirs back.
    for (int k = 0; k < in.count; ++k) {
      ProgramValue& v = At(in.operands[k]);
      if (v.kind != ProgramValueKind::kTemporary) continue;
      if (v.firstUse == int32_t(i) && v.slot < 0) {
        size_t s = 0;
        while (s < busy.size() && busy[s]) ++s;
        if (s == busy.size()) busy.push_back(true);
        busy[s] = true;
        v.slot = int32_t(s);
        temporarySlots_ = std::max(temporarySlots_, int32_t(s) + 1);
      }
      if (v.lastUse == int32_t(i) && !v.slotFreed) {
        if (v.slot < 0) Fail();
        busy[size_t(v.slot)] = false;
        v.slotFreed = true;
      }
    }
  }
}

std::string FragmentProgramBuilder::OperandName(int32_t id) const {
  const ProgramValue& v = Value(id);
  if (v.kind == ProgramValueKind::kNamed) return v.name;
  if (v.slot < 0) Fail();
  const char letter = v.kind == ProgramValueKind::kParameter ? 'U' : v.kind == ProgramValueKind::kConstant ? 'C' : 'R';
  return letter + std::to_string(v.slot / 4) + "." + "xyzw"[v.slot % 4];
}

std::string FragmentProgramBuilder::Text() {
  std::string out = "!!ARBfp1.0\n\n";
  if (usesTexture) out += "TEMP TX;\n";
  const int32_t registers = std::max(1, (temporarySlots_ + 3) / 4);
  for (int32_t r = 0; r < registers; ++r) out += "TEMP R" + std::to_string(r) + ";\n";
  out += "\n";
  const auto parameterGroups = int32_t((parameterValues_.size() + 3) / 4);
  for (int32_t g = 0; g < parameterGroups; ++g) {
    out += "PARAM U" + std::to_string(g) + " = program.local[" + std::to_string(g) + "];\n";
  }
  if (parameterGroups > 0) out += "\n";
  std::vector<double> constants;
  for (const ProgramValue& v : values_) {
    if (v.kind == ProgramValueKind::kConstant && v.id != 0) constants.push_back(v.value);  // id order is slot order
  }
  while (constants.size() % 4 != 0) constants.push_back(0.0);
  for (size_t c = 0; c < constants.size(); c += 4) {
    out += "PARAM C" + std::to_string(c / 4) + " = {\n";
    for (size_t k = 0; k < 4; ++k) out += Format("    % 35.30f", constants[c + k]) + (k < 3 ? ",\n" : "\n");
    out += "};\n";
  }
  if (!constants.empty()) out += "\n";
  if (usesTexture) out += "TEX      TX, fragment.texcoord[1].xyzw, texture[0], 2D;\n";
  for (const ProgramInstruction& in : instructions_) {
    if (in.dead) continue;
    const char* opcode = OpcodeText(in.opcode);
    out += opcode;
    if (std::strlen(opcode) == 3) out += "    ";
    for (int k = 0; k < in.count; ++k) {
      if (k > 0) out += ",";
      out += in.operands[k] < 0 ? " -" : "  ";
      out += OperandName(in.operands[k]);
    }
    out += ";\n";
  }
  out += "\nEND\n";
  return out;
}

std::string FragmentProgramBuilder::EmitFragmentProgram() {
  RenameToSingleAssignments();
  RemoveRepeats();
  AssignSlots();
  return Text();
}
