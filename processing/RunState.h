#pragma once

#include "processing/TWTSEntry.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {

// One member the run rewrites. A slot whose Present flag is false is never read.
struct MapFileSlot {
    std::string Data;
    bool Present = false;
};

inline constexpr std::size_t kMapFileCount = 8;

// The members the run rewrites, in the order every phase visits them. The script is read
// from "Scripts\war3map.j" when the map has no "war3map.j"; it keeps the name "war3map.j"
// for the inliner's rules and log lines.
inline constexpr std::array<std::string_view, kMapFileCount> kMapFileNames = {
    "war3map.j",   "war3map.w3a", "war3map.w3h", "war3map.w3i",
    "war3map.w3q", "war3map.w3t", "war3map.w3u", "war3mapSkin.txt"};

inline constexpr std::string_view kStringTableName = "war3map.wts";
inline constexpr std::string_view kScriptName = "war3map.j";
inline constexpr std::string_view kScriptInFolderName = "Scripts\\war3map.j";

// Everything a run works on. It survives from run to run; each run replaces what the
// previous one left.
struct RunState {
    std::string SourcePath;
    std::string TargetPath;
    std::string StringTableData;
    std::array<MapFileSlot, kMapFileCount> MapFiles;
    bool ScriptInScriptsFolder = false;
    LineList StringTableLines;
    std::vector<TWTSEntry> Entries;
};

} // namespace parlune
