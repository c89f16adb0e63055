#pragma once

// The processor's rate for separate single-precision multiplies and adds on one core, in
// floating-point operations per second: independent chains of vector multiplies and vector adds,
// AVX2 (8 lanes) when the processor has it, else SSE (4 lanes). Takes about `seconds`.
double peakMultiplyAddRate(double seconds);

// "avx2" or "sse": the vector width peakMultiplyAddRate measures.
const char* peakRateUnit();
