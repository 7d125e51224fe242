#include "cli/suggest.h"

#include <algorithm>
#include <cctype>

namespace pigmora::cli {

namespace {

// Optimal string alignment distance: a swap of two neighbours counts as one edit, as typing
// mistakes like "raduis" are.
size_t editDistance(const std::string& a, const std::string& b) {
  const size_t n = a.size(), m = b.size();
  std::vector<std::vector<size_t>> d(n + 1, std::vector<size_t>(m + 1));
  for (size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (size_t j = 0; j <= m; ++j) d[0][j] = j;
  auto same = [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  };
  for (size_t i = 1; i <= n; ++i) {
    for (size_t j = 1; j <= m; ++j) {
      const size_t cost = same(a[i - 1], b[j - 1]) ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && same(a[i - 1], b[j - 2]) && same(a[i - 2], b[j - 1]))
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[n][m];
}

}  // namespace

std::string nearest(const std::string& word, const std::vector<std::string>& candidates) {
  std::string best;
  size_t bestDistance = 0;
  for (const std::string& c : candidates) {
    const size_t dist = editDistance(word, c);
    if (best.empty() || dist < bestDistance) {
      best = c;
      bestDistance = dist;
    }
  }
  // Near enough: at most a third of the longer word, and never more than three edits, so that
  // a short unrelated word is not offered.
  const size_t longer = std::max(word.size(), best.size());
  const size_t allowed = std::min<size_t>(3, std::max<size_t>(1, longer / 3));
  if (best.empty() || best == word || bestDistance > allowed) return {};
  return best;
}

std::string didYouMean(const std::string& word, const std::vector<std::string>& candidates) {
  const std::string n = nearest(word, candidates);
  return n.empty() ? std::string() : " (did you mean \"" + n + "\"?)";
}

}  // namespace pigmora::cli
