// The run's TrueType stage: an output named "*.ttf" gets every input's font as one TrueType font
// (outlines from the first, a bitmap strike per input) instead of a FON file.
#pragma once

#include <string>
#include <vector>

#include "front/options.h"
#include "front/run.h"

// Whether `outputPath` names a TrueType output: it ends in ".ttf", in any letter case.
[[nodiscard]] bool isTrueTypeOutput(const std::string& outputPath);

// Reads every input, keeping all the fonts (and their property atoms) until the file is written,
// writes the TrueType font, reports what -v asks for and draws the --preview. The file is created
// only once the writer has made the whole font: a refused run leaves no file, and an existing one
// as it was. Returns the exit status.
int writeTrueTypeOutput(const Program& program, const Settings& settings, const std::vector<std::string>& inputs);
