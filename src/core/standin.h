#pragma once

// The BIOS that stands in when no image of the console's own is loaded
// (standin.s): the exception vectors, the interrupt dispatch and the
// software-interrupt functions.  Its first word is zero, as an empty BIOS
// area's is, so the processor's reset still starts at the cartridge.
extern const unsigned char kStandInBios[];
extern const unsigned kStandInBiosSize;
