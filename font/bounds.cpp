// Bounds and flags of a text-read font.
