// The running command's record. The poll is cheap on most calls (a counter), and every
// kPollStride-th call reads the memory count and the clock; the hook is asked at most every
// kHookMicroseconds, so a window that draws a box on each call still leaves the work its time.
#include "algebra/command_progress.h"

#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/threads/timers.h"

namespace {

constexpr uint32_t kPollStride = 64;
constexpr uint64_t kHookMicroseconds = 20000;
constexpr double kLeastNodeBytes = 32;  // a node with its slot, the least any new node takes

struct RunningCommand {
  int depth = 0;
  size_t bytesAtStart = 0;
  uint64_t startMicroseconds = 0;
  uint64_t lastHookMicroseconds = 0;
  uint32_t polls = 0;
  CommandStop stop = CommandStop::kNone;
  bool transfersCancelled = false;
};

RunningCommand gCommand;
CommandProgressSeam gSeam;

double SecondsSince(uint64_t start, uint64_t now) { return static_cast<double>(now - start) / 1e6; }

void Stop(CommandStop why) {
  if (gCommand.stop != CommandStop::kNone) return;
  gCommand.stop = why;
  if (why == CommandStop::kTooLarge) {
    ClearErrorPosted(kErrorResultTooLarge);  // each refused command is told
    PostError(kErrorResultTooLarge);
  }
}

}  // namespace

CommandProgressSeam& CommandProgressGlobals() { return gSeam; }

MathCommandScope::MathCommandScope() : outermost_(gCommand.depth == 0) {
  ++gCommand.depth;
  if (!outermost_) return;
  const uint64_t now = MicrosecondsNow();
  gCommand = RunningCommand{1, GetBytesInUse(), now, now, 0, CommandStop::kNone, false};
}

MathCommandScope::~MathCommandScope() { --gCommand.depth; }

bool MathCommandStopped() {
  if (gCommand.depth == 0 || gCommand.stop != CommandStop::kNone) return gCommand.stop != CommandStop::kNone;
  if (++gCommand.polls % kPollStride != 0) return false;
  if (GetBytesInUse() > gCommand.bytesAtStart + kMaxCommandBytes) {
    Stop(CommandStop::kTooLarge);
    return true;
  }
  const uint64_t now = MicrosecondsNow();
  if (gSeam.hook == nullptr || now - gCommand.lastHookMicroseconds < kHookMicroseconds) return false;
  gCommand.lastHookMicroseconds = now;
  const CommandProgress progress{CommandActivity::kWorking, SecondsSince(gCommand.startMicroseconds, now), 0, 0};
  if (!gSeam.hook(gSeam.context, progress)) Stop(CommandStop::kCancelled);
  return gCommand.stop != CommandStop::kNone;
}

bool MathCommandHasRoomFor(double nodes) {
  if (gCommand.depth == 0) return true;
  if (gCommand.stop != CommandStop::kNone) return false;
  const double after = static_cast<double>(GetBytesInUse()) + nodes * kLeastNodeBytes;
  if (after <= static_cast<double>(gCommand.bytesAtStart + kMaxCommandBytes)) return true;
  Stop(CommandStop::kTooLarge);
  return false;
}

void StopMathCommand(CommandStop why) {
  if (gCommand.depth > 0 && why != CommandStop::kNone) Stop(why);
}

CommandStop MathCommandStopReason() { return gCommand.stop; }

bool KeepWaitingForServer(int64_t received, int64_t expected) {
  const bool inCommand = gCommand.depth > 0;
  if (inCommand && (gCommand.transfersCancelled || gCommand.stop != CommandStop::kNone)) return false;
  if (gSeam.hook == nullptr) return true;
  const uint64_t now = MicrosecondsNow();
  const CommandProgress progress{CommandActivity::kWaitingForServer, SecondsSince(gCommand.startMicroseconds, now),
                                 received, expected};
  gCommand.lastHookMicroseconds = now;
  if (gSeam.hook(gSeam.context, progress)) return true;
  gCommand.transfersCancelled = inCommand;
  return false;
}

bool MathCommandTransfersCancelled() { return gCommand.depth > 0 && gCommand.transfersCancelled; }
