// The IBM PC's graphic characters at the control positions of the OEM code pages: what the console,
// the OEM fonts of Windows and DOS programs draw at bytes 1 to 31 and 127. No codec carries them
// (the codecs decode these bytes as the control characters), so the 32 code points are typed here;
// a test holds each against its Unicode name.
#include "font/code_page.h"

#include <array>

namespace {
const std::array<std::uint16_t, 32> graphics = {{
    NoCharacter,                                     // 0: nothing
    0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660,  // 1-6: faces, hearts, diamonds, clubs, spades
    0x2022, 0x25D8, 0x25CB, 0x25D9,                  // 7-10: bullet, inverse bullet, circles
    0x2642, 0x2640, 0x266A, 0x266B, 0x263C,          // 11-15: male, female, notes, sun
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7,  // 16-21: pointers, arrow, !!, pilcrow, section
    0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190,  // 22-27: rectangle, arrows
    0x221F, 0x2194, 0x25B2, 0x25BC,                  // 28-31: right angle, arrow, triangles
}};
constexpr std::uint16_t House = 0x2302;  // 127
}  // namespace

std::uint16_t oemGraphicCharacter(int position) {
    if (position == 127) return House;
    if (position < 0 || position >= static_cast<int>(graphics.size())) return NoCharacter;
    return graphics[static_cast<std::size_t>(position)];
}
