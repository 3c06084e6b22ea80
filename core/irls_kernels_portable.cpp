// Any processor: two doubles a vector (SSE2 on x86-64), 16 registers.

#include "core/irls_kernel_body.h"

namespace irls_kernels_portable {
constinit const IrlsKernels kKernels = MakeKernels<2, 4, 2, 4>("portable");
}
