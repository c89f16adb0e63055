#pragma once

#include "contract/log_text.h"

namespace plugin {

// The texts the plug-in reports to the host; they live as long as the library is loaded.
inline constexpr const char* pluginName = contract::pluginName;
inline constexpr const char* pluginDescription =
    "Offers 2 ways to efficiently merge SDMs and also check the correlations between the "
    "predictors.";
inline constexpr const char* pluginVersion = "1.0";
inline constexpr const char* pluginAuthor = "<i>BR</i>";
inline constexpr const char* pluginHelpFile = "HelpFolder/index.html";
inline constexpr const char* pluginGuiScript = "Brindle.js";

}  // namespace plugin
