// Dear ImGui's drawing on an SDL_Renderer: the vertex lists of a frame go
// through SDL_RenderGeometry, so the software renderer draws them as well as
// an accelerated one. Acts on the current ImGui context, which keeps its
// renderer and font texture, so every context (one per window) has its own.
#pragma once
#include <SDL.h>

struct ImDrawData;

// Builds the font atlas texture in `renderer`; false when SDL cannot.
bool imguiSdlRendererInit(SDL_Renderer* renderer);
void imguiSdlRendererShutdown();
// Draws a frame's lists into the renderer (clip rectangles, textures); the
// caller presents. The renderer's clip rectangle is restored afterwards.
void imguiSdlRendererDraw(ImDrawData* data);
