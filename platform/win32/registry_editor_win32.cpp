#include "platform/win32/registry_editor_win32.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "platform/registry.h"
#include "base/unique_handle.h"
#include "base/utf16.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/wine_detect.h"

namespace qv {
namespace {

constexpr std::wstring_view kHeaderVersion5 = L"Windows Registry Editor Version 5.00";
constexpr std::wstring_view kHeaderVersion4 = L"REGEDIT4";

using CKernelHandle = CUniqueHandle<CWin32HandleTraits>;
using CFileHandle = CUniqueHandle<CWin32FileTraits>;
using CHkey = CUniqueHandle<CWin32KeyTraits>;

// COM for the shell call, undone only when this thread's call set it up.
class CComScope {
 public:
  CComScope()
      : m_initialized(SUCCEEDED(
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~CComScope() {
    if (m_initialized) CoUninitialize();
  }
  CComScope(const CComScope&) = delete;
  CComScope& operator=(const CComScope&) = delete;

 private:
  bool m_initialized;
};

std::wstring Substitute(std::wstring_view format, std::wstring_view path) {
  std::wstring out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == L'%' && i + 1 < format.size() && format[i + 1] == L's') {
      out += path;
      ++i;
    } else {
      out.push_back(format[i]);
    }
  }
  return out;
}

// Starts the registry editor with the parameters and waits for it to end.
ErrorCode RunRegistryEditor(const std::wstring& parameters) {
  CComScope com;
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = nullptr;
  info.lpFile = kRegistryEditorProgram;
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? static_cast<ErrorCode>(error) : ERROR_FILE_NOT_FOUND;
  }
  CKernelHandle process(info.hProcess);
  if (!process.valid()) return ERROR_INVALID_HANDLE;  // no process to wait for
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) {
    return static_cast<ErrorCode>(GetLastError());
  }
  return kErrorSuccess;
}

ErrorCode ReadWholeFile(std::wstring_view path, std::string* bytes) {
  const std::wstring name(path);
  CFileHandle file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return static_cast<ErrorCode>(GetLastError());
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return static_cast<ErrorCode>(GetLastError());
  if (size.QuadPart > 0x7FFFFFFF) return ERROR_NOT_ENOUGH_MEMORY;
  bytes->assign(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes->empty() &&
      !ReadFile(file.get(), bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr)) {
    return static_cast<ErrorCode>(GetLastError());
  }
  bytes->resize(read);
  return kErrorSuccess;
}

// The file's text: UTF-16LE after a byte-order mark, otherwise the system code page.
std::wstring DecodeRegFile(const std::string& bytes, bool* unicode) {
  *unicode = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
             static_cast<unsigned char>(bytes[1]) == 0xFE;
  if (*unicode) {
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                     (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
    }
    return text;
  }
  if (bytes.empty()) return {};
  const int chars = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                        nullptr, 0);
  std::wstring text(static_cast<std::size_t>(chars), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                      chars);
  return text;
}

std::wstring_view TrimBlanks(std::wstring_view text) {
  while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == L' ' || text.back() == L'\t' || text.back() == L'\r')) {
    text.remove_suffix(1);
  }
  return text;
}

// The lines of the text as the editor splits them: at CR LF, LF, or a CR on its own.
std::vector<std::wstring_view> SplitRegLines(std::wstring_view text) {
  std::vector<std::wstring_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + (text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n' ? 2 : 1);
  }
  return lines;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view SkipBlanks(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Nothing more on the line but blanks and a comment.
bool OnlyCommentLeft(std::wstring_view rest) {
  rest = SkipBlanks(rest);
  return rest.empty() || rest.front() == L';';
}

// The quoted text that `text` starts inside of (just after its opening quote), unescaped as the
// editor does; *rest is what follows the closing quote. Nothing without a closing quote or with
// a \0 escape.
std::optional<std::wstring> UnquoteRegText(std::wstring_view text, std::wstring_view* rest) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'"') {
      *rest = text.substr(i + 1);
      return out;
    }
    if (c != L'\\') {
      out.push_back(c);
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case L'n':
        out.push_back(L'\n');
        break;
      case L'r':
        out.push_back(L'\r');
        break;
      case L'0':
        return std::nullopt;
      default:  // \\ and \" stand for themselves; any other backslash is dropped
        out.push_back(text[i]);
        break;
    }
  }
  return std::nullopt;
}

