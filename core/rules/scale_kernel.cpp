#include "core/rules/scale_kernel.h"

namespace morvane {

std::size_t availableKernels(std::array<NamedKernel, 3> &kernels)
{
    std::size_t count = 0;
    kernels[count++] = {"plain", scalePlain};
    if (__builtin_cpu_supports("avx2"))
        kernels[count++] = {"AVX2", scaleAvx2};
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq"))
        kernels[count++] = {"AVX-512", scaleAvx512};
    return count;
}

ScaleKernel bestScaleKernel()
{
    static const ScaleKernel best = [] {
        std::array<NamedKernel, 3> kernels;
        return kernels[availableKernels(kernels) - 1].kernel;
    }();
    return best;
}

} // namespace morvane
