#pragma once

// The passes' namespace within slimtag, named for the instruction set that they are built for.
//
// On x86-64 the passes that scan lines with byte_scan.h are built twice: for every processor, in
// slimtag::baseline, and for processors with AVX2, in slimtag::avx2, where the scans read
// thirty-two bytes at a time (wide/). Each build of a unit is its own code under its own names, so
// nothing built for AVX2 can stand in for code that older processors run. The line pipeline picks
// one set when it starts (scanning_passes.h).
#if !defined(SLIMTAG_PASS_ISA)
#define SLIMTAG_PASS_ISA baseline
#endif
