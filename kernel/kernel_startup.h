// The kernel's part of start-up and shut-down, above every other part of the kernel: it
// sets the budget, probes the machine, reads the number settings, makes the node pools,
// loads the cursors and installs the alert presenter; at shut-down it stops the workers.
#pragma once

// Kernel part of start-up: budget = physical memory, bytes in use 0, machine probes, the
// decimal separator read once from the user's locale (LC_NUMERIC itself stays "C"), the
// node pools (once), the colour cursors and the presenter of pending errors.
void InitApplicationGlobals();
// Kernel part of shut-down, on the main thread: every worker is aborted through the
// out-of-memory flag and joined (so none is left to be unwound at exit), then the node
// pools give back their free chunks.
void ShutdownApplicationKernel();
bool HasVectorUnit();
int CacheLineBytes();

// The kernel's share of InitTypesetting: creates the node pools. Runs once; returns true
// only on the call that did the work. The editor's InitTypesetting calls it beside its font
// set-up.
bool InitTypesettingKernel();
// Test seam: lets InitTypesettingKernel run again (after DestroyNodePools).
void ResetTypesettingKernelForTest();
