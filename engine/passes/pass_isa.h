#pragma once

// The instruction sets that the passes which scan with byte_scan.h are built for, each unit once
// per set through Highway (hwy/foreach_target.h), the best one that the processor runs chosen on
// the first call: AVX2, thirty-two bytes at a time; SSSE3, sixteen, for the processors without
// AVX2 (the oldest of them since 2006, and the small cores sold without it since); and the
// baseline that every processor runs, sixteen bytes one after another where the compiler cannot
// be trusted with Highway's emulated vectors (HWY_SCALAR, on GCC before 12.3). Every unit that
// includes Highway includes this first, so that all of them build and export the same sets.
#if !defined(HWY_DISABLED_TARGETS)
#define HWY_DISABLED_TARGETS (~(HWY_AVX2 | HWY_SSSE3 | HWY_EMU128 | HWY_SCALAR))
#endif
