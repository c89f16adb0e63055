#pragma once

// How every message of the plug-in's log begins: a line feed, the plug-in's display name and
// ">  " ("\nBrindle>  Saved out/run1.sdm").
namespace contract {

inline constexpr char pluginName[] = "Brindle";
inline constexpr char logPrefix[] = "\nBrindle>  ";

}  // namespace contract
