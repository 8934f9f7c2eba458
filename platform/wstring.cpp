#include "platform/wstring.h"

namespace {

constexpr WCHAR FoldAscii(WCHAR c) {
  return (c >= u'A' && c <= u'Z') ? WCHAR(c - u'A' + u'a') : c;
}

}  // namespace

std::size_t wcslen(const WCHAR* s) {
  std::size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

std::size_t wcsnlen(const WCHAR* s, std::size_t max) {
  std::size_t n = 0;
  while (n < max && s[n] != 0) ++n;
  return n;
}

WCHAR* wcscpy(WCHAR* dst, const WCHAR* src) {
  std::size_t i = 0;
  do {
    dst[i] = src[i];
  } while (src[i++] != 0);
  return dst;
}

WCHAR* wcscat(WCHAR* dst, const WCHAR* src) {
  wcscpy(dst + wcslen(dst), src);
  return dst;
}

WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, std::size_t count) {
  std::size_t i = 0;
  for (; i < count && src[i] != 0; ++i) dst[i] = src[i];
  for (; i < count; ++i) dst[i] = 0;
  return dst;
}

int wcscmp(const WCHAR* a, const WCHAR* b) {
  std::size_t i = 0;
  while (a[i] != 0 && a[i] == b[i]) ++i;
  return int(a[i]) - int(b[i]);
}

int _wcsicmp(const WCHAR* a, const WCHAR* b) {
  std::size_t i = 0;
  while (a[i] != 0 && FoldAscii(a[i]) == FoldAscii(b[i])) ++i;
  return int(FoldAscii(a[i])) - int(FoldAscii(b[i]));
}

std::size_t WideCopyBounded(WCHAR* dst, std::size_t dstChars, std::u16string_view src) {
  if (dst == nullptr || dstChars == 0) return 0;
  std::size_t n = 0;
  while (n + 1 < dstChars && n < src.size() && src[n] != 0) {
    dst[n] = src[n];
    ++n;
  }
  dst[n] = 0;
  return n;
}

std::size_t WideAppendBounded(WCHAR* dst, std::size_t dstChars, std::u16string_view src) {
  if (dst == nullptr || dstChars == 0) return 0;
  const std::size_t used = wcsnlen(dst, dstChars);
  if (used == dstChars) {
    dst[dstChars - 1] = 0;
    return 0;
  }
  return WideCopyBounded(dst + used, dstChars - used, src);
}
