// AVX2: four doubles a vector, 16 registers: tiles of 3 x 3 vectors.

#include "core/irls_kernel_body.h"

namespace irls_kernels_avx2 {
constinit const IrlsKernels kKernels = MakeKernels<4, 3, 3>("avx2");
}
