// What the GL renderer offers and which of its known faults to work around: whole-word
// extension tests, renderer-name tests, the buffer-object decision, and the switches read from
// the preferences at start-up. The string tests are pure; the others read the current context.
#pragma once

// True when name occurs in the blank-separated list as a whole word. False for a null list,
// an empty name or one containing a blank. Occurrences inside longer names are skipped.
bool ExtensionListHas(const char* list, const char* name);
// ExtensionListHas on the current context's GL_EXTENSIONS.
bool HasGLExtension(const char* name);

// True when the first occurrence of prefix in s is at its start.
bool BeginsWith(const char* s, const char* prefix);

// Renderer-name tests on a GL_RENDERER string (null counts as empty).
bool IsNVidiaRenderer(const char* renderer);      // "NV" in any case
bool IsATIRenderer(const char* renderer);         // "ATI"
bool IsRadeonR200Renderer(const char* renderer);  // Radeon 8500, 9000 or 9200
bool IsRadeon9800Renderer(const char* renderer);
bool IsGeForce4MXRenderer(const char* renderer);

// Whether meshes may live in buffer objects, from the extension list, the renderer, the
// switches and BufferObjectOptionByte. On the Radeon 9800 the option byte works inverted.
bool ShouldUseBufferObjects(const char* extensions, const char* renderer);
// The four extensions the colour programs need.
bool ShaderExtensionsListed(const char* extensions);

// The current context's GL_RENDERER and GL_EXTENSIONS, "" when GL answers null.
const char* CurrentRendererString();
const char* CurrentExtensionString();

// Reads the switches from the preferences, in their fixed order, after synchronising them;
// only the value 1 sets a switch (enable_fragment_programs = 1 clears the fragment-program
// switch again). use_software_renderer = 1 clears OpenGLAvailable, so call this after it is set.
void ReadRendererSwitches();