enum class ByteListEnd { kDone, kContinued, kBroken };

// Appends the bytes of a comma-separated list ("01,ff,\" ...) as the editor reads them: each
// byte is hexadecimal digits (blanks before it, an "0x" before the digits and leading zeros are
// allowed) of at most ff; a backslash where a byte would start continues the list on the next
// line; a comment or blanks may close it.
ByteListEnd ParseByteList(std::wstring_view text, std::vector<std::uint8_t>* bytes) {
  while (!text.empty()) {
    text = SkipBlanks(text);
    if (text.size() >= 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X') &&
        text.size() > 2 && HexDigit(text[2]) >= 0) {
      text.remove_prefix(2);
    }
    std::size_t digits = 0;
    unsigned value = 0;
    while (digits < text.size() && HexDigit(text[digits]) >= 0) {
      value = value * 16 + static_cast<unsigned>(HexDigit(text[digits]));
      if (value > 0xFF) return ByteListEnd::kBroken;
      ++digits;
    }
    if (digits == 0) {
      if (text.empty() || text.front() == L';') return ByteListEnd::kDone;
      if (text.front() == L'\\') {
        return SkipBlanks(text.substr(1)).empty() ? ByteListEnd::kContinued : ByteListEnd::kBroken;
      }
      return ByteListEnd::kBroken;
    }
    bytes->push_back(static_cast<std::uint8_t>(value));
    text.remove_prefix(digits);
    if (text.empty()) return ByteListEnd::kDone;
    if (text.front() != L',') return OnlyCommentLeft(text) ? ByteListEnd::kDone : ByteListEnd::kBroken;
    text.remove_prefix(1);
  }
  return ByteListEnd::kDone;
}

