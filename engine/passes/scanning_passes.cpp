#include "scanning_passes.h"

// (Not with clang, which knows no _Bool in C++ and so cannot read glibc 2.36's header.)
#if defined(SLIMTAG_AVX2_PASSES) && defined(__GLIBC__) && !defined(__clang__) && \
    __has_include(<sys/platform/x86.h>)
#include <sys/platform/x86.h>
#define SLIMTAG_ASK_THE_C_LIBRARY 1
#endif

namespace slimtag {

inline namespace baseline {
extern const ScanningPasses kScanningPasses;
}

#if defined(SLIMTAG_AVX2_PASSES)
inline namespace avx2 {
extern const ScanningPasses kScanningPasses;
}
#endif

const ScanningPasses& BaselineScanningPasses() {
  return baseline::kScanningPasses;
}

const ScanningPasses* Avx2ScanningPasses() {
#if defined(SLIMTAG_AVX2_PASSES)
#if defined(SLIMTAG_ASK_THE_C_LIBRARY)
  // The C library has asked the processor already. Asking again costs a trap into the hypervisor
  // per question on a virtual machine, a few hundred microseconds of every start.
  static const bool supported = CPU_FEATURE_ACTIVE(AVX2);
#else
  static const bool supported = __builtin_cpu_supports("avx2");
#endif
  if (supported) return &avx2::kScanningPasses;
#endif
  return nullptr;
}

const ScanningPasses& FastestScanningPasses() {
  const ScanningPasses* avx2 = Avx2ScanningPasses();
  return avx2 != nullptr ? *avx2 : BaselineScanningPasses();
}

}  // namespace slimtag
