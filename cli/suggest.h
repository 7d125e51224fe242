// "Did you mean": the known word nearest to a misspelt one.
#pragma once

#include <string>
#include <vector>

namespace pigmora::cli {

// The candidate closest to `word` by edits (insertions, deletions, substitutions and swaps of
// neighbours, ignoring case), when it is near enough to be what was meant; empty otherwise.
std::string nearest(const std::string& word, const std::vector<std::string>& candidates);

// " (did you mean \"x\"?)" for the nearest candidate, or nothing.
std::string didYouMean(const std::string& word, const std::vector<std::string>& candidates);

}  // namespace pigmora::cli
