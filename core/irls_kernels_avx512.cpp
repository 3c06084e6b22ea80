// AVX-512VL at 256 bits: four doubles a vector but 32 registers, so tiles of up to
// 6 x 4 vectors; on processors that split 512-bit operations in two this is as
// fast as full width and wastes fewer padding columns.

#include "core/irls_kernel_body.h"

namespace irls_kernels_avx512 {
constinit const IrlsKernels kKernels = MakeKernels<4, 6, 4, 4>("avx512");
}
