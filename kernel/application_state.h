// Flags the application shell keeps and the kernel reads: whether the application is in
// front, whether a demo or the benchmark plays or a movie is exported, and the document layer's
// hook for the modified mark. Headless defaults: in front, no demo, no movie, no hook.
#pragma once

using DocumentModifiedHook = void (*)(void* window, bool modified);

// The application-active flag kept by the window layer (read by IsFrontProcess).
void SetApplicationFrontmost(bool front);
bool IsApplicationFrontmost();

// Sets the document's modified mark through the document layer's hook; nothing while a
// demo runs.
void SetDocumentModified(void* window, bool modified);
void SetDocumentModifiedHook(DocumentModifiedHook hook);
void SetDemoRunning(bool running);
bool IsDemoRunning();
// Set by the documents while the benchmark plays (the demo mode 4): the graph kinds that cache
// computed maps per parameter value ask it when they are made, so the benchmark always computes.
void SetBenchmarkRunning(bool running);
bool IsBenchmarkRunning();

// Set while a movie is exported frame by frame (the 3D spin then takes fixed steps).
void SetMovieExportFlag(bool on);
bool GetMovieExportFlag();

// Tests: the headless defaults.
void ResetApplicationStateForTests();
