// Ink metrics and terminal-cell padding of a text-read font.
