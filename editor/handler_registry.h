// The one place where the layout handler families are put in the kind-to-handler table, run by
// InitTypesetting. The atoms are in the table from the start; ids that no family claims (chem,
// tensor, the box signs, braces, norms, bra-kets, lim, vector, hat ...) keep the side-by-side
// layout.
#pragma once

// Registers every family's handler under its handler id. Idempotent.
void RegisterHandlerFamilies();
