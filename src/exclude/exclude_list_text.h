#pragma once

#include <string>
#include <string_view>

#include "engine/path_syntax.h"

namespace tidemark {

/// Cuts the exclude list text into entries at every line break (CR LF, or LF alone), keeping
/// each entry exactly as cut: no trimming, and blank entries stay (they never match).
ExcludeList ParseExcludeList(std::string_view text);

/// While the text contains `find` (exact, case-sensitive), replaces every non-overlapping
/// occurrence, scanning from the left, by `replacement`. An empty `find` changes nothing; a
/// replacement that is not shorter than `find` is applied in one pass only, so it always ends.
std::string ReplaceAll(std::string text, std::string_view find, std::string_view replacement);

/// The exclude list text as the editor shows and saves it: every run of line breaks becomes
/// one (empty lines vanish, a leading or trailing break keeps one), then spaces are removed at
/// the start of every line but the first and at the end of every line but the last. A line of
/// spaces becomes an empty line that stays. Tabs are not touched. The same result as ReplaceAll
/// of CR LF CR LF, then CR LF + space, then space + CR LF, each by CR LF, in one linear scan.
std::string CleanExcludeText(std::string_view text);

/// Makes every line break CR LF: an LF without a CR before it gets one.
std::string WithCrLfLineBreaks(std::string_view text);

}  // namespace tidemark
