#include "debugger/ioregs.h"

#include "core/memory.h"
#include "general/hooks.h"

namespace {

// Text controls of the pane lines.
constexpr u16 kRed = 2, kGreen = 3, kWhite = 8;

struct IoTexts {
  static IString t(const char* english) { return IString::fromEnglish(english); }

  IString lcdcFlags[8] = {t("OAM/HBL"), {}, {}, t("BG0"), t("BG1"), t("BG2"), t("BG3"), t("OAM")};
  IString statFlags[6] = {t("VBL"), t("HBL"), t("LYC"), t("VBL IRQ"), t("HBL IRQ"), t("LYC IRQ")};
  IString bgLabels[4] = {t("[BG0      "), t("[BG1      "), t("[BG2      "), t("[BG3      ")};
  IString mosaicFlag = t("MOS");
  IString wrapFlag = t("TILE");
  IString transFlag = t("TRANS");
  IString textSizes[4] = {t("256x256"), t("512x256"), t("256x512"), t("512x512")};
  IString rotSizes[4] = {t("128x128"), t("256x256"), t("512x512"), t("1024x1024")};
  IString scrollLabels[8] = {t("[BG0 SCX  "), t("[BG0 SCY  "), t("[BG1 SCX  "), t("[BG1 SCY  "),
                             t("[BG2 SCX  "), t("[BG2 SCY  "), t("[BG3 SCX  "), t("[BG3 SCY  ")};
  IString refLabels[4] = {t("[BG2 X    "), t("[BG2 Y    "), t("[BG3 X    "), t("[BG3 Y    ")};
  IString blendLayers[6] = {t("B0"), t("B1"), t("B2"), t("B3"), t("SP"), t("BD")};
  IString blendModes[4] = {t("NO FX"), t("BLEND"), t("BRT+"), t("BRT-")};
  IString dmaSource[4] = {t("[DMA0 SRC "), t("[DMA1 SRC "), t("[DMA2 SRC "), t("[DMA3 SRC ")};
  IString dmaDest[4] = {t("[DMA0 DEST"), t("[DMA1 DEST"), t("[DMA2 DEST"), t("[DMA3 DEST")};
  IString dmaControl[4] = {t("[DMA0 CTRL"), t("[DMA1 CTRL"), t("[DMA2 CTRL"), t("[DMA3 CTRL")};
  IString sourceStep[4] = {t("S+"), t("S-"), t("S="), t("S=")};
  IString destStep[4] = {t("D+"), t("D-"), t("D="), t("D+")};
  IString dmaTiming[4] = {t("IMM"), t("VBL"), t("HBL"), t("IMM")};
  IString repeatFlag = t("RPT");
  IString timerCounter[4] = {t("[TMR0 CNT "), t("[TMR1 CNT "), t("[TMR2 CNT "), t("[TMR3 CNT ")};
  IString timerControl[4] = {t("[TMR0 CTRL"), t("[TMR1 CTRL"), t("[TMR2 CTRL"), t("[TMR3 CTRL")};
  IString timerRates[4] = {t("1/CYC"), t("64/CYC"), t("256/CYC"), t("1024/CYC")};
  IString irqFlag = t("IRQ");
  IString keys[10] = {t("A"),    t("B"),  t("SEL"),  t("START"), t("RIGHT"),
                      t("LEFT"), t("UP"), t("DOWN"), t("R"),     t("L")};
  IString interrupts[14] = {t("VB"),  t("HB"), t("LYC"), t("T0"), t("T1"), t("T2"),  t("T3"),
                            t("COM"), t("D0"), t("D1"),  t("D2"), t("D3"), t("KEY"), t("CART")};

