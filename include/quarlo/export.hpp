#pragma once

// QUARLO_API marks what the shared library exports: its public classes and free functions. The
// library is built with every other name hidden, so that nothing internal becomes part of its
// interface. Programs see the same attribute, which only states where the definitions live.
#if defined(__GNUC__) || defined(__clang__)
#define QUARLO_API __attribute__((visibility("default")))
#else
#define QUARLO_API
#endif
