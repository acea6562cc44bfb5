#include "general/text.h"

#include "general/blit.h"
#include "general/hooks.h"
#include "general/view.h"
#include "platform/variant.h"

std::vector<std::unique_ptr<Font>> gFontTable;
uint16_t gTabStops[32] = {};

namespace {

ShutdownHook gFreeFontsHook;
const bool gFreeFontsRegistered = (addShutdownHook(gFreeFontsHook, freeFonts), true);

// The glyph drawn for codes beyond a font's cells.
constexpr uint32_t kMissingGlyph = 63;

Font* fontFor(uint32_t font) {
  CHECK(font >= 1 && font <= gFontTable.size());
  if (font < 1 || font > gFontTable.size()) return nullptr;
  return gFontTable[font - 1].get();
}

}  // namespace

uint32_t loadFont(const char* fileName, uint32_t glyphWidth, uint32_t glyphHeight, uint32_t) {
  PlainBitmap picture;
  gView.loadBmp(fileName, picture);
  auto font = std::make_unique<Font>();
  font->glyphWidth = glyphWidth;
  font->glyphHeight = glyphHeight;
  // A zero cell size would never finish cutting; such a font has no cells.
  CHECK(glyphWidth > 0 && glyphHeight > 0);
  if (glyphWidth > 0 && glyphHeight > 0) {
    for (uint32_t y = 0; y < picture.height(); y += glyphHeight)
      for (uint32_t x = 0; x < picture.width(); x += glyphWidth) {
        // Partial cells at the right and bottom edges read 0 outside.
        auto cell = std::make_unique<PlainBitmap>();
        cell->copyRegion(picture, int32_t(x), int32_t(y), glyphWidth, glyphHeight);
        font->glyphs.push_back(std::move(cell));
      }
  }
  gFontTable.push_back(std::move(font));
  return uint32_t(gFontTable.size());
}

uint32_t loadFont(const FixedIString& fileName, uint32_t glyphWidth, uint32_t glyphHeight, uint32_t count) {
  char name[FixedIString::kCapacity + 1];
  toCString(name, fileName);
  return loadFont(name, glyphWidth, glyphHeight, count);
}

uint32_t fontWidth(uint32_t font) {
  Font* f = fontFor(font);
  return f ? f->glyphWidth : 0;
}

uint32_t fontHeight(uint32_t font) {
  Font* f = fontFor(font);
  return f ? f->glyphHeight : 0;
}

void setTabStop(uint32_t index, uint16_t x) {
  CHECK(index < 32);
  if (index < 32) gTabStops[index] = x;
}

void freeFonts() {
  gFontTable.clear();
  gFontTable.shrink_to_fit();
}

namespace {

void drawGlyphs(Bitmap& target, uint32_t font, int32_t x, int32_t y, uint16_t colour, const uint16_t* text,
                size_t length, uint32_t blitMode, const Rect* clip) {
  Font* f = fontFor(font);
  if (!f) return;
  uint16_t textColour = colour, secondColour = 0;
  auto fromConsole = [&target](uint16_t q) {
    return target.rgb(float(q & 31) / 31.0f, float((q >> 5) & 31) / 31.0f, float((q >> 10) & 31) / 31.0f);
  };
  const uint32_t firstGlyph = variant::kOlder ? 11 : 15;
  for (size_t i = 0; i < length; ++i) {
    const uint16_t c = text[i];
    if (c >= firstGlyph) {
      BlitOptions options;
      options.mode = blitMode;
      options.key = 0;
      options.colour1 = textColour;
      options.colour2 = secondColour;
      if (clip) {
        options.clipped = true;
        options.clip = *clip;
      }
      const uint32_t cell = c < f->glyphs.size() ? c : kMissingGlyph;
      // A font with no cell 63 draws nothing for codes beyond its cells.
      if (cell < f->glyphs.size()) f->glyphs[cell]->blitBitmap(target, x, y, options);
      x += int32_t(f->glyphWidth);
      continue;
    }
    switch (c) {
      case 1:
        textColour = target.rgb(0, 0, 0);
        break;
      case 2:
        textColour = target.rgb(1, 0, 0);
        break;
      case 3:
        textColour = target.rgb(0, 1, 0);
        break;
      case 4:
        textColour = target.rgb(0, 0, 1);
        break;
      case 5:
        textColour = target.rgb(1, 0.5f, 0);
        break;
      case 6:
        textColour = target.rgb(1, 1, 0);
        break;
      case 7:
        textColour = target.rgb(1, 0, 1);
        break;
      case 8:
        textColour = target.rgb(1, 1, 1);
        break;
      case 9:
        for (uint16_t stop : gTabStops)
          if (int32_t(stop) > x) {
            x = stop;
            break;
          }
        break;
      case 10:
        if (variant::kOlder) textColour = colour;
        break;
      case 11:
        textColour = colour;
        break;
      case 12:
      case 14:
        // A colour code at the very end has no colour after it: ignored.
        if (i + 1 < length) {
          ++i;
          (c == 12 ? secondColour : textColour) = fromConsole(text[i]);
        }
        break;
      default:
        break;
    }
  }
}

}  // namespace

void drawText(Bitmap& target, uint32_t font, int32_t x, int32_t y, uint16_t colour, const uint16_t* text,
              size_t length, uint32_t blitMode) {
  drawGlyphs(target, font, x, y, colour, text, length, blitMode, nullptr);
}

void drawTextClipped(Bitmap& target, uint32_t font, int32_t x, int32_t y, uint16_t colour,
                     const FixedIString& text, uint32_t blitMode, const Rect& clip) {
  drawGlyphs(target, font, x, y, colour, text.data(), text.length(), blitMode, &clip);
}
