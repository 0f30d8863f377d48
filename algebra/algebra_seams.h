// The kernel's seams the algebra serves, filled once at start-up: the normalisation that
// InitFunction runs over every tree, and the symbolic differentiation behind ExpandDerivatives.
#pragma once

// Called once at start-up, and by tests and tools that want normalised, differentiable functions.
void InstallAlgebraSeams();
