// Marks what a shared library of this project publishes. Everything else is
// built hidden (-fvisibility=hidden), so only marked symbols are exported.
#pragma once

#if defined(_WIN32)
#if defined(TARVIK_COMPILE_LIBRARY)
#define TARVIK_EXPORT __declspec(dllexport)
#else
#define TARVIK_EXPORT __declspec(dllimport)
#endif
#else
#if defined(TARVIK_COMPILE_LIBRARY)
#define TARVIK_EXPORT __attribute__((visibility("default")))
#else
#define TARVIK_EXPORT
#endif
#endif
