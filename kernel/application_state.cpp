// The shell's flags in one record with one reset for tests.
#include "kernel/application_state.h"

namespace {

struct ApplicationState {
  bool frontmost = true;       // the application is the active one (headless: true)
  bool demoRunning = false;
  bool benchmarkRunning = false;
  bool movieExport = false;    // a movie is being exported frame by frame
  DocumentModifiedHook documentModified = nullptr;
};

constinit ApplicationState state;

}  // namespace

void SetApplicationFrontmost(bool front) { state.frontmost = front; }
bool IsApplicationFrontmost() { return state.frontmost; }

void SetDocumentModified(void* window, bool modified) {
  if (state.demoRunning || state.documentModified == nullptr) return;
  state.documentModified(window, modified);
}

void SetDocumentModifiedHook(DocumentModifiedHook hook) { state.documentModified = hook; }
void SetDemoRunning(bool running) { state.demoRunning = running; }
bool IsDemoRunning() { return state.demoRunning; }
void SetBenchmarkRunning(bool running) { state.benchmarkRunning = running; }
bool IsBenchmarkRunning() { return state.benchmarkRunning; }
void SetMovieExportFlag(bool on) { state.movieExport = on; }
bool GetMovieExportFlag() { return state.movieExport; }
void ResetApplicationStateForTests() { state = ApplicationState{}; }
