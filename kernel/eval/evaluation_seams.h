// What evaluation needs from the layers above the kernel: the values of names defined in the
// document, the parameter variable and its value, and the algebra's tree passes. Each is a seam
// (a function pointer the higher layer fills at start-up, tests fill it explicitly).
// Invariants: every seam has a safe default (the number reader's is the compiling NodeToNumber of
// the compiled functions), so the kernel runs headless without documents or algebra; setting a
// seam to null restores its default; nothing here reaches another file of evaluation.
#pragma once

#include <cstdint>

#include "kernel/numeric/complex.h"

struct ExprNode;

// Value of a defined name by key (a symbol id, or id + (subscript + 1) * 256). The default answers
// (1, 0), as the document does for a name it does not know.
using DefinedValueLookup = void (*)(Complex* out, int32_t key);
void SetDefinedValueLookup(DefinedValueLookup lookup);
void LookUpDefinedValue(Complex* out, int32_t key);

// The parameter variable: its character code (0: none; one byte, the classifier's free variable)
// and current value. Process-wide, written by the document, read by every compile (the letter)
// and every evaluation (the value).
double ParameterValue();
void SetParameterValue(double value);
int32_t ParameterLetter();
void SetParameterLetter(int32_t letter);

// Symbolic differentiation of the derivative nodes of a tree, in place (the algebra fills it).
// The default leaves the tree unchanged.
using TreePass = void (*)(ExprNode* tree);
void SetExpandDerivativesPass(TreePass pass);
void ExpandDerivatives(ExprNode* tree);
// ExpandDerivatives with its work bounded, for graph builds: the pass may spend at most
// `workLimit` units of this thread's tree-walk work (TreeWalkWork: copies, comparisons, hashes
// and the simplifier's walks). Past that it gives up (the algebra asks DerivativeWorkExceeded at
// every step) and the answer is false: the tree is valid but no longer the derivative, and the
// caller discards it. True when the pass ran within the bound. Each cooperative thread has its
// own bound, so a worker's bound never cuts short what the main thread does between its yields.
bool ExpandDerivativesWithin(ExprNode* tree, uint64_t workLimit);
// True once the bounded expansion now running on this thread has passed its bound; false
// outside one.
bool DerivativeWorkExceeded();

// The normalisation passes that InitFunction runs over every tree before it is compiled, in
// order (the algebra fills it). The default does nothing.
void SetNormaliseTreePass(TreePass pass);
void NormaliseTree(ExprNode* tree);

// The numeric value of a node as the algebra reads it (NodeToNumber, in compiled_function.h, uses
// it when installed, and its own compiling default otherwise).
using NodeNumberReader = double (*)(const ExprNode* node);
void SetNodeToNumberReader(NodeNumberReader reader);
NodeNumberReader InstalledNodeToNumberReader();  // null: none installed

// Puts every seam and the parameter back to its default (tests).
void ResetEvaluationSeams();
