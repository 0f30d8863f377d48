// The bounds of a Math command: expansions whose work follows their result, results past the
// size bound refused with the formula left as it was, the user's cancel through the progress
// seam, and a cancelled remote wait that ends the transfers of the whole command.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "algebra/algebra_commands.h"
#include "algebra/command_progress.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/diagnostics/message_tables.h"
#include "tests/algebra/algebra_test_support.h"
#include "tests/algebra/long_formulas.h"

namespace {

using namespace algebra_test;

class CommandBoundsTest : public AlgebraTest {
 protected:
  void TearDown() override {
    CommandProgressGlobals() = CommandProgressSeam{};
    ClearPendingError(PendingError());
    AlgebraTest::TearDown();
  }
};

double SecondsOf(void (*run)()) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Expand() { RunAlgebraCommand(0x2002); }
void Simplify() { RunAlgebraCommand(0x2000); }

// The value of the tree and of the formula it came from agree at a few points (the test kit's
// evaluator, independent of the compiler).
void ExpectSameValue(const ExprNode* tree, const std::string& original, const std::vector<Values>& points) {
  ExprNode* before = Tree(original);
  for (const Values& at : points) {
    const double want = Evaluate(before, at), got = Evaluate(tree, at);
    EXPECT_NEAR(got, want, 1e-9 * std::fabs(want) + 1e-12) << Text(tree);
  }
  FreeExpression(before);
}

// Golden term counts: (x+1)...(x+24) has one term a power of x from 0 to 24, and so has the
// denominator of the quotient chain; (a+...+h)^7 has C(14, 7) = 3432 monomials. Each finishes
// far inside the bound, without a message.
TEST_F(CommandBoundsTest, ExpansionsWithinTheBoundFinishWithTheirTermsCollected) {
  const struct {
    std::string text;
    int terms;
    std::vector<Values> points;
  } cases[] = {
      {long_formulas::UnlikeFactors(24), 25, {{{'x', 0.5}}, {{'x', 2}}, {{'x', 1}}}},  // no cancellation
      {long_formulas::QuotientChain(20), 21, {{{'x', 0.5}}, {{'x', 3}}}},
      {long_formulas::EightLetterPower(7), 3432,
       {{{'a', 0.3}, {'b', -0.2}, {'c', 0.7}, {'d', 0.1}, {'e', -0.4}, {'f', 0.25}, {'g', 0.05}, {'h', -0.6}}}},
  };
  for (const auto& c : cases) {
    CurrentEditor e(c.text.c_str());
    const double seconds = SecondsOf(Expand);
    EXPECT_LT(seconds, 10.0) << c.text;
    const ExprNode* root = e.editor.root;
    const ExprNode* sum = IsShape(root, KindOver, 2) ? root->children[1] : root;  // a quotient's denominator
    EXPECT_EQ(sum->kind, KindPlus) << c.text;
    EXPECT_EQ(sum->arity, c.terms) << c.text;
    ExpectSameValue(e.editor.root, c.text, c.points);
    EXPECT_FALSE(HasPendingError());
    EXPECT_EQ(MathCommandStopReason(), CommandStop::kNone);
  }
}

// (a+...+h)^15 would have 170,544 terms, more than a sum holds; 22 nested sums of two terms
// double at every level. Each stops with its message, the formula, caret and selection as they
// were, and the memory it took within a few times the bound.
TEST_F(CommandBoundsTest, ResultsPastTheBoundStopWithTheFormulaAsItWas) {
  const struct {
    std::string text;
    void (*command)();
  } cases[] = {
      {long_formulas::EightLetterPower(15), Expand},
      {long_formulas::NestedIndexSums(22), Expand},
      {"equal[y," + long_formulas::NestedIndexSums(22) + "]", Expand},
  };
  for (const auto& c : cases) {
    CurrentEditor e(c.text.c_str());
    e.editor.selectionStart = 2;
    const size_t bytes = GetBytesInUse();
    const double seconds = SecondsOf(c.command);
    EXPECT_LT(seconds, 30.0) << c.text;
    EXPECT_LT(GetBytesInUse(), bytes + 4 * kMaxCommandBytes) << c.text;
    EXPECT_TRUE(Is(e.editor.root, c.text.c_str()));
    EXPECT_EQ(e.editor.caretNode, e.editor.root);
    EXPECT_EQ(e.editor.selectionStart, 2);
    EXPECT_EQ(MathCommandStopReason(), CommandStop::kTooLarge);
    EXPECT_EQ(PendingError(), kErrorResultTooLarge);
    EXPECT_NE(ErrorMessage(kErrorResultTooLarge), nullptr);
    ClearPendingError(PendingError());
  }
}

// The hook is asked with the time the command has run; its refusal stops the work and puts the
// formula back, with no message (the user knows why).
TEST_F(CommandBoundsTest, TheHooksRefusalStopsTheCommandWithTheFormulaAsItWas) {
  struct Watch {
    int calls = 0;
    bool sawWorking = true;
  } watch;
  CommandProgressGlobals() = {[](void* context, const CommandProgress& progress) {
                                auto* w = static_cast<Watch*>(context);
                                ++w->calls;
                                w->sawWorking = w->sawWorking && progress.activity == CommandActivity::kWorking &&
                                                progress.seconds >= 0;
                                return false;
                              },
                              &watch};
  const std::string text = long_formulas::NestedIndexSums(22);
  CurrentEditor e(text.c_str());
  Expand();
  EXPECT_TRUE(Is(e.editor.root, text.c_str()));
  EXPECT_EQ(watch.calls, 1) << "stopped at the first refusal";
  EXPECT_TRUE(watch.sawWorking);
  EXPECT_EQ(MathCommandStopReason(), CommandStop::kCancelled);
  EXPECT_FALSE(HasPendingError());
}

// Golden from the chain's definition: ((x/(x+1))/(x+2)).../(x+4000) is x over the product of
// the 4000 sums, in their order; merged link by link it took seconds, merged whole it takes its size.
TEST_F(CommandBoundsTest, AQuotientChainBecomesOneQuotientInTimeItsLength) {
  const int levels = 4000;
  std::string product = "times[";
  for (int k = 1; k <= levels; ++k) product += (k > 1 ? ",plus[x," : "plus[x,") + std::to_string(k) + "]";
  const std::string text = long_formulas::QuotientChain(levels);
  CurrentEditor e(text.c_str());
  EXPECT_LT(SecondsOf(Simplify), 5.0);
  EXPECT_TRUE(Is(e.editor.root, ("over[x," + product + "]]").c_str()));
}

// Golden from the chain rule: d/dx sin(sin(...sin(x))), sin nested 800 deep, is the product of
// cos(sin^k(x)) for k = 0..799, the shallowest first. Ordered and merged once, not once a level,
// it costs about the size of that product (320,401 nodes), not the cube of the depth.
TEST_F(CommandBoundsTest, ADeepChainRuleIsSimplifiedOnceAtItsTop) {
  const int depth = 800;
  std::string product = "times[", inner = "x";
  for (int k = 0; k < depth; ++k, inner = "sin[" + inner + "]") product += (k > 0 ? ",cos[" : "cos[") + inner + "]";
  const std::string text = long_formulas::NestedSinDerivative(depth);
  CurrentEditor e(text.c_str());
  EXPECT_LT(SecondsOf(Simplify), 10.0);
  EXPECT_TRUE(Is(e.editor.root, (product + "]").c_str()));
}

// A transport that waits as a slow server would: it asks the progress hook up to 50 times before
// it answers, and fails at once when the hook refuses.
struct SlowServer : IntegrationTransport {
  std::optional<std::string> PostForm(const std::string&, const std::string& body, const TransferLimits& limits) override {
    bodies.push_back(body);
    for (int k = 0; k < 50; ++k) {
      if (limits.progress != nullptr && !limits.progress(limits.progressContext, 0, 0)) return std::nullopt;
    }
    return reply;
  }
  std::string reply = "X";
  std::vector<std::string> bodies;
};

// Escape during the first wait: nothing more is sent, every integral is left as a failed one
// leaves it (the same formula a server that never answers gives), and one message is pending.
TEST_F(CommandBoundsTest, ACancelledWaitEndsEveryTransferOfTheCommand) {
  const char* text = "plus[integral[f,x],integral[g,x,a,b],integral[h,x,c,d]]";
  SlowServer slow;
  RemoteIntegrationGlobals().server = "127.0.0.1";
  RemoteIntegrationGlobals().transport = &slow;
  int waits = 0;
  CommandProgressGlobals() = {[](void* context, const CommandProgress& progress) {
                                if (progress.activity == CommandActivity::kWaitingForServer) ++*static_cast<int*>(context);
                                return progress.activity != CommandActivity::kWaitingForServer;
                              },
                              &waits};
  CurrentEditor cancelled(text);
  Simplify();
  EXPECT_EQ(slow.bodies.size(), 1u) << "no integral sent after the cancel";
  EXPECT_EQ(waits, 1);
  EXPECT_EQ(PendingError(), kErrorIntegrationServer);
  ShowPendingError();
  EXPECT_FALSE(HasPendingError()) << "told once";
  EXPECT_EQ(MathCommandStopReason(), CommandStop::kNone) << "the command itself went on";

  CommandProgressGlobals() = CommandProgressSeam{};
  SlowServer silent;
  silent.reply.clear();  // no formula: every integral fails
  RemoteIntegrationGlobals().transport = &silent;
  CurrentEditor failed(text);
  TypesettingGlobals().currentEditor = &failed.editor;
  Simplify();
  EXPECT_EQ(silent.bodies.size(), 3u);
  EXPECT_TRUE(ExpressionsEqual(cancelled.editor.root, failed.editor.root))
      << Text(cancelled.editor.root) << " / " << Text(failed.editor.root);

  // The next command sends again.
  SlowServer answers;
  RemoteIntegrationGlobals().transport = &answers;
  CurrentEditor next("integral[x,x]");
  Simplify();
  EXPECT_EQ(answers.bodies.size(), 1u);
  EXPECT_TRUE(Is(next.editor.root, "x"));
  RemoteIntegrationGlobals().transport = nullptr;
}

// A valid reply of 10,000 reciprocals is simplified within the command's bound, in time that
// follows its size.
TEST_F(CommandBoundsTest, ALongReplyIsSimplifiedWithinTheBound) {
  SlowServer server;
  server.reply = long_formulas::ReciprocalProductReply(10000);
  RemoteIntegrationGlobals().server = "127.0.0.1";
  RemoteIntegrationGlobals().transport = &server;
  CurrentEditor e("integral[f,x]");
  EXPECT_LT(SecondsOf(Simplify), 5.0);
  ASSERT_TRUE(IsShape(e.editor.root, KindOver, 2)) << Text(e.editor.root).substr(0, 300);
  EXPECT_TRUE(IsNumberValue(e.editor.root->children[0], 1));
  EXPECT_EQ(e.editor.root->children[1]->arity, 10000);
  RemoteIntegrationGlobals().transport = nullptr;
}

}  // namespace
