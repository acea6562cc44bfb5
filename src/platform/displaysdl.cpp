// The SDL2 display.  The view draws into two page buffers of our own; a
// present copies the drawing page into a streaming texture and renders it
// with the mode size as the renderer's logical size, so any mode fills the
// window (or the desktop, full screen) at the largest whole-aspect scale.

#include <SDL.h>

#include "platform/display.h"

namespace platform {
namespace {

class SdlDisplay : public DisplayBackend {
 public:
  explicit SdlDisplay(SDL_Window* window) : window_(window), givenWindow_(window != nullptr) {
    SDL_AddEventWatch(&SdlDisplay::watch, this);
  }
  ~SdlDisplay() override {
    SDL_DelEventWatch(&SdlDisplay::watch, this);
    // After SDL has shut down its objects are gone already.
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    close();
    if (ownWindow_ && window_) SDL_DestroyWindow(window_);
  }

  const char* open(uint32_t width, uint32_t height, bool fullScreen) override {
    close();
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return "SDL_Init FAILED";
    if (!givenWindow_) {
      if (SDL_Window* main = sdlWindow()) {
        // The main window takes the mode's form; mouse positions come in
        // the mode's pixels.
        if (ownWindow_ && window_) SDL_DestroyWindow(window_);
        ownWindow_ = false;
        window_ = main;
        if (!setWindowMode(fullScreen, int(width), int(height))) return "SetDisplayMode FAILED";
        setLogicalSize(int(width), int(height));
      } else if (!window_) {
        // No program window (a test drives the display on its own).
        window_ = SDL_CreateWindow(variantTitle(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                   int(width), int(height), 0);
        if (!window_) return "SDL_CreateWindow FAILED";
        ownWindow_ = true;
      }
    }
    fullScreen_ = fullScreen;
    buffers_.size(width, height);
    if (!createRenderer()) return "CreateSurface FAILED";
    lost_ = false;
    return "";
  }

  void close() override {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    texture_ = nullptr;
    renderer_ = nullptr;
  }

  PixelMasks masks() const override { return kMasks565; }

  LockStatus lock(LockedPage* page) override {
    *page = LockedPage{};
    if (!renderer_ && !lost_) return LockStatus::kFailed;
    if (lost_) return LockStatus::kLost;
    page->pixels = buffers_.drawing();
    page->pitchPixels = buffers_.width();
    page->width = buffers_.width();
    page->height = buffers_.height();
    return LockStatus::kOk;
  }
  void unlock() override {}

  bool restore() override {
    close();
    if (!createRenderer()) return false;
    lost_ = false;
    return true;
  }

  void present(bool show) override {
    if (show && renderer_ && !lost_) show_(buffers_.drawing());
    buffers_.toggle();
  }

  void repaint() override {
    if (renderer_ && !lost_ && gWindowActive) show_(buffers_.shown());
  }

 private:
  static const char* variantTitle() { return "Vandrel"; }
  // Render resets arrive as events; the watch sees them as they are queued.
  static int watch(void* self, SDL_Event* event) {
    if (event->type == SDL_RENDER_TARGETS_RESET || event->type == SDL_RENDER_DEVICE_RESET)
      static_cast<SdlDisplay*>(self)->lost_ = true;
    return 0;
  }

  bool createRenderer() {
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) return false;
    // Full screen, the display's refresh paces the program; in a window the
    // present only waits for the copy.
    SDL_RenderSetVSync(renderer_, fullScreen_ ? 1 : 0);
    // Whole pixels: the picture is pixel art and must not be smoothed.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_RenderSetLogicalSize(renderer_, int(buffers_.width()), int(buffers_.height()));
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                 int(buffers_.width()), int(buffers_.height()));
    if (!texture_) {
      SDL_DestroyRenderer(renderer_);
      renderer_ = nullptr;
      return false;
    }
    return true;
  }

  void show_(const uint16_t* pixels) {
    // A failing upload or copy means the device went away: the next lock
    // reports a lost surface and the view restores it.
    if (SDL_UpdateTexture(texture_, nullptr, pixels, int(buffers_.width() * 2)) != 0 ||
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255) != 0 || SDL_RenderClear(renderer_) != 0 ||
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr) != 0) {
      lost_ = true;
      return;
    }
    SDL_RenderPresent(renderer_);
  }

  SDL_Window* window_;
  bool givenWindow_;
  bool ownWindow_ = false;
  bool fullScreen_ = false;
  bool lost_ = false;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  PagedBuffers buffers_;
};

}  // namespace

std::unique_ptr<DisplayBackend> makeSdlDisplay(SDL_Window* window) {
  return std::make_unique<SdlDisplay>(window);
}

}  // namespace platform
