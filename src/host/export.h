#pragma once

// Marks what the host may look up in the plug-in library. Everything else stays hidden.
#if defined(_WIN32)
#if defined(BRINDLE_BUILDING_LIBRARY)
#define BRINDLE_EXPORT __declspec(dllexport)
#else
#define BRINDLE_EXPORT __declspec(dllimport)
#endif
#else
#define BRINDLE_EXPORT __attribute__((visibility("default")))
#endif
