// The run's TrueType stage: an output named "*.ttf" gets every input's font as one TrueType font
// (outlines from the first, a bitmap strike per input) instead of a FON file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "front/options.h"
#include "front/run.h"

// Whether `outputPath` names a TrueType output: it ends in ".ttf", in any letter case.
[[nodiscard]] bool isTrueTypeOutput(const std::string& outputPath);

// The run's writer for a .ttf output. It keeps every font it is handed (and so their property
// atoms) until the file is written; it makes the whole font in memory before the file is created,
// so a refused run leaves no file, and an existing one as it was.
std::unique_ptr<FontOutput> makeTrueTypeOutput(const Program& program, const Settings& settings,
                                               const std::vector<std::string>& inputs);
