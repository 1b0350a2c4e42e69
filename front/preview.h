// --preview: the glyph sheet of the font file a run has just written (a FON file, or a TrueType
// font's strikes), read back from the file.
#pragma once

#include <string>
#include <vector>

#include "front/run.h"

// Reads the FON file (TrueType font, for a .ttf name) at `fonPath` and writes its glyph sheet to `pngPath`, every pixel enlarged
// `scale` times. Only a regular file is read back (`fonIsFile`): a device or pipe would give other
// bytes, or wait. A `pngPath` that names the FON file or one of the `inputs` (by another spelling
// than the command line's, which the parse refuses) cannot be created. Returns the exit status: 0,
// or 1 after reporting why there is no picture (a partly written one is removed; the FON file is
// left as it is).
int writePreview(const Program& program, const char* fonPath, bool fonIsFile, const char* pngPath, int scale,
                 const std::vector<std::string>& inputs);