  IString lcdc = t("[LCDC     "), mode = t("Mode="), page = t("Page="), sprites1d = t("1D sprites"),
          sprites2d = t("2D sprites"), lcdstat = t("[LCDSTAT  "), lyc = t("LYC="), scanline = t("[Scanline "),
          pri = t("PRI="), dat = t("DAT="), bits8 = t("8BIT"), bits4 = t("4BIT"), map = t("MAP="),
          size = t("SZ="), bg2Matrix = t("[BG2 TFORM"), bg3Matrix = t("[BG3 TFORM"), mosaic = t("[MOSAIC   "),
          bgH = t("BG H-RPT="), bgV = t("BG V-RPT="), oamH = t("OAM H-RPT="), oamV = t("OAM V-RPT="),
          bldmod = t("[BLDMOD   "), p0 = t("P0: "), p1 = t("P1: "), colev = t("[COLEV    "), a0 = t("A0="),
          a1 = t("A1="), coly = t("[COLY     "), count = t("CNT="), width32 = t("[32]"), width16 = t("[16]"),
          on = t("ON"), off = t("OFF"), cascade = t("CASC"), msec = t("mSEC"), keysLabel = t("[KEYS     "),
          ie = t("[IE       "), iflags = t("[IF       "), ime = t("[IME      "), unknown = t("???");
};

// Made on first use and given back at shut-down, before the allocation
// report, like the other texts kept for the whole run.
IoTexts* gIoTexts = nullptr;
ShutdownHook gIoTextsHook;

void releaseIoTexts() {
  delete gIoTexts;
  gIoTexts = nullptr;
}
const bool gIoTextsHookAdded = (addShutdownHook(gIoTextsHook, releaseIoTexts), true);

const IoTexts& texts() {
  if (!gIoTexts) gIoTexts = new IoTexts;
  return *gIoTexts;
}

template <std::size_t N>
struct Names {
  explicit Names(const IString (&table)[N]) {
    for (std::size_t i = 0; i < N; ++i) pointers[i] = table[i].length() ? &table[i] : nullptr;
  }
  const IString* pointers[N];
};

template <std::size_t N>
void flags(FixedIString& line, const IString (&table)[N], u32 value, u32 firstBit, u32 endBit) {
  const Names<N> names(table);
  appendFlagList(line, names.pointers, value, firstBit, endBit);
}

void flag(FixedIString& line, const IString& name, u32 value, u32 bit) {
  const IString* names[1] = {&name};
  appendFlagList(line, names, value, bit, bit << 1);
}

constexpr u32 kDmaSourceMask[4] = {0x07FFFFFF, 0x0FFFFFFF, 0x0FFFFFFF, 0x0FFFFFFF};
constexpr u32 kDmaDestMask[4] = {0x07FFFFFF, 0x07FFFFFF, 0x07FFFFFF, 0x0FFFFFFF};
constexpr u32 kDmaCountMask[4] = {0x7FFF, 0x7FFF, 0x7FFF, 0x1FFFF};
constexpr float kPrescaler[4] = {1, 64, 256, 1024};

// A blend coefficient: its five bits, then its value in sixteenths, which
// saturates at 1.
void coefficient(FixedIString& line, u32 x) {
  line.appendHex(x, 2);
  line.appendText(" (");
  line.appendFloat(x < 16 ? x / 16.0 : 1.0, 5);
  line.appendText(")");
}

}  // namespace

bool isDecodedIoRegister(u32 address) {
  if ((address >> 24) != 4 || (address & 0xFFFFFF) > kIoOffsetMask) return false;
  const u32 o = address & kIoOffsetMask;
  switch (o) {
    case 0x000:
    case 0x004:
    case 0x006:
    case 0x008:
    case 0x00A:
    case 0x00C:
    case 0x00E:
    case 0x020:
    case 0x028:
    case 0x02C:
    case 0x030:
    case 0x038:
    case 0x03C:
    case 0x04C:
    case 0x050:
    case 0x052:
    case 0x054:
    case 0x100:
    case 0x102:
    case 0x104:
    case 0x106:
    case 0x108:
    case 0x10A:
    case 0x10C:
    case 0x10E:
    case 0x130:
    case 0x200:
    case 0x202:
    case 0x208:
      return true;
    default:
      break;
  }
  if (o >= 0x010 && o <= 0x01E) return (o & 1) == 0;
  if (o >= 0x0B0 && o <= 0x0DC) return (o & 3) == 0;
  return false;
}

void appendFlagList(FixedIString& line, std::span<const IString* const> names, u32 value, u32 firstBit,
                    u32 endBit) {
  bool first = true;
  std::size_t index = 0;
  for (u32 bit = firstBit; bit != 0 && bit < endBit && index < names.size(); bit <<= 1, ++index) {
    const IString* name = names[index];
    if (!name) continue;
    if (!first) line.appendText("; ");
    first = false;
    line.appendChar16((value & bit) ? kGreen : kRed);
    line.appendString(*name);
    line.appendChar16(kWhite);
  }
}

