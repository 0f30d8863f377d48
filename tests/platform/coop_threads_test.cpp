// The baton scheduler: one thread runs at a time, switches happen only at yields or when
// a worker ends, round-robin order, quiet yields to dead ids, unwinding at shut-down.
#include "platform/coop_threads.h"

#include <gtest/gtest.h>
#include <pthread.h>

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

// A worker that logs its name and yields round-robin `rounds` times.
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
  l->log->push_back(static_cast<char>(l->name - 'A' + 'a'));  // lower case: ended
}

void Increment(void* raw) { ++*static_cast<int*>(raw); }

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
  // Hand-traced: M->A->B->M per round; an ending worker hands straight back to main,
  // so A's end ('a') is followed by M before B's last round.
  EXPECT_EQ(log, "ABMABMaMBMbM");
}

TEST_F(CoopThreads, IdsAreNeverReusedAndYieldsToDeadUnknownOrOwnIdsReturnAtOnce) {
  int n = 0;
  CoopYieldToAny();  // no workers: nothing to run
  EXPECT_EQ(CoopCreateThread(nullptr, &n, 0), kCoopNoThread);
  std::vector<CoopThreadId> ids{kCoopMainThread};
  for (int i = 0; i < 4; ++i) {
    if (i == 3) CoopShutdown();
    ids.push_back(CoopCreateThread(Increment, &n, 0));
    CoopYieldTo(ids.back());
    EXPECT_GT(ids.back(), ids[ids.size() - 2]);
    EXPECT_FALSE(CoopIsAlive(ids.back()));
  }
  EXPECT_EQ(n, 4);
  for (CoopThreadId target : {ids[1], ids.back() + 1000, kCoopNoThread, kCoopMainThread}) {
    CoopYieldTo(target);
    EXPECT_EQ(CoopCurrentThread(), kCoopMainThread);
  }
  EXPECT_EQ(n, 4);
}

void RecordStack(void* raw) {
  pthread_attr_t attr;
  size_t size = 0;
  if (pthread_getattr_np(pthread_self(), &attr) == 0) {
    pthread_attr_getstacksize(&attr, &size);
    pthread_attr_destroy(&attr);
  }
  *static_cast<size_t*>(raw) = size;
}

TEST_F(CoopThreads, WorkerStacksAreAtLeastOneMiB) {
  for (size_t asked : {size_t{0}, size_t{4096}, size_t{3} << 20}) {
    size_t got = 0;
    CoopYieldTo(CoopCreateThread(RecordStack, &got, asked));
    EXPECT_GE(got, kCoopMinStackBytes);
    EXPECT_GE(got, asked);
  }
}

struct Guarded {
  bool* destroyed;
  ~Guarded() { *destroyed = true; }
};

struct Forever {
  bool destroyed = false;
  int loops = 0;
};

void YieldForever(void* raw) {
  auto* f = static_cast<Forever*>(raw);
  Guarded g{&f->destroyed};
  for (;;) {
    ++f->loops;
    CoopYieldToAny();
  }
}

TEST_F(CoopThreads, ShutdownUnwindsRunningAndUnstartedWorkers) {
  Forever started, unstarted;
  const CoopThreadId a = CoopCreateThread(YieldForever, &started, 0);
  CoopYieldTo(a);
  EXPECT_EQ(started.loops, 1);
  CoopCreateThread(YieldForever, &unstarted, 0);
  CoopShutdown();
  EXPECT_TRUE(CoopLiveWorkers().empty());
  EXPECT_TRUE(started.destroyed);
  EXPECT_TRUE(unstarted.destroyed);
  EXPECT_EQ(started.loops, 1);    // woken only to unwind
  EXPECT_EQ(unstarted.loops, 1);  // ran to its first yield, which unwound it
  EXPECT_EQ(CoopCurrentThread(), kCoopMainThread);
}

