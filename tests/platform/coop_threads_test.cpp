// The baton scheduler: round-robin order, switches only at yields or when a worker ends,
// quiet yields to dead ids, unwinding at shut-down and at process exit, and exactly one
// thread running under any mix of yields. Run under TSan by the thread stage.
#include "platform/coop_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class CoopThreads : public ::testing::Test {
 protected:
  void TearDown() override {
    CoopShutdown();
    CoopInjectCreateFailures(0);
    EXPECT_TRUE(CoopLiveWorkers().empty());
  }
};

// Logs its name each round and yields round-robin; logs its name in lower case at the end.
struct Looper {
  std::string* log;
  char name;
  int rounds;
};

void LoopAndYield(void* raw) {
  auto* l = static_cast<Looper*>(raw);
  for (int i = 0; i < l->rounds; ++i) {
    l->log->push_back(l->name);
    CoopYieldToAny();
  }
  l->log->push_back(static_cast<char>(l->name - 'A' + 'a'));
}

// Hand-traced: M->A->B->M each round; an ending worker hands straight back to main, so A's
// end ('a') is followed by M before B's last round.
TEST_F(CoopThreads, RoundRobinOverWorkersThenMain) {
  std::string log;
  Looper a{&log, 'A', 2}, b{&log, 'B', 3};
  ASSERT_NE(CoopCreateThread(LoopAndYield, &a, 0), kCoopNoThread);
  ASSERT_NE(CoopCreateThread(LoopAndYield, &b, 0), kCoopNoThread);
  EXPECT_EQ(log, "");  // created workers wait for the baton
  while (!CoopLiveWorkers().empty()) {
    CoopYieldToAny();
    log.push_back('M');
  }
  EXPECT_EQ(log, "ABMABMaMBMbM");
}

// A direct worker among round-robin ones: the round-robin never reaches it, its own round-robin
// yield returns at once, and it runs only when named; ending, it hands the baton to main.
TEST_F(CoopThreads, DirectWorkersRunOnlyWhenNamed) {
  std::string log;
  Looper a{&log, 'A', 2};
  ASSERT_NE(CoopCreateThread(LoopAndYield, &a, 0), kCoopNoThread);
  const CoopThreadId direct = CoopCreateDirectThread(
      [](void* raw) {
        auto* l = static_cast<std::string*>(raw);
        l->push_back('D');
        CoopYieldToAny();
        l->push_back('d');
        CoopYieldTo(kCoopMainThread);
        l->push_back('E');
      },
      &log, 0);
  ASSERT_NE(direct, kCoopNoThread);
  while (CoopLiveWorkers().size() > 1) {
    CoopYieldToAny();
    log.push_back('M');
  }
  CoopYieldTo(direct);
  log.push_back('M');
  CoopYieldTo(direct);
  log.push_back('M');
  EXPECT_EQ(log, "AMAMaMDdMEM");
  EXPECT_FALSE(CoopIsAlive(direct));
}

// Ids grow, also across a shut-down, and are never reused; yields to an ended, unknown, null
// or own id return at once. (Stack sizes are shown by the kernel's short-stack test.)
TEST_F(CoopThreads, IdsAreNeverReusedAndYieldsToDeadIdsReturnAtOnce) {
  CoopYieldToAny();  // no workers: nothing to run
  EXPECT_EQ(CoopCreateThread(nullptr, nullptr, 0), kCoopNoThread);
  std::vector<CoopThreadId> ids{kCoopMainThread};
  for (int i = 0; i < 3; ++i) {
    ids.push_back(CoopCreateThread([](void*) {}, nullptr, 0));
    CoopYieldTo(ids.back());
    EXPECT_GT(ids.back(), ids[ids.size() - 2]);
    EXPECT_FALSE(CoopIsAlive(ids.back()));
    if (i == 1) CoopShutdown();
  }
  for (CoopThreadId target : {ids[1], ids.back() + 1000, kCoopNoThread, kCoopMainThread}) {
    CoopYieldTo(target);
    EXPECT_EQ(CoopCurrentThread(), kCoopMainThread);
  }
}

