// The two code-page conversions, with UTF-8 standing in for the ANSI code
// page. They follow the Win32 calls: an output size of 0 measures (the
// buffer is not touched), 0 is failure (also for an empty text), a length of
// -1 means "up to and including the terminator". Invalid input never fails
// the call: it becomes U+FFFD in UTF-16 and '?' in 8-bit text.
#include <climits>

#include "platform/winapi.h"

namespace {

const char32_t kReplacement = 0xFFFD;

bool KnownCodePage(UINT codePage) {
  return codePage == CP_ACP || codePage == CP_UTF8;
}

// The number of elements up to and including the 0 terminator, or -1 when
// that count does not fit an int.
template <typename Unit>
int TerminatedLength(const Unit* s) {
  long long n = 0;
  while (s[n] != 0) {
    if (++n >= INT_MAX) return -1;
  }
  return static_cast<int>(n) + 1;
}

// Decodes one UTF-8 sequence at s[i..n); returns the code point, or
// kReplacement for a byte that starts no valid sequence, and advances i past
// what it consumed (at least one byte).
char32_t NextUtf8(const unsigned char* s, int n, int* i) {
  unsigned char b = s[*i];
  int need = 0;
  char32_t cp = 0, min = 0;
  if (b < 0x80) {
    ++*i;
    return b;
  } else if ((b & 0xE0) == 0xC0) {
    need = 1, cp = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    need = 2, cp = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    need = 3, cp = b & 0x07, min = 0x10000;
  } else {
    ++*i;
    return kReplacement;
  }
  int j = *i + 1;
  for (int k = 0; k < need; ++k, ++j) {
    if (j >= n || (s[j] & 0xC0) != 0x80) {
      *i = j > *i + 1 ? j : *i + 1;
      return kReplacement;
    }
    cp = (cp << 6) | (s[j] & 0x3F);
  }
  *i = j;
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
  return cp;
}

// Decodes one code point from UTF-16 at s[i..n); an unpaired surrogate is
// kReplacement.
char32_t NextUtf16(const WCHAR* s, int n, int* i) {
  char32_t u = s[(*i)++];
  if (u >= 0xD800 && u <= 0xDBFF && *i < n && s[*i] >= 0xDC00 && s[*i] <= 0xDFFF) {
    return 0x10000 + ((u - 0xD800) << 10) + (s[(*i)++] - 0xDC00);
  }
  if (u >= 0xD800 && u <= 0xDFFF) return kReplacement;
  return u;
}

int Utf8Length(char32_t cp) {
  return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

void PutUtf8(char32_t cp, char* out) {
  int len = Utf8Length(cp);
  static const unsigned char lead[] = {0, 0, 0xC0, 0xE0, 0xF0};
  for (int k = len - 1; k > 0; --k) {
    out[k] = static_cast<char>(0x80 | (cp & 0x3F));
    cp >>= 6;
  }
  out[0] = static_cast<char>(lead[len] | cp);
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLen, LPWSTR wide,
                        int wideLen) {
  (void)flags;
  if (!KnownCodePage(codePage) || multiByte == nullptr || multiByteLen == 0 || multiByteLen < -1 ||
      wideLen < 0 || (wide == nullptr && wideLen != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const unsigned char* s = reinterpret_cast<const unsigned char*>(multiByte);
  // With -1 the terminator is converted too.
  int n = multiByteLen == -1 ? TerminatedLength(s) : multiByteLen;
  if (n < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  bool measure = wideLen == 0;
  int units = 0;  // never above n: one byte gives at most one unit
  for (int i = 0; i < n;) {
    char32_t cp = NextUtf8(s, n, &i);
    int len = cp >= 0x10000 ? 2 : 1;
    if (!measure) {
      if (units + len > wideLen) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
      }
      if (len == 2) {
        wide[units] = static_cast<WCHAR>(0xD800 + ((cp - 0x10000) >> 10));
        wide[units + 1] = static_cast<WCHAR>(0xDC00 + ((cp - 0x10000) & 0x3FF));
      } else {
        wide[units] = static_cast<WCHAR>(cp);
      }
    }
    units += len;
  }
  return units;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLen, LPSTR multiByte,
                        int multiByteLen, LPCSTR defaultChar, BOOL* usedDefaultChar) {
  (void)flags;
  (void)defaultChar;
  if (!KnownCodePage(codePage) || wide == nullptr || wideLen == 0 || wideLen < -1 ||
      multiByteLen < 0 || (multiByte == nullptr && multiByteLen != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int n = wideLen == -1 ? TerminatedLength(wide) : wideLen;
  if (n < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  bool measure = multiByteLen == 0;
  BOOL usedDefault = FALSE;
  int bytes = 0;
  for (int i = 0; i < n;) {
    char32_t cp = NextUtf16(wide, n, &i);
    // An unpaired surrogate, not a U+FFFD that was in the text.
    if (cp == kReplacement && wide[i - 1] != 0xFFFD) {
      cp = '?';
      usedDefault = TRUE;
    }
    int len = Utf8Length(cp);
    if (bytes > INT_MAX - len) {  // one unit gives up to 3 bytes: the size may not fit
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    if (!measure) {
      if (bytes + len > multiByteLen) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
      }
      PutUtf8(cp, multiByte + bytes);
    }
    bytes += len;
  }
  if (usedDefaultChar != nullptr) *usedDefaultChar = usedDefault;
  return bytes;
}
