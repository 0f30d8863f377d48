// The state every new GL context starts from, and the draining of GL's error flag. A pending
// error is reported by whoever reads the flag next, so code that must not inherit an earlier
// error (a frame's start, a program load) drains it first.
#pragma once

#include <cstdint>

// Smooth shading; lighting with light 0 fixed to the camera (diffuse 0.6, specular 0.2,
// directional from (-1, 1, 1)) and two-sided lighting over a 0.2 ambient; normalising and the
// depth test on; multisampling on; the vertex array on. The multisample filter hint is given
// only when its extension exists (elsewhere the call would leave an error). Current context.
void InitGLState();

// Reads the error flag until it is clear (at most 64 times); returns how many errors were pending.
int32_t DrainGLErrors();