struct Forever {
  bool destroyed = false;
  int loops = 0;
  bool yieldWhileUnwinding = false;  // a yield from a destructor must return at once
};

void YieldForever(void* raw) {
  struct Guard {
    Forever* f;
    ~Guard() {
      f->destroyed = true;
      if (f->yieldWhileUnwinding) CoopYieldToAny();  // a second throw would terminate
    }
  } guard{static_cast<Forever*>(raw)};
  for (;;) {
    ++guard.f->loops;
    CoopYieldToAny();
  }
}

TEST_F(CoopThreads, ShutdownUnwindsRunningAndUnstartedWorkers) {
  Forever started{false, 0, true}, unstarted;
  CoopYieldTo(CoopCreateThread(YieldForever, &started, 0));
  CoopCreateThread(YieldForever, &unstarted, 0);
  CoopShutdown();
  EXPECT_TRUE(CoopLiveWorkers().empty());
  EXPECT_TRUE(started.destroyed && unstarted.destroyed);
  EXPECT_EQ(started.loops, 1);    // woken only to unwind
  EXPECT_EQ(unstarted.loops, 1);  // ran to its first yield, which unwound it
}

// Death tests re-execute the binary, so the child starts with no worker threads. A program
// that exits with workers alive unwinds and joins them, neither aborting nor hanging.
TEST_F(CoopThreads, ProcessExitUnwindsLeftoverWorkersAndExitOnAWorkerEndsTheProcess) {
  const std::string style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        static Forever leftover;
        auto announced = [](void* raw) {
          struct Announce {
            ~Announce() { std::fputs("worker unwound\n", stderr); }
          } announce;
          YieldForever(raw);
        };
        CoopYieldTo(CoopCreateThread(announced, &leftover, 0));
        CoopCreateThread(announced, &leftover, 0);  // never started
        std::exit(leftover.loops == 1 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "worker unwound\n(.|\n)*worker unwound");
  EXPECT_EXIT(CoopYieldTo(CoopCreateThread([](void*) { std::exit(3); }, nullptr, 0)),
              ::testing::ExitedWithCode(3), "");
  GTEST_FLAG_SET(death_test_style, style);
}

// Property: under any mix of targeted and round-robin yields (to live, ended or own ids),
// exactly one thread is between yields at any moment.
struct Mixer {
  std::atomic<int>* active;
  int* violations;
  const std::vector<CoopThreadId>* ids;
  unsigned seed;
  void Enter() { *violations += active->fetch_add(1) != 0; }
  void Leave() { active->fetch_sub(1); }
  void Yield() {
    seed = seed * 1103515245u + 12345u;
    Leave();
    if ((seed >> 16) % 3 == 0) {
      CoopYieldToAny();
    } else {
      CoopYieldTo((*ids)[(seed >> 8) % ids->size()]);
    }
    Enter();
  }
};

TEST_F(CoopThreads, ExactlyOneThreadRunsUnderMixedYields) {
  std::atomic<int> active{1};  // main is running
  int violations = 0;
  std::vector<CoopThreadId> ids{kCoopMainThread};
  std::vector<Mixer> mixers;
  for (unsigned i = 0; i < 4; ++i) mixers.push_back(Mixer{&active, &violations, &ids, i * 7919 + 1});
  for (size_t i = 1; i < mixers.size(); ++i) {
    ids.push_back(CoopCreateThread(
        [](void* raw) {
          auto* m = static_cast<Mixer*>(raw);
          m->Enter();
          for (int k = 0; k < 200; ++k) m->Yield();
          m->Leave();
        },
        &mixers[i], 0));
  }
  while (!CoopLiveWorkers().empty()) mixers[0].Yield();
  EXPECT_EQ(violations, 0);
  EXPECT_EQ(active.load(), 1);
}

}  // namespace
