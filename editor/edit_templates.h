// The template and structure codes 0x1809..0x190A: derivative operators, matrix rows, columns and
// branches, reciprocal, squares and powers of a base, roots, log base 2, subscripts, negation,
// relations, bound slots and the list separator, and the templates that are scripts of typed
// input (sums, integrals, substitution bars, column vectors, identity matrices). A script runs
// through the same handlers as typing, so a template behaves as if its keys had been typed.
#pragma once

#include <cstdint>

// Runs the template of the code; codes without one change nothing. Invalidates the layout.
void RunTemplateCommand(int32_t code);

// A matrix around the caret (nearest first) gains a row of prompts, the first selected; outside
// a matrix the caret's row of a branch, or its expression, gains a prompt row after it. Matrices
// stop growing at the operand limit, and while memory is short.
void AddMatrixRowOrBranch();
// A matrix around the caret gains a column of prompts; the last row's new cell is selected.
void AddMatrixColumn();
