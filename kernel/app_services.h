// What the kernel needs of the application shell: start-up of the memory budget and the
// machine probes, the memory tests, the message alert (headless by default: alerts are
// captured), the process-wide number settings, the movie-export flag and the document
// modified mark. All state is in AppServicesState; the window layer fills the hooks.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "kernel/number_services.h"

constexpr std::size_t kShortStackBytes = 32768;  // less stack than this left is "short"

struct CapturedAlert {
  int code;
  std::string text;
};

// Shows one alert; "\r" in the text is a line break.
using MessageAlertSink = void (*)(int code, const char* text);
using ArrowCursorHook = void (*)();
using DocumentModifiedHook = void (*)(void* window, bool modified);

struct AppServicesState {
  char decimalSeparator = '.';
  int displayDigits = kDefaultDisplayDigits;
  bool movieExport = false;       // a movie is being exported frame by frame
  bool demoRunning = false;
  bool frontmost = true;          // the application is the active one (headless: true)
  bool vectorUnit = true;         // probed at start-up
  int cacheLineBytes = 64;        // probed at start-up
  MessageAlertSink alertSink = nullptr;  // null: capture into `captured`
  ArrowCursorHook arrowCursor = nullptr;
  DocumentModifiedHook documentModified = nullptr;
  std::vector<CapturedAlert> captured;
};
AppServicesState& AppServicesGlobals();
void ResetAppServicesForTest();

// Kernel part of start-up: budget = physical memory, bytes in use 0, machine probes, the
// decimal separator read once from the user's locale (LC_NUMERIC itself stays "C"), the
// node pools (once) and the colour cursors.
void InitApplicationGlobals();
// Kernel part of shut-down, on the main thread: every worker is aborted through the
// out-of-memory flag and joined (so none is left to be unwound at exit), then the node
// pools give back their free chunks.
void ShutdownApplicationKernel();
bool HasVectorUnit();
int CacheLineBytes();

// true when the out-of-memory flag is set, when less than kShortStackBytes of the current
// thread's stack is left (then the flag is raised), or when CheckFreeMemory reports a
// shortage. `bytes` is the size the caller is about to need; the answer does not depend on
// it (the limit test is on the count before a request). Works on any thread.
bool IsMemoryShort(std::size_t bytes);
bool IsMemoryShort();
// true when the flag is set; when bytes in use exceed the heap limit, posts error 7 (once
// until re-armed), raises the flag and answers true; else false.
bool CheckFreeMemory();
// Bytes of stack left below the caller's frame on the current thread; SIZE_MAX when the
// bounds are unknown.
std::size_t RemainingStackBytes();

// Shows the message of `code` through the sink (or captures it); for code 17 also re-arms
// the code. Returns false, showing nothing, for a code without a message.
bool ShowMessageAlert(int code);
void SetMessageAlertSink(MessageAlertSink sink);
const std::vector<CapturedAlert>& CapturedAlerts();
void ClearCapturedAlerts();
void SetArrowCursorHook(ArrowCursorHook hook);
void SetArrowCursor();

// The application-active flag kept by the window layer (read by IsFrontProcess).
void SetApplicationFrontmost(bool front);
bool IsApplicationFrontmost();

// Number settings read by the number text and the formula writers.
char GetDecimalSeparator();
void SetDecimalSeparator(char separator);  // '\0' is ignored
int GetDisplayDigits();
void SetDisplayDigits(int digits);

// Sets the document's modified mark through the document layer's hook; nothing while a
// demo runs.
void SetDocumentModified(void* window, bool modified);
void SetDocumentModifiedHook(DocumentModifiedHook hook);
void SetDemoRunning(bool running);
bool IsDemoRunning();

// Set while a movie is exported frame by frame (the 3D spin then takes fixed steps).
void SetMovieExportFlag(bool on);
bool GetMovieExportFlag();
