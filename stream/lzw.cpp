#include "stream/lzw.h"

FontStream* pushLzwFilter(FontStream*) { return nullptr; }
