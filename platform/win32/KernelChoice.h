#pragma once
// Choosing among kernels that give the same bytes by what runs fastest on the CPU at
// hand. Whether wider vectors pay depends on the core, not on the instruction set it
// reports: some cores run 256-bit operations as two 128-bit halves, and there a kernel
// that moves data across the halves loses to a narrower one.
#include <functional>

// Whether the CPU runs 256-bit operations as two 128-bit halves (AMD's cores up to the
// first generation of the 17h family, and the Hygon cores built on it).
bool SplitsWideVectors();

// Times run(0) .. run(count - 1) in turns, rounds times each, and gives the index
// whose best time was lowest (the lowest index among equals). run(i) should take
// some microseconds: long enough to time, short enough for a first use.
int FastestKernel(int count, const std::function<void(int)>& run, int rounds = 7);

// Lets the JPEG library keep to its 128-bit kernels on CPUs that split wider ones:
// they give the same bytes, and its 256-bit ones move data across the halves. Must
// run before the library's first use in the process (it reads the choice once).
void ChooseJpegLibraryKernels();
