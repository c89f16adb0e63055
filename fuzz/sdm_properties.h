#pragma once

#include <string>
#include <string_view>

// What must hold for any bytes handed to the SDM reader, checked the same way by the fuzz
// target and by the regression tests that replay its findings.

// Writes `bytes` as "input.sdm" into the existing folder `folder` and loads it. A refusal
// must be one of the reader's documented errors with its exact text. A matrix that loads must
// be well formed (N predictors of M values each), and, when it is small enough to be
// cheap, must survive a save and a strict reload (no repair needed): the same header values,
// colours and names, every value read back as exactly the float its six-decimal text means, and a
// second save giving the same bytes as the first (see the .cpp for the one layout exception). Small
// matrices are also appended to themselves, given or stripped of their constant (`withConstant`),
// z-transformed and reported, and must stay well formed. Returns "" when everything holds,
// else a description of the first violation. Throws nothing but std::bad_alloc; leaves its
// files in `folder`.
std::string checkSdmFile(std::string_view bytes, const std::string& folder, bool withConstant);
