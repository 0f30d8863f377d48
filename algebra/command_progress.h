// The bounds of one running Math command and the seam through which it shows its progress: the
// nodes it may add, the user's cancel, and the remote wait's transfer progress. The algebra polls
// MathCommandStopped as it works; the window above fills the progress hook, which shows the
// progress box once a command has run for a while and hears Escape.
// Invariants: only the outermost MathCommandScope counts (a command run per cell of a matrix
// block is one command); outside a scope nothing is ever stopped; once stopped a command stays
// stopped until its scope ends, and the scope's owner puts the formula back as it was.
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes of counted memory (the node pools' chunks, wide child arrays) one command may add. A
// sum holds at most kMaxArity terms, and an expanded term of a few letters takes well under a
// kilobyte with the copies the expansion holds meanwhile, so results of several thousand terms
// stay far inside, while a result that would take gigabytes stops early.
inline constexpr size_t kMaxCommandBytes = size_t{64} << 20;

// What the command is doing when it asks the hook.
enum class CommandActivity : uint8_t {
  kWorking,           // local work: seconds since the command began
  kWaitingForServer,  // a transfer: bytes received and the reply's announced length (0: unknown)
};
struct CommandProgress {
  CommandActivity activity = CommandActivity::kWorking;
  double seconds = 0;
  int64_t received = 0;
  int64_t expected = 0;
};
// Answers false when the user asked to stop. Asked often: it must be cheap while it shows nothing.
using CommandProgressHook = bool (*)(void* context, const CommandProgress& progress);
struct CommandProgressSeam {
  CommandProgressHook hook = nullptr;  // null: headless, never cancelled
  void* context = nullptr;
};
// The installed seam (returned so an installer can put the former one back).
CommandProgressSeam& CommandProgressGlobals();

enum class CommandStop : uint8_t {
  kNone,
  kTooLarge,   // the command passed kMaxCommandBytes or a sum's kMaxArity (error 27 posted)
  kCancelled,  // the hook answered false during local work
};

// One Math command from construction to destruction. Nested scopes join the outermost one.
class MathCommandScope {
 public:
  MathCommandScope();
  ~MathCommandScope();
  MathCommandScope(const MathCommandScope&) = delete;
  MathCommandScope& operator=(const MathCommandScope&) = delete;
  bool Outermost() const { return outermost_; }

 private:
  bool outermost_;
};

// True once the running command must stop: its memory passed the bound or the user cancelled.
// Polls the memory count and the hook every few calls; false outside a command.
bool MathCommandStopped();
// Before a copy or a rule that makes about `nodes` new nodes at once: false, and the command
// stopped as too large, when they would take it past kMaxCommandBytes (or it has stopped
// already). True outside a command.
bool MathCommandHasRoomFor(double nodes);
// Stops the running command for the reason (not kNone; the first reason stays); outside a
// command nothing happens. For a rule that sees before it starts that its result passes a limit.
void StopMathCommand(CommandStop why);
// Why the running (or last) command stopped.
CommandStop MathCommandStopReason();
// Asked by the remote wait with its transfer's progress: false (and from then on every transfer
// of the command refused at once) when the command is stopped or the hook answers false.
bool KeepWaitingForServer(int64_t received, int64_t expected);
// True once the user cancelled a transfer of the running command.
bool MathCommandTransfersCancelled();
