#include "general/blit.h"

#include <algorithm>

#include "platform/variant.h"

namespace {

// The part of a w x h rectangle at (x, y) that lies inside a limit x limit
// area, as offsets into the rectangle.
struct Span {
  uint32_t first = 0, end = 0;
};

// The same inside the band [low, high) of the destination.
Span clipSpan(int64_t at, uint32_t length, int64_t low, int64_t high) {
  int64_t first = std::max<int64_t>(0, low - at);
  int64_t end = std::min<int64_t>(length, high - at);
  if (end <= first) return {};
  return {uint32_t(first), uint32_t(end)};
}

}  // namespace

void PlainBitmap::blitBitmap(Bitmap& d, int32_t x, int32_t y, const BlitOptions& o) {
  Bitmap* b = o.background.get();
  d.lock(2);
  lock(1);
  if (b) b->lock(1);

  const uint32_t w = width(), h = height();
  // The part of the destination that may be written.
  int64_t left = 0, top = 0, right = d.width(), bottom = d.height();
  if (o.clipped) {
    left = std::max<int64_t>(left, o.clip.x);
    top = std::max<int64_t>(top, o.clip.y);
    right = std::min<int64_t>(right, int64_t(o.clip.x) + o.clip.w);
    bottom = std::min<int64_t>(bottom, int64_t(o.clip.y) + o.clip.h);
  }
  // Full modes: the source rectangle clipped to the destination (and, when
  // a background is read at the source's coordinates, to the background).
  Span xs = clipSpan(x, w, left, right), ys = clipSpan(y, h, top, bottom);
  auto clipToBackground = [&] {
    xs.end = std::min(xs.end, b->width());
    ys.end = std::min(ys.end, b->height());
  };
  auto destRow = [&](uint32_t sy) { return d.rowData(uint32_t(y + int64_t(sy))); };
  const uint32_t quarterMask = d.rgb(0.25f, 0.25f, 0.25f) & 0xFFFF;
  const uint32_t c1 = 3 * quarterOf(o.colour1, quarterMask), c2 = 3 * quarterOf(o.colour2, quarterMask);

  // Keyed modes: walk the run encoding, calling put(destination pixel,
  // encoded pixel, cx, cy) for each opaque pixel inside the destination.
  auto walk = [&](auto put) {
    ensureRunEncoding(o.key);
    const RunEncoding& e = *runCache_;
    int64_t cx = x, cy = y;
    size_t i = 0;
    for (const PixelRun& run : e.runs) {
      cx += run.dx;
      cy += run.dy;
      if (run.count == 0) continue;
      if (cy >= top && cy < bottom) {
        Span s = clipSpan(cx, run.count, left, right);
        uint16_t* row = d.rowData(uint32_t(cy));
        for (uint32_t n = s.first; n < s.end; ++n) put(row[cx + n], e.pixels[i + n], cx + n, cy);
      }
      cx += run.count;
      i += run.count;
    }
  };
  // Keyed blends read the background at the destination's coordinates.
  auto under = [&](uint16_t& dp, int64_t cx, int64_t cy, bool* inside) -> uint32_t {
    if (!b) return dp;
    *inside = b->contains(cx, cy);
    return *inside ? b->rowData(uint32_t(cy))[cx] : 0;
  };

  switch (o.mode) {
    case 0:
      for (uint32_t sy = ys.first; sy < ys.end; ++sy)
        std::copy(rows_[sy] + xs.first, rows_[sy] + xs.end, destRow(sy) + (x + int64_t(xs.first)));
      break;
    case 1:
      walk([](uint16_t& dp, uint16_t sp, int64_t, int64_t) { dp = sp; });
      break;
    case 2:
      if (b) clipToBackground();
      for (uint32_t sy = ys.first; sy < ys.end; ++sy) {
        uint16_t* dr = destRow(sy);
        const uint16_t* br = b ? b->rowData(sy) : nullptr;
        for (uint32_t sx = xs.first; sx < xs.end; ++sx) {
          uint16_t& dp = dr[x + int64_t(sx)];
          uint32_t bg = br ? br[sx] : dp;
          dp = uint16_t(quarterOf(bg, quarterMask) + 3 * quarterOf(rows_[sy][sx], quarterMask));
        }
      }
      break;
    case 3:
      walk([&](uint16_t& dp, uint16_t sp, int64_t cx, int64_t cy) {
        bool inside = true;
        uint32_t bg = under(dp, cx, cy, &inside);
        if (inside) dp = uint16_t(quarterOf(bg, quarterMask) + 3 * quarterOf(sp, quarterMask));
      });
      break;
    case 4: {
      // The older program's glyphs have no second colour: key pixels are 0.
      const uint16_t keyColour = variant::kOlder ? 0 : uint16_t(o.colour2);
      for (uint32_t sy = ys.first; sy < ys.end; ++sy) {
        uint16_t* dr = destRow(sy);
        for (uint32_t sx = xs.first; sx < xs.end; ++sx)
          dr[x + int64_t(sx)] = rows_[sy][sx] == o.key ? keyColour : uint16_t(o.colour1);
      }
      break;
    }
    case 5:
      walk([&](uint16_t& dp, uint16_t, int64_t, int64_t) { dp = uint16_t(o.colour1); });
      break;
    case 6:
      if (b) {
        clipToBackground();
        const uint32_t keyTint = variant::kOlder ? 0 : c2;
        for (uint32_t sy = ys.first; sy < ys.end; ++sy) {
          uint16_t* dr = destRow(sy);
          const uint16_t* br = b->rowData(sy);
          for (uint32_t sx = xs.first; sx < xs.end; ++sx)
            dr[x + int64_t(sx)] =
                uint16_t(quarterOf(br[sx], quarterMask) + (rows_[sy][sx] == o.key ? keyTint : c1));
        }
      } else {
        for (uint32_t sy = ys.first; sy < ys.end; ++sy) {
          uint16_t* dr = destRow(sy);
          for (uint32_t sx = xs.first; sx < xs.end; ++sx) {
            uint16_t& dp = dr[x + int64_t(sx)];
            dp = uint16_t(quarterOf(dp, quarterMask) + c1);
          }
        }
      }
      break;
    case 7:
      walk([&](uint16_t& dp, uint16_t, int64_t cx, int64_t cy) {
        bool inside = true;
        uint32_t bg = under(dp, cx, cy, &inside);
        if (inside) dp = uint16_t(quarterOf(bg, quarterMask) + c1);
      });
      break;
    default:
      break;
  }

  if (b) b->unlock();
  unlock();
  d.unlock();
}
