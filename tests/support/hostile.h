// Generators of hostile input for the parsers' tests: fixed seeds, so a failure repeats.
#pragma once

#include <random>
#include <string>

using Rng = std::mt19937;

inline int pick(Rng& rng, int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

// Units that break parsers: line ends, separators, quotes, path marks, a BOM, surrogates, controls.
inline constexpr wchar_t NASTY[] = L"\r\n\t\0,=\\/:\".% \xFEFF\xD800\xDC00\x010A\x0D0A\x7F\x2028";

inline std::wstring noise(Rng& rng, int maxLength) {
    std::wstring s;
    for (int n = pick(rng, maxLength + 1); n > 0; --n)
        s += pick(rng, 3) ? wchar_t(L'a' + pick(rng, 26)) : NASTY[pick(rng, int(std::size(NASTY)) - 1)];
    return s;
}

inline const wchar_t* lineEnd(Rng& rng) { return pick(rng, 2) ? L"\r\n" : L"\r"; }
