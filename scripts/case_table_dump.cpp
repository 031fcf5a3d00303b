// Writes casemap.txt: every BMP unit whose CharUpperBuffW or CharLowerBuffW differs from it, as
// "unit upper lower" in hex. Run by scripts/gen-case-table under Wine.
#include <windows.h>
#include <cstdio>
int wmain() {
  FILE* f = _wfopen(L"casemap.txt", L"w");
  for (unsigned c = 1; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    wchar_t u = (wchar_t)c, l = (wchar_t)c;
    CharUpperBuffW(&u, 1);
    CharLowerBuffW(&l, 1);
    if (u != (wchar_t)c || l != (wchar_t)c) fprintf(f, "%04x %04x %04x\n", c, (unsigned)u, (unsigned)l);
  }
  fclose(f);
  return 0;
}