void YieldForeverWithAYieldingDestructor(void* raw) {
  struct YieldOnDestruction {
    ~YieldOnDestruction() {
      CoopYieldToAny();
      CoopYieldTo(kCoopMainThread);
    }
  } yielder;
  YieldForever(raw);
}

TEST_F(CoopThreads, AYieldFromADestructorWhileUnwindingReturnsAtOnce) {
  Forever f;
  CoopYieldTo(CoopCreateThread(YieldForeverWithAYieldingDestructor, &f, 0));
  CoopShutdown();  // a second throw from the destructor would terminate the process
  EXPECT_TRUE(f.destroyed);
  EXPECT_TRUE(CoopLiveWorkers().empty());
}

// Death tests re-execute the binary so the child starts with no worker threads.
struct ThreadsafeDeathTests {
  std::string saved = GTEST_FLAG_GET(death_test_style);
  ThreadsafeDeathTests() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
  ~ThreadsafeDeathTests() { GTEST_FLAG_SET(death_test_style, saved); }
};

void YieldForeverAndSayWhenUnwound(void* raw) {
  struct Announce {
    ~Announce() { std::fputs("worker unwound\n", stderr); }
  } announce;
  YieldForever(raw);
}

// A program that exits with a worker still alive must unwind and join it on the way out,
// not abort and not hang on a thread left waiting for the baton.
TEST_F(CoopThreads, ProcessExitUnwindsAndJoinsLeftoverWorkers) {
  ThreadsafeDeathTests style;
  EXPECT_EXIT(
      {
        static Forever leftover;
        CoopYieldTo(CoopCreateThread(YieldForeverAndSayWhenUnwound, &leftover, 0));
        CoopCreateThread(YieldForeverAndSayWhenUnwound, &leftover, 0);  // never started
        std::exit(leftover.loops == 1 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "worker unwound\n(.|\n)*worker unwound");
}

void ExitFromWorker(void*) { std::exit(3); }

TEST_F(CoopThreads, ExitCalledOnAWorkerEndsTheProcess) {
  ThreadsafeDeathTests style;
  EXPECT_EXIT(CoopYieldTo(CoopCreateThread(ExitFromWorker, nullptr, 0)),
              ::testing::ExitedWithCode(3), "");
}

// Property: with any mix of targeted and round-robin yields, exactly one thread is
// between yields at any moment.
struct Mixer {
  std::atomic<int>* active;
  int* violations;
  std::vector<CoopThreadId>* ids;
  unsigned seed;
};

void Enter(Mixer* m) {
  if (m->active->fetch_add(1) != 0) ++*m->violations;
}
void Leave(Mixer* m) { m->active->fetch_sub(1); }

void MixYields(void* raw) {
  auto* m = static_cast<Mixer*>(raw);
  Enter(m);
  for (int i = 0; i < 200; ++i) {
    m->seed = m->seed * 1103515245u + 12345u;
    Leave(m);
    if ((m->seed >> 16) % 3 == 0)
      CoopYieldToAny();
    else
      CoopYieldTo((*m->ids)[(m->seed >> 8) % m->ids->size()]);
    Enter(m);
  }
  Leave(m);
}

TEST_F(CoopThreads, ExactlyOneThreadRunsUnderMixedYields) {
  std::atomic<int> active{1};  // main is running
  int violations = 0;
  std::vector<CoopThreadId> ids{kCoopMainThread};
  std::vector<Mixer> mixers(3, Mixer{&active, &violations, &ids, 0});
  for (size_t i = 0; i < mixers.size(); ++i) {
    mixers[i].seed = static_cast<unsigned>(i * 7919 + 1);
    ids.push_back(CoopCreateThread(MixYields, &mixers[i], 0));
  }
  Mixer self{&active, &violations, &ids, 99};
  while (!CoopLiveWorkers().empty()) {
    Leave(&self);
    CoopYieldToAny();
    Enter(&self);
  }
  EXPECT_EQ(violations, 0);
  EXPECT_EQ(active.load(), 1);
}

}  // namespace
