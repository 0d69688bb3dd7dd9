#include "scanning_passes.h"

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
  static const bool supported = __builtin_cpu_supports("avx2");
  if (supported) return &avx2::kScanningPasses;
#endif
  return nullptr;
}

const ScanningPasses& FastestScanningPasses() {
  const ScanningPasses* avx2 = Avx2ScanningPasses();
  return avx2 != nullptr ? *avx2 : BaselineScanningPasses();
}

}  // namespace slimtag
