#include "frontend/imgui_sdl_renderer.h"

#include <imgui.h>

namespace {

struct RendererData {
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* font = nullptr;
};

RendererData* data() {
    return ImGui::GetCurrentContext() ? static_cast<RendererData*>(ImGui::GetIO().BackendRendererUserData) : nullptr;
}

}  // namespace

bool imguiSdlRendererInit(SDL_Renderer* renderer) {
    ImGuiIO& io = ImGui::GetIO();
    if (io.BackendRendererUserData || !renderer) return false;
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    SDL_Texture* font = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STATIC, width, height);
    if (!font) return false;
    SDL_UpdateTexture(font, nullptr, pixels, width * 4);
    SDL_SetTextureBlendMode(font, SDL_BLENDMODE_BLEND);
    auto* d = new RendererData{renderer, font};
    io.BackendRendererUserData = d;
    io.BackendRendererName = "kestrix_sdl_renderer";
    // Draw commands may start anywhere in a list's vertices (lists over 64 K vertices).
    io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;
    io.Fonts->SetTexID(static_cast<ImTextureID>(font));
    return true;
}

void imguiSdlRendererShutdown() {
    RendererData* d = data();
    if (!d) return;
    ImGuiIO& io = ImGui::GetIO();
    if (d->font) SDL_DestroyTexture(d->font);
    io.Fonts->SetTexID(nullptr);
    io.BackendRendererUserData = nullptr;
    io.BackendRendererName = nullptr;
    io.BackendFlags &= ~ImGuiBackendFlags_RendererHasVtxOffset;
    delete d;
}

void imguiSdlRendererDraw(ImDrawData* drawData) {
    RendererData* d = data();
    if (!d || !drawData) return;
    if (drawData->DisplaySize.x <= 0 || drawData->DisplaySize.y <= 0) return;
    // ImGui works in window points; on a high-density display the renderer has
    // more pixels, so it is scaled for the lists and set back after them.
    float oldScaleX = 1, oldScaleY = 1;
    SDL_RenderGetScale(d->renderer, &oldScaleX, &oldScaleY);
    SDL_RenderSetScale(d->renderer, drawData->FramebufferScale.x, drawData->FramebufferScale.y);
    SDL_Rect oldClip;
    const bool hadClip = SDL_RenderIsClipEnabled(d->renderer);
    SDL_RenderGetClipRect(d->renderer, &oldClip);

    // One viewport per context: DisplayPos is the window's corner, (0, 0).
    for (int n = 0; n < drawData->CmdListsCount; ++n) {
        const ImDrawList* list = drawData->CmdLists[n];
        const ImDrawVert* vertices = list->VtxBuffer.Data;
        const ImDrawIdx* indices = list->IdxBuffer.Data;
        for (const ImDrawCmd& cmd : list->CmdBuffer) {
            if (cmd.UserCallback) {
                if (cmd.UserCallback != ImDrawCallback_ResetRenderState) cmd.UserCallback(list, &cmd);
                continue;
            }
            const ImVec4& c = cmd.ClipRect;
            if (c.z <= c.x || c.w <= c.y) continue;
            const SDL_Rect clip = {int(c.x), int(c.y), int(c.z - c.x + 0.5f), int(c.w - c.y + 0.5f)};
            SDL_RenderSetClipRect(d->renderer, &clip);
            const ImDrawVert* first = vertices + cmd.VtxOffset;
            // ImDrawVert is position, texture position and an RGBA colour
            // (bytes in that order), which SDL reads through strides.
            SDL_RenderGeometryRaw(d->renderer, static_cast<SDL_Texture*>(cmd.GetTexID()),
                                  reinterpret_cast<const float*>(&first->pos), int(sizeof(ImDrawVert)),
                                  reinterpret_cast<const SDL_Color*>(&first->col), int(sizeof(ImDrawVert)),
                                  reinterpret_cast<const float*>(&first->uv), int(sizeof(ImDrawVert)),
                                  list->VtxBuffer.Size - int(cmd.VtxOffset), indices + cmd.IdxOffset,
                                  int(cmd.ElemCount), int(sizeof(ImDrawIdx)));
        }
    }
    SDL_RenderSetClipRect(d->renderer, hadClip ? &oldClip : nullptr);
    SDL_RenderSetScale(d->renderer, oldScaleX, oldScaleY);
}
