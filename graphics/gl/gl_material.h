// Surface and curve materials for every context kind: the GL kinds set front-and-back material
// state in the current context, the software kind keeps the colour in the context (colour
// source 0, uniform), kind 0 does nothing. The curve material is lit by the 0.2 ambient alone,
// so a curve shows exactly its colour whatever its normals.
#pragma once

#include <cstdint>

struct GraphicsContext;

// Shininess 32, specular, ambient and diffuse all the colour (0x00RRGGBB).
void SetGLMaterialColor(uint32_t rgb, GraphicsContext* ctx);
// Specular and diffuse black, ambient colour / 0.2 (GL clamps the lit result, not the material).
void SetGLCurveMaterialColor(uint32_t rgb, GraphicsContext* ctx);
// GL state for per-vertex colours: shininess 32, white specular, colour material on the
// ambient and diffuse of both faces, colour array on. Current context.
void EnableColorArrayMaterial();
// GL state for textured meshes: shininess 32, white specular, ambient and diffuse, texture
// coordinate array on. Current context.
void EnableTexCoordMaterial();
