// AVX2: four doubles a vector, 16 registers: tiles of up to 4 x 3 vectors.
// The twelve sums, the broadcast factor and the product fill 15 of them;
// the row's vectors take the last one and are otherwise read from memory
// by the multiplication itself, so nothing is spilled (3 x 3 tiles left
// four registers idle and needed a third more tiles and loads per sum:
// 3 to 5 % slower passes on this path).

#include "core/irls_kernel_body.h"

namespace irls_kernels_avx2 {
constinit const IrlsKernels kKernels = MakeKernels<4, 4, 3, 3>("avx2");
}