bool IsStringType(std::uint32_t type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The data text after "name=" (blanks skipped) into *value. Returns whether a byte list goes on
// on the next line.
bool ParseValueData(std::wstring_view data, bool unicode, REG_FILE_VALUE* value) {
  value->action = RegValueAction::kRejected;
  constexpr std::wstring_view kDword = L"dword:";
  constexpr std::wstring_view kHex = L"hex:";
  constexpr std::wstring_view kTypedHex = L"hex(";
  if (data.empty()) return false;
  if (data.front() == L'-') {
    value->action = RegValueAction::kDelete;
    return false;
  }
  if (data.front() == L'"') {
    std::wstring_view rest;
    const std::optional<std::wstring> text = UnquoteRegText(data.substr(1), &rest);
    if (!text || !OnlyCommentLeft(rest)) return false;
    value->type = REG_SZ;
    value->data = ToUtf16LeBytes(*text, false);
    value->match = RegDataMatch::kString;
    value->action = RegValueAction::kSet;
    return false;
  }
  if (data.substr(0, kDword.size()) == kDword) {
    std::wstring_view digits = SkipBlanks(data.substr(kDword.size()));
    std::size_t count = 0;
    std::uint32_t number = 0;
    while (count < digits.size() && HexDigit(digits[count]) >= 0) {
      number = number * 16 + static_cast<std::uint32_t>(HexDigit(digits[count]));
      ++count;
    }
    if (count == 0 || count > 8 || !OnlyCommentLeft(digits.substr(count))) return false;
    value->type = REG_DWORD;
    value->data = {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                   static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
    value->match = RegDataMatch::kExact;
    value->action = RegValueAction::kSet;
    return false;
  }
  std::wstring_view list;
  if (data.substr(0, kHex.size()) == kHex) {
    value->type = REG_BINARY;
    list = data.substr(kHex.size());
  } else if (data.substr(0, kTypedHex.size()) == kTypedHex) {
    std::wstring_view digits = SkipBlanks(data.substr(kTypedHex.size()));
    std::size_t count = 0;
    std::uint64_t type = 0;
    while (count < digits.size() && HexDigit(digits[count]) >= 0) {
      type = type * 16 + static_cast<std::uint64_t>(HexDigit(digits[count]));
      if (type > 0xFFFFFFFFu) return false;
      ++count;
    }
    if (count == 0 || digits.substr(count, 2) != L"):") return false;
    value->type = static_cast<std::uint32_t>(type);
    list = digits.substr(count + 2);
  } else {
    return false;  // "DWORD:", "HEX:", "str:"...: not a data text of the editor
  }
  value->match = !IsStringType(value->type) ? RegDataMatch::kExact
                 : unicode                  ? RegDataMatch::kStringBytes
                                            : RegDataMatch::kTypeOnly;
  const ByteListEnd end = ParseByteList(list, &value->data);
  if (end == ByteListEnd::kBroken) return false;
  value->action = RegValueAction::kSet;
  return end == ByteListEnd::kContinued;
}

// A line starting with '@' or '"' (blanks skipped) into *value. Returns whether a byte list goes
// on on the next line.
bool ParseValueLine(std::wstring_view line, bool unicode, REG_FILE_VALUE* value) {
  std::wstring_view rest;
  if (line.front() == L'@') {
    value->name.clear();
    rest = line.substr(1);
  } else {
    const std::optional<std::wstring> name = UnquoteRegText(line.substr(1), &rest);
    if (!name) {
      value->name.assign(line);  // no name to speak of: the line itself stands for it
      value->action = RegValueAction::kRejected;
      return false;
    }
    value->name = *name;
  }
  rest = SkipBlanks(rest);
  if (rest.empty() || rest.front() != L'=') {
    value->action = RegValueAction::kRejected;
    return false;
  }
  return ParseValueData(SkipBlanks(rest.substr(1)), unicode, value);
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

HKEY RootHandle(std::wstring_view name) {
  struct ROOT {
    std::wstring_view name;
    HKEY handle;
  };
  static const ROOT kRoots[] = {
      {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {L"HKLM", HKEY_LOCAL_MACHINE},
      {L"HKEY_USERS", HKEY_USERS},                 {L"HKU", HKEY_USERS},
      {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {L"HKCR", HKEY_CLASSES_ROOT},
      {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG}, {L"HKCC", HKEY_CURRENT_CONFIG},
      {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},   {L"HKCU", HKEY_CURRENT_USER},
      {L"HKEY_DYN_DATA", HKEY_DYN_DATA},
  };
  for (const ROOT& root : kRoots) {
    if (EqualsNoCase(root.name, name)) return root.handle;
  }
  return nullptr;
}

// Whether the key named by the full key text exists (a key that refuses reading exists).
bool KeyExists(std::wstring_view fullKey, bool* knownRoot) {
  const std::size_t slash = fullKey.find(L'\\');
  const HKEY root = RootHandle(fullKey.substr(0, slash));
  *knownRoot = root != nullptr;
  if (root == nullptr) return false;
  const std::wstring subkey(slash == std::wstring_view::npos ? std::wstring_view()
                                                             : fullKey.substr(slash + 1));
  CHkey key;
  const LSTATUS rc = RegOpenKeyExW(root, subkey.c_str(), 0, KEY_QUERY_VALUE, key.put());
  return rc == ERROR_SUCCESS || rc == ERROR_ACCESS_DENIED;
}

std::wstring UpperCase(std::wstring_view text) {
  std::wstring upper(text);
  if (!upper.empty()) CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  return upper;
}

// What the sections leave behind, in file order: the last word on a key wins, a deleted key takes
// the keys below it with it, and a key section brings back every level above it.
// Upper-cased key -> whether it must exist.
std::map<std::wstring, bool> ExpectedKeys(const std::vector<REG_FILE_SECTION>& sections) {
  std::map<std::wstring, bool> expected;
  for (const REG_FILE_SECTION& section : sections) {
    const std::wstring key = UpperCase(section.key);
    if (section.deletion) {
      const std::wstring below = key + L"\\";
      auto it = expected.lower_bound(below);
      while (it != expected.end() && it->first.compare(0, below.size(), below) == 0) {
        it = expected.erase(it);
      }
      expected[key] = false;
      continue;
    }
    expected[key] = true;
    for (std::size_t slash = key.rfind(L'\\'); slash != std::wstring::npos && slash > 0;
         slash = key.rfind(L'\\', slash - 1)) {
      auto it = expected.find(key.substr(0, slash));
      if (it != expected.end() && !it->second) expected.erase(it);
    }
  }
  return expected;
}

struct EXPECTED_VALUE {
  std::wstring key;  // the full key name as the file writes it
  REG_FILE_VALUE value;
};

// What the value lines leave behind, in file order: the last line on a value wins, and a deleted
// key takes the values in it and below it with it. (Upper-cased key, upper-cased name) -> line.
std::map<std::pair<std::wstring, std::wstring>, EXPECTED_VALUE> ExpectedValues(
    const std::vector<REG_FILE_SECTION>& sections) {
  std::map<std::pair<std::wstring, std::wstring>, EXPECTED_VALUE> expected;
  for (const REG_FILE_SECTION& section : sections) {
    const std::wstring key = UpperCase(section.key);
    if (section.deletion) {
      const std::wstring below = key + L"\\";
      std::erase_if(expected, [&](const auto& entry) {
        const std::wstring& at = entry.first.first;
        return at == key || at.compare(0, below.size(), below) == 0;
      });
      continue;
    }
    for (const REG_FILE_VALUE& value : section.values) {
      expected[{key, UpperCase(value.name)}] = EXPECTED_VALUE{section.key, value};
    }
  }
  return expected;
}

// String data as the editor stores it from a byte list in its Unicode form: whole UTF-16 units,
// a terminating NUL character added (over an odd last byte) when the last whole unit is not one.
std::vector<std::uint8_t> EditorTerminated(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint8_t> out(bytes.begin(), bytes.begin() + (bytes.size() & ~std::size_t{1}));
  if (out.size() >= 2 && (out[out.size() - 2] != 0 || out.back() != 0)) {
    out.push_back(0);
    out.push_back(0);
  }
  return out;
}

// Whether the value is as the line leaves it: holding its type and data, or gone.
bool ValueConfirmed(std::wstring_view fullKey, const REG_FILE_VALUE& line) {
  if (line.action == RegValueAction::kRejected) return false;
  const std::size_t slash = fullKey.find(L'\\');
  const HKEY root = RootHandle(fullKey.substr(0, slash));
  if (root == nullptr) return false;
  const std::wstring subkey(slash == std::wstring_view::npos ? std::wstring_view()
                                                             : fullKey.substr(slash + 1));
  CHkey key;
  LSTATUS rc = RegOpenKeyExW(root, subkey.c_str(), 0, KEY_QUERY_VALUE, key.put());
  if (line.action == RegValueAction::kDelete && rc == ERROR_FILE_NOT_FOUND) return true;
  if (rc != ERROR_SUCCESS) return false;
  DWORD type = REG_NONE;
  DWORD size = 0;
  rc = RegQueryValueExW(key.get(), line.name.c_str(), nullptr, &type, nullptr, &size);
  if (line.action == RegValueAction::kDelete) return rc == ERROR_FILE_NOT_FOUND;
  if (rc != ERROR_SUCCESS || type != line.type) return false;
  if (line.match == RegDataMatch::kTypeOnly) return true;
  std::vector<std::uint8_t> data(size);
  rc = RegQueryValueExW(key.get(), line.name.c_str(), nullptr, &type, data.data(), &size);
  if (rc != ERROR_SUCCESS || type != line.type) return false;
  data.resize(size);
  switch (line.match) {
    case RegDataMatch::kString:
      return TruncateAtNul(FromUtf16LeBytes(data.data(), data.size())) ==
             FromUtf16LeBytes(line.data.data(), line.data.size());
    case RegDataMatch::kStringBytes:
      return data == line.data || data == EditorTerminated(line.data);
    default:
      return data == line.data;
  }
}

}  // namespace

ErrorCode ReadRegFileSections(std::wstring_view regFile, std::vector<REG_FILE_SECTION>* sections) {
  std::string bytes;
  const ErrorCode rc = ReadWholeFile(regFile, &bytes);
  if (rc != kErrorSuccess) return rc;
  bool unicode = false;
  const std::wstring text = DecodeRegFile(bytes, &unicode);
  const std::vector<std::wstring_view> lines = SplitRegLines(text);
  if (lines.empty()) return kErrorInvalidData;  // empty file: no header
  const std::wstring_view header = TrimBlanks(lines.front());
  if (header != kHeaderVersion5 && header != kHeaderVersion4) return kErrorInvalidData;

  std::vector<REG_FILE_SECTION> found;
  bool inKey = false;      // value lines go into the last section (not after [-key] or a bad head)
  bool continued = false;  // the last value's byte list goes on on this line
  for (std::size_t index = 1; index < lines.size(); ++index) {
    const std::wstring_view raw = lines[index];
    const std::wstring_view line = TrimBlanks(raw);
    if (continued) {
      REG_FILE_VALUE& value = found.back().values.back();
      if (raw.empty()) {
        // The editor loses the value, and the line after it.
        value.action = RegValueAction::kRejected;
        continued = false;
        ++index;
        continue;
      }
      if (line.empty() || line.front() == L';') continue;  // the list goes on after it
      if (HexDigit(line.front()) < 0) {
        value.action = RegValueAction::kRejected;  // lost, and this line with it
        continued = false;
        continue;
      }
      const ByteListEnd end = ParseByteList(line, &value.data);
      if (end == ByteListEnd::kBroken) value.action = RegValueAction::kRejected;
      continued = end == ByteListEnd::kContinued;
      continue;
    }
    if (line.empty()) continue;
    if (line.front() == L'[') {
      inKey = false;
      const std::size_t close = line.rfind(L']');
      if (close == std::wstring_view::npos || close < 1) continue;
      REG_FILE_SECTION section;
      std::wstring_view key = line.substr(1, close - 1);
      if (!key.empty() && key.front() == L'-') {
        section.deletion = true;
        key.remove_prefix(1);
      }
      section.key.assign(key);
      inKey = !section.deletion;
      found.push_back(std::move(section));
      continue;
    }
    if (line.front() != L'@' && line.front() != L'"') continue;
    if (!inKey) continue;  // no key to put the value in: the editor ignores it
    REG_FILE_VALUE value;
    continued = ParseValueLine(line, unicode, &value);
    found.back().values.push_back(std::move(value));
  }
  // A byte list still going on at the end of the file is lost.
  if (continued) found.back().values.back().action = RegValueAction::kRejected;
  *sections = std::move(found);
  return kErrorSuccess;
}

ErrorCode CWin32RegistryEditor::MergeFile(std::wstring_view regFile) {
  std::vector<REG_FILE_SECTION> sections;
  ErrorCode rc = ReadRegFileSections(regFile, &sections);
  if (rc != kErrorSuccess) return rc;
  const wchar_t* format =
      IsRunningOnWine() ? kRegistryEditorMergeParametersWine : kRegistryEditorMergeParameters;
  rc = RunRegistryEditor(Substitute(format, regFile));
  if (rc != kErrorSuccess) return rc;
  for (const auto& [key, mustExist] : ExpectedKeys(sections)) {
    bool knownRoot = false;
    const bool exists = KeyExists(key, &knownRoot);
    if (!knownRoot || exists != mustExist) return ERROR_CANTWRITE;
  }
  for (const auto& [where, expected] : ExpectedValues(sections)) {
    if (!ValueConfirmed(expected.key, expected.value)) return ERROR_CANTWRITE;
  }
  return kErrorSuccess;
}

ErrorCode CWin32RegistryEditor::ExportRegistry(std::wstring_view regFile) {
  // A file left from before would pass for the export when the editor writes nothing.
  const std::wstring path(regFile);
  if (!DeleteFileW(path.c_str())) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return static_cast<ErrorCode>(error);
  }
  const ErrorCode rc = RunRegistryEditor(Substitute(kRegistryEditorExportParameters, regFile));
  if (rc != kErrorSuccess) return rc;
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES ? kErrorSuccess
                                                                     : kErrorFileNotFound;
}

}  // namespace qv
