// The libFuzzer entry point that every fuzz target defines; replay_main.cpp calls it for each
// corpus file when the targets are built without libFuzzer.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
