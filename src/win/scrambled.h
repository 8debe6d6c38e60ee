#pragma once

#include <cstddef>
#include <string>

// Texts that stand in the image only scrambled, and are unscrambled when used. Free of
// <windows.h>, for the pure parts built natively for fuzzing.
namespace win {

// The key byte changes along the text and with its length, so that neither one byte nor a
// shared prefix of two texts gives the others away.
constexpr char ScrambleKey(size_t length, size_t index) {
  return static_cast<char>(0x5C + 0x3B * length + 0x1F * index + ((index * index) >> 1));
}

template <size_t N>
struct Hidden {
  char bytes[N - 1];
};

// Evaluated at compile time for a constexpr constant, so only the scrambled bytes reach the image.
template <size_t N>
constexpr Hidden<N> Hide(const char (&plain)[N]) {
  Hidden<N> hidden{};
  for (size_t i = 0; i + 1 < N; ++i) {
    hidden.bytes[i] = static_cast<char>(plain[i] ^ ScrambleKey(N - 1, i));
  }
  return hidden;
}

// Writes the N - 1 plain bytes to out, without a terminator.
template <size_t N>
void RevealInto(const Hidden<N>& hidden, char* out) {
  for (size_t i = 0; i + 1 < N; ++i) {
    out[i] = static_cast<char>(hidden.bytes[i] ^ ScrambleKey(N - 1, i));
  }
}

template <size_t N>
std::string Reveal(const Hidden<N>& hidden) {
  std::string plain(N - 1, '\0');
  RevealInto(hidden, &plain[0]);
  return plain;
}

template <size_t N>
std::wstring RevealWide(const Hidden<N>& hidden) {
  const std::string plain = Reveal(hidden);
  return std::wstring(plain.begin(), plain.end());
}

}  // namespace win
