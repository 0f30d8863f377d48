// The baton scheduler behind the cooperative threads. One mutex guards the scheduler
// record; `running` names the one thread allowed to run and every other thread sleeps
// on the condition variable until it is named. Ended workers are joined by whichever
// thread next holds the baton, outside the lock.
#include "platform/coop_threads.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>

namespace {

struct Worker {
  CoopThreadId id = kCoopNoThread;
  pthread_t handle{};
  CoopEntry entry = nullptr;
  void* argument = nullptr;
  bool direct = false;  // passed the baton only by CoopYieldTo
  bool ended = false;
};

struct Scheduler {
  std::mutex mutex;
  std::condition_variable changed;
  CoopThreadId running = kCoopMainThread;
  CoopThreadId nextId = kCoopMainThread + 1;  // 0 after the last id: creation refused
  std::vector<Worker*> workers;               // creation order; ended ones until joined
  bool unwinding = false;
  int injectedFailures = 0;
};

// Never destroyed: when a worker calls exit, the main thread is still waiting on the
// condition variable, and destroying it under a waiter would hang the exit.
Scheduler& scheduler = *new Scheduler;
thread_local CoopThreadId currentId = kCoopMainThread;

Worker* FindLive(CoopThreadId id) {
  for (Worker* w : scheduler.workers)
    if (w->id == id && !w->ended) return w;
  return nullptr;
}

// Caller holds the lock.
bool IsDirect(CoopThreadId id) {
  for (Worker* w : scheduler.workers)
    if (w->id == id) return w->direct;
  return false;
}

// Caller holds the lock and the baton. Names `to` as the running thread and sleeps
// until the baton comes back. A worker woken during shut-down unwinds.
void HandOver(std::unique_lock<std::mutex>& lock, CoopThreadId to) {
  const CoopThreadId me = currentId;
  scheduler.running = to;
  scheduler.changed.notify_all();
  scheduler.changed.wait(lock, [me] { return scheduler.running == me; });
  if (scheduler.unwinding && me != kCoopMainThread) throw CoopThreadAbort{};
}

// Caller holds the lock. During shut-down a worker's yield unwinds it instead. True when
// the yield must return at once: the worker is already unwinding (the yield comes from
// one of its destructors), and a second exception would terminate the process.
bool UnwindInsteadOfYield(CoopThreadId me) {
  if (!scheduler.unwinding || me == kCoopMainThread) return false;
  if (std::uncaught_exceptions() == 0) throw CoopThreadAbort{};
  return true;
}

// Joins the workers that have ended. Caller holds the baton but not the lock.
void ReapEnded() {
  std::vector<Worker*> ended;
  {
    std::lock_guard<std::mutex> lock(scheduler.mutex);
    auto split = std::stable_partition(scheduler.workers.begin(), scheduler.workers.end(),
                                       [](Worker* w) { return !w->ended; });
    ended.assign(split, scheduler.workers.end());
    scheduler.workers.erase(split, scheduler.workers.end());
  }
  for (Worker* w : ended) {
    pthread_join(w->handle, nullptr);
    delete w;
  }
}

void* WorkerMain(void* raw) {
  Worker* self = static_cast<Worker*>(raw);
  currentId = self->id;
  {
    std::unique_lock<std::mutex> lock(scheduler.mutex);
    scheduler.changed.wait(lock, [self] { return scheduler.running == self->id; });
  }
  try {
    self->entry(self->argument);
  } catch (const CoopThreadAbort&) {
    // Shut-down unwound the worker's frames; it ends like any other.
  }
  std::lock_guard<std::mutex> lock(scheduler.mutex);
  self->ended = true;
  scheduler.running = kCoopMainThread;
  scheduler.changed.notify_all();
  return nullptr;
}

// At exit on the main thread, no worker is left unjoined.
struct JoinAtExit {
  ~JoinAtExit() { CoopShutdown(); }
} joinAtExit;

size_t RoundUpToPage(size_t bytes) {
  const long page = sysconf(_SC_PAGESIZE);
  const size_t p = page > 0 ? static_cast<size_t>(page) : 4096;
  return (bytes + p - 1) / p * p;
}

}  // namespace

