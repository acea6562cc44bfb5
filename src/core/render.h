#pragma once
// State of the scanline renderer (the drawing itself is in Video, video.h).
//
// A line is drawn front to back: each pixel keeps at most two console
// colours, the topmost opaque one and the one under it, and is no longer
// looked at once both are known.  Blending happens when the line is written.

#include <cstdint>

#include "general/config.h"

constexpr unsigned kScreenWidth = 240;
constexpr unsigned kScreenHeight = 160;

// Per-pixel line buffers; what each pixel holds so far is kept beside them
// (PixelSlots, below), and a colour counts only where its slot is taken.
extern uint32_t gTopColour[kScreenWidth];     // topmost opaque colour (a free pixel shows the backdrop)
extern uint32_t gSecondColour[kScreenWidth];  // next opaque colour under the top one

// Layers the front end lets through, in DISPCNT's bit positions.
enum : uint32_t {
  kLayerBg0 = 0x100,
  kLayerObj = 0x1000,
  kAllLayers = 0x1F00,
};
extern uint32_t gLayerMask;

// The debugging grid: 0 none, 1 a red line every 16 pixels, 2 every 8.
extern ConfigOption<i32> gGridOption;

enum BackgroundType : uint32_t {
  kNoBackground = 0,
  kTextBackground = 1,
  kAffineBackground = 2,
  kPaletteBitmap = 3,
  kDirectColour = 4,
};
// By display mode (DISPCNT bits 0-2) and background number.
extern const uint8_t gBackgroundTypes[8][4];

struct BackgroundRecord {
  BackgroundRecord* next;  // in its priority list
  int16_t pa, pb, pc, pd;  // affine matrix, 8.8 fixed point
  uint32_t widthMask;
  uint32_t heightMask;
  uint32_t mapRowShift;  // affine: log2 of map tiles per row
  uint32_t mapBase;      // VRAM offsets
  uint32_t characterBase;
  uint32_t hscroll, vscroll;         // text
  int32_t latchedX, latchedY;        // affine reference as last loaded from the registers
  int32_t currentX, currentY;        // affine reference for the next line
  int32_t lineX, lineY;              // affine reference of the line being drawn
  uint32_t latchLine;                // line on which the reference was loaded
  uint32_t type;
  bool colours256;
  bool blend;
  bool affine;
  bool wrap;
};
extern BackgroundRecord gBackgrounds[4];
extern BackgroundRecord* gBackgroundLists[4];  // per priority, ascending background number

enum SpriteFlags : uint32_t {
  kSpriteActive = 2,    // drawn on the line or carried to the next one
  kSpriteUnlisted = 4,  // in no start-line list (hidden)
  kSpriteDouble = 8,
  kSprite16Colours = 64,
  kSpriteSemiTransparent = 128,
};

struct SpriteRecord {
  SpriteRecord* next;  // links in its start-line list
  SpriteRecord* previous;
  uint32_t number;
  uint32_t x;  // 0-511
  uint32_t y;  // 0-255
  uint32_t flags;
  uint32_t paletteOffset;  // palette bank x 16
  uint32_t priority;
  uint32_t sizeIndex;  // shape x 4 + size
  uint32_t displayWidth;
  uint32_t displayHeight;
  uint32_t matrix;  // affine parameter group 0-31, or 128 + hflip + 2 x vflip
  uint32_t tile;
  uint32_t characters;  // byte offset of its character data in sprite VRAM
};
extern SpriteRecord gSprites[128];
extern const uint8_t gSpriteWidths[16];
extern const uint8_t gSpriteHeights[16];
extern SpriteRecord* gSpriteStartLists[4][kScreenHeight];
extern SpriteRecord* gActiveSprites[4][2][128];  // per priority and line parity
extern uint32_t gActiveSpriteCount[4][2];
extern uint8_t gOamShadow[1024];
extern const uint8_t* gOamEntries[128];

struct SpriteMatrix {
  int16_t pa, pb, pc, pd;
};
extern const SpriteMatrix gFlipMatrices[4];

// Pixel position in a sprite's character data (64 a tile) by (x, y) of its
// natural size, row-major.  Mapping 0: 2-D, 256 colours (16 tiles of 64
// pixels a row); 1: 1-D; 2: 2-D, 16 colours (32 tiles of 32 bytes a row).
enum SpriteMapping : unsigned { kMapping2d256 = 0, kMapping1d = 1, kMapping2d16 = 2 };
extern const uint16_t* gSpriteOffsetTables[3][16];

// What a pixel holds while its line is drawn, one byte a pixel: nothing yet;
// a top colour that blends, with the one under it still wanted; a top colour
// that does not blend; a top colour and the one under it.  The last two need
// nothing more, so eight pixels are tested at once.
enum PixelSlots : uint8_t { kSlotsFree = 0, kTopBlends = 1, kTopOnly = 2, kTopAndSecond = 3 };