u32 appendIoRegister(FixedIString& line, FixedIString* next, const GbaMemory& memory, u32 a,
                     u32 displayMode) {
  const IoTexts& t = texts();
  const u32 o = a & kIoOffsetMask;
  const u32 v = memory.peek16(a);
  auto text = [&](const IString& s) { line.appendString(s); };
  auto sep = [&] { line.appendText("; "); };
  auto half = [&](const IString& label) {
    text(label);
    line.appendHex(v, 4);
    line.appendText("    ] : ");
  };
  auto word = [&](const IString& label) {
    const u32 w = memory.peek32(a);
    text(label);
    line.appendHex(w, 8);
    line.appendText("] : ");
    return w;
  };
  auto onOff = [&](bool on) { text(on ? t.on : t.off); };

  if (o == 0x000) {
    half(t.lcdc);
    text(t.mode);
    line.appendHex(v & 7, 1);
    sep();
    if ((v & 7) > 3) {
      text(t.page);
      line.appendText((v & 0x10) ? "1; " : "0; ");
    }
    text((v & 0x40) ? t.sprites1d : t.sprites2d);
    sep();
    flags(line, t.lcdcFlags, v, 1u << 5, 1u << 13);
    return a + 2;
  }
  if (o == 0x004) {
    half(t.lcdstat);
    flags(line, t.statFlags, v, 1, 1u << 6);
    if (v & 0x20) {
      sep();
      text(t.lyc);
      line.appendHex(v >> 8, 8);
    }
    return a + 2;
  }
  if (o == 0x006) {
    half(t.scanline);
    line.appendHex(v, 4);
    return a + 2;
  }
  if (o >= 0x008 && o <= 0x00E) {
    const u32 n = (o - 8) / 2;
    const bool rotating = (n == 2 && (displayMode == 1 || displayMode == 2)) || (n == 3 && displayMode == 2);
    half(t.bgLabels[n]);
    text(t.pri);
    line.appendHex(v & 3, 1);
    sep();
    text(t.dat);
    line.appendHex(0x06000000 + ((v >> 2) & 3) * 0x4000, 7);
    sep();
    flag(line, t.mosaicFlag, v, 1u << 6);
    sep();
    text((v & 0x80) ? t.bits8 : t.bits4);
    sep();
    text(t.map);
    line.appendHex(0x06000000 + (v & 0x1F00) * 8, 7);
    sep();
    if (rotating) {
      flag(line, t.wrapFlag, v, 1u << 13);
      sep();
      text(t.size);
      text(t.rotSizes[v >> 14]);
    } else {
      flag(line, t.transFlag, ~v, 1u << 13);
      sep();
      text(t.size);
      text(t.textSizes[v >> 14]);
    }
    return a + 2;
  }
  if (o >= 0x010 && o <= 0x01E) {
    half(t.scrollLabels[(o - 0x10) / 2]);
    line.appendHex(v & 0x3FF, 3);
    return a + 2;
  }
  if (o == 0x020 || o == 0x030) {
    if (!next) return a;
    const i16 pa = i16(memory.peek16(a)), pb = i16(memory.peek16(a + 2));
    const i16 pc = i16(memory.peek16(a + 4)), pd = i16(memory.peek16(a + 6));
    // Glyphs 24-27 of the font are the brackets round the two matrix rows.
    auto row = [](FixedIString& out, i16 x, i16 y, u16 open, u16 close) {
      out.appendChar16(open);
      out.appendText(" ");
      out.appendHex(u16(x), 4);
      out.appendText("  ");
      out.appendHex(u16(y), 4);
      out.appendChar16(close);
      out.appendText("  ");
      out.appendChar16(open);
      out.appendText(" ");
      out.appendFloat(x / 256.0, 8);
      out.appendText("  ");
      out.appendFloat(y / 256.0, 8);
      out.appendChar16(close);
    };
    text(o == 0x020 ? t.bg2Matrix : t.bg3Matrix);
    line.appendText("        ] : ");
    row(line, pa, pb, 24, 25);
    next->clear();
    next->appendChar16(kWhite);
    for (int i = 0; i < 31; ++i) next->appendChar16(' ');
    row(*next, pc, pd, 26, 27);
    return a + 8;
  }
  if (o == 0x028 || o == 0x02C || o == 0x038 || o == 0x03C) {
    const u32 index = (o == 0x028) ? 0 : (o == 0x02C) ? 1 : (o == 0x038) ? 2 : 3;
    const u32 w = word(t.refLabels[index]);
    line.appendHex(w, 8);
    line.appendText(" = ");
    line.appendFloat(w / 256.0, 8);
    return a + 4;
  }
  if (o == 0x04C) {
    half(t.mosaic);
    text(t.bgH);
    line.appendHex(v & 15, 1);
    sep();
    text(t.bgV);
    line.appendHex((v >> 4) & 15, 1);
    sep();
    text(t.oamH);
    line.appendHex((v >> 8) & 15, 1);
    sep();
    text(t.oamV);
    line.appendHex(v >> 12, 1);
    return a + 2;
  }
  if (o == 0x050) {
    half(t.bldmod);
    text(t.p0);
    flags(line, t.blendLayers, v, 1, 1u << 6);
    sep();
    text(t.p1);
    flags(line, t.blendLayers, v, 1u << 8, 1u << 14);
    sep();
    text(t.blendModes[(v >> 6) & 3]);
    return a + 2;
  }
  if (o == 0x052) {
    half(t.colev);
    text(t.a0);
    coefficient(line, v & 31);
    sep();
    text(t.a1);
    coefficient(line, (v >> 8) & 31);
    return a + 2;
  }
  if (o == 0x054) {
    half(t.coly);
    coefficient(line, v & 31);
    return a + 2;
  }
  if (o >= 0x0B0 && o <= 0x0DC) {
    const u32 n = (o - 0xB0) / 12;
    const u32 kind = ((o - 0xB0) % 12) / 4;
    if (kind == 0) {
      line.appendHex(word(t.dmaSource[n]) & kDmaSourceMask[n], 8);
    } else if (kind == 1) {
      line.appendHex(word(t.dmaDest[n]) & kDmaDestMask[n], 8);
    } else {
      const u32 w = word(t.dmaControl[n]);
      text(t.count);
      line.appendHex(w & kDmaCountMask[n], 5);
      sep();
      text(t.sourceStep[(w >> 23) & 3]);
      sep();
      text(t.destStep[(w >> 21) & 3]);
      sep();
      text(t.dmaTiming[(w >> 28) & 3]);
      sep();
      flag(line, t.repeatFlag, w, 1u << 25);
      sep();
      text((w & (1u << 26)) ? t.width32 : t.width16);
      sep();
      onOff(w & 0x80000000u);
    }
    return a + 4;
  }
  if (o >= 0x100 && o <= 0x10E) {
    const u32 n = (o - 0x100) / 4;
    if ((o & 2) == 0) {
      half(t.timerCounter[n]);
      line.appendHex(v, 4);
      line.appendText(" (");
      const u32 control = memory.peek16(a + 2) & 0xFF;
      if (n == 0 || (control & 4) == 0) {
        // The console's clock runs at 2^24 Hz; the period is in milliseconds.
        const float ticks = float(0x10000 - v) * kPrescaler[control & 3];
        line.appendFloat(ticks * (1000.0 / 16777216.0), 8);
        line.appendText(" ");
        text(t.msec);
      } else {
        text(t.cascade);
      }
      line.appendText(")");
    } else {
      half(t.timerControl[n]);
      text(t.timerRates[v & 3]);
      sep();
      flag(line, t.irqFlag, v, 1u << 6);
      sep();
      onOff(v & 0x80);
    }
    return a + 2;
  }
  if (o == 0x130) {
    half(t.keysLabel);
    // A pressed key reads 0 and shows green.
    flags(line, t.keys, ~v, 1, 1u << 10);
    return a + 2;
  }
  if (o == 0x200 || o == 0x202) {
    half(o == 0x200 ? t.ie : t.iflags);
    flags(line, t.interrupts, v, 1, 1u << 14);
    return a + 2;
  }
  if (o == 0x208) {
    half(t.ime);
    onOff(v != 0);
    return a + 2;
  }
  // Not a decoded register: nothing shown, one halfword passed.
  return a + 2;
}