namespace {

CoopThreadId CreateWorker(CoopEntry entry, void* argument, size_t stackBytes, bool direct) {
  ReapEnded();
  if (entry == nullptr) return kCoopNoThread;
  std::unique_lock<std::mutex> lock(scheduler.mutex);
  if (scheduler.injectedFailures > 0) {
    --scheduler.injectedFailures;
    return kCoopNoThread;
  }
  if (scheduler.nextId == kCoopNoThread) return kCoopNoThread;  // ids are never reused

  Worker* w = new (std::nothrow) Worker;
  if (w == nullptr) return kCoopNoThread;
  w->id = scheduler.nextId;
  w->entry = entry;
  w->argument = argument;
  w->direct = direct;

  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) {
    delete w;
    return kCoopNoThread;
  }
  int rc = pthread_attr_setstacksize(&attr, RoundUpToPage(std::max(stackBytes, kCoopMinStackBytes)));
  if (rc == 0) rc = pthread_create(&w->handle, &attr, WorkerMain, w);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete w;
    return kCoopNoThread;
  }
  ++scheduler.nextId;  // wraps to 0 after the last id, which then refuses creation
  scheduler.workers.push_back(w);
  return w->id;
}

}  // namespace

CoopThreadId CoopCreateThread(CoopEntry entry, void* argument, size_t stackBytes) {
  return CreateWorker(entry, argument, stackBytes, false);
}

CoopThreadId CoopCreateDirectThread(CoopEntry entry, void* argument, size_t stackBytes) {
  return CreateWorker(entry, argument, stackBytes, true);
}

void CoopYieldToAny() {
  {
    std::unique_lock<std::mutex> lock(scheduler.mutex);
    const CoopThreadId me = currentId;
    if (UnwindInsteadOfYield(me)) return;
    if (IsDirect(me)) return;
    CoopThreadId to = kCoopMainThread;
    auto& ws = scheduler.workers;
    auto start = ws.begin();
    if (me != kCoopMainThread) {
      start = std::find_if(ws.begin(), ws.end(), [me](Worker* w) { return w->id == me; });
      if (start != ws.end()) ++start;
    }
    auto next = std::find_if(start, ws.end(), [](Worker* w) { return !w->ended && !w->direct; });
    if (next != ws.end()) to = (*next)->id;
    if (to == me) return;
    HandOver(lock, to);
  }
  ReapEnded();
}

void CoopYieldTo(CoopThreadId id) {
  {
    std::unique_lock<std::mutex> lock(scheduler.mutex);
    const CoopThreadId me = currentId;
    if (UnwindInsteadOfYield(me)) return;
    if (id == me) return;
    if (id != kCoopMainThread && FindLive(id) == nullptr) return;
    HandOver(lock, id);
  }
  ReapEnded();
}

CoopThreadId CoopCurrentThread() { return currentId; }

bool CoopIsAlive(CoopThreadId id) {
  if (id == kCoopMainThread) return true;
  std::lock_guard<std::mutex> lock(scheduler.mutex);
  return FindLive(id) != nullptr;
}

std::vector<CoopThreadId> CoopLiveWorkers() {
  std::vector<CoopThreadId> ids;
  std::lock_guard<std::mutex> lock(scheduler.mutex);
  for (Worker* w : scheduler.workers)
    if (!w->ended) ids.push_back(w->id);
  return ids;
}

void CoopShutdown() {
  if (currentId != kCoopMainThread) return;  // only the main thread may tear down
  {
    std::unique_lock<std::mutex> lock(scheduler.mutex);
    scheduler.unwinding = true;
    for (;;) {
      auto live = std::find_if(scheduler.workers.begin(), scheduler.workers.end(),
                               [](Worker* w) { return !w->ended; });
      if (live == scheduler.workers.end()) break;
      HandOver(lock, (*live)->id);  // the worker unwinds, ends and hands back to main
    }
    scheduler.unwinding = false;
  }
  ReapEnded();
}

void CoopInjectCreateFailures(int count) {
  std::lock_guard<std::mutex> lock(scheduler.mutex);
  scheduler.injectedFailures = std::max(count, 0);
}
