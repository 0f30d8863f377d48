// The seams the algebra serves for the layers below it, filled once at start-up: the
// normalisation that InitFunction runs over every tree, the symbolic differentiation behind
// ExpandDerivatives, the rule rewriting the graph factory's coordinate changes use, the
// simplifier of the colour programs' complex lowering, the editor's algebra commands
// (DoAlgebraCommand) and the term-drag test (CanMoveSelectedTerm). The number reader stays the
// kernel's own NodeToNumber, which already is the algebra's (a number, a negated number, else a
// compiled copy at zero arguments) and evaluates over private slots, safe while another
// evaluation runs.
#pragma once

// Called once at start-up, and by tests and tools that want normalised, differentiable functions.
void InstallAlgebraSeams();
