#pragma once

#include <cstddef>
#include <string>

// Texts that stand in the image XOR-scrambled with one byte, and are unscrambled when used.
namespace win {

constexpr char kScrambleKey = 0x5A;

template <size_t N>
struct Hidden {
  char bytes[N - 1];
};

template <size_t N>
constexpr Hidden<N> Hide(const char (&plain)[N]) {
  Hidden<N> hidden{};
  for (size_t i = 0; i + 1 < N; ++i) hidden.bytes[i] = static_cast<char>(plain[i] ^ kScrambleKey);
  return hidden;
}

template <size_t N>
std::string Reveal(const Hidden<N>& hidden) {
  std::string plain(hidden.bytes, N - 1);
  for (char& c : plain) c = static_cast<char>(c ^ kScrambleKey);
  return plain;
}

template <size_t N>
std::wstring RevealWide(const Hidden<N>& hidden) {
  const std::string plain = Reveal(hidden);
  return std::wstring(plain.begin(), plain.end());
}

}  // namespace win
