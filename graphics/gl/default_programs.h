// The built-in ARB program texts: the vertex half of every colour program pair and the
// fragment program of the transparent overlay pass. Lines end with a carriage return.
#pragma once

extern const char kDefaultVertexProgram[];         // 1,632 characters
extern const char kDefaultColorFragmentProgram[];  // 2,132 characters

// The overlay pass knows the fragment program by this name.
inline const char* DefaultColorFragmentProgram() { return kDefaultColorFragmentProgram; }
