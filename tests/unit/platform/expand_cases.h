// ExpandEnvironmentStringsW results measured under Wine, shared by the in-memory shell's tests
// and the Win32 shell's tests. Variables: QA=1, SystemRoot=C:\Windows.
#pragma once

namespace qv::test {

struct EXPAND_CASE {
  const wchar_t* text;
  const wchar_t* expanded;
};

inline constexpr EXPAND_CASE kExpandCases[] = {
    {L"%QA%", L"1"},
    {L"%qa%x", L"1x"},
    {L"%SYSTEMROOT%\\system32", L"C:\\Windows\\system32"},
    {L"%QVUNKNOWN%", L"%QVUNKNOWN%"},
    {L"%QVUNKNOWN%QA%", L"%QVUNKNOWN%QA%"},  // the scan goes on after the unknown name
    {L"50%", L"50%"},
    {L"%%", L"%%"},
    {L"a%QA", L"a%QA"},
    {L"%QA%%QA%", L"11"},
    {L"%", L"%"},
    {L"%%QA%", L"%%QA%"},
    {L"", L""},
};

}  // namespace qv::test
