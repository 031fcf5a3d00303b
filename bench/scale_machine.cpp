#include "bench/scale_machine.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "platform/memory/memory_shell.h"

namespace qv::bench {
namespace {

constexpr wchar_t kUserSid[] = L"S-1-5-21-0-0-0-1000";

std::wstring Hex(std::uint32_t value, int digits) {
  wchar_t buffer[16];
  std::swprintf(buffer, 16, L"%0*X", digits, value);
  return buffer;
}

class CBuilder {
 public:
  CBuilder(CMemoryPlatform& machine, const SCALE_SHAPE& shape, std::uint32_t seed)
      : m_machine(machine), m_registry(machine.registry()), m_shape(shape), m_random(seed) {}

  SCALE_COUNTS Build() {
    m_machine.Make64Bit();
    AddFiles();
    AddShortcuts();
    AddCheckedAreas();
    AddGenericTrees();
    return m_counts;
  }

 private:
  // ---- Helpers ----
  int Draw(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
  bool Chance(int percent) { return Draw(0, 99) < percent; }

  RegHandle Create(RegHandle parent, const std::wstring& name) {
    RegHandle key = kNullRegHandle;
    bool created = false;
    if (m_registry.CreateKey(parent, name, kKeyAllAccess, &key, &created) != kErrorSuccess) {
      std::fprintf(stderr, "scale machine: cannot create %s\n", ToUtf8(name).c_str());
      std::abort();
    }
    if (created) ++m_counts.keys;
    return key;
  }
  void Close(RegHandle key) { static_cast<void>(m_registry.CloseKey(key)); }
  void SetRaw(RegHandle key, const std::wstring& name, std::uint32_t type,
              const std::vector<std::uint8_t>& data) {
    static_cast<void>(m_registry.SetValue(key, name, type, data.data(),
                                          static_cast<std::uint32_t>(data.size())));
    ++m_counts.values;
  }
  void SetText(RegHandle key, const std::wstring& name, const std::wstring& text,
               std::uint32_t type = kRegSz) {
    SetRaw(key, name, type, ToUtf16LeBytes(text, true));
  }
  void SetNumber(RegHandle key, const std::wstring& name, std::uint32_t value) {
    SetRaw(key, name, kRegDword,
           {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
  }

  std::wstring Guid() {
    return L"{" + Hex(static_cast<std::uint32_t>(m_random()), 8) + L"-" +
           Hex(static_cast<std::uint32_t>(Draw(0, 0xFFFF)), 4) + L"-" +
           Hex(static_cast<std::uint32_t>(Draw(0, 0xFFFF)), 4) + L"-" +
           Hex(static_cast<std::uint32_t>(Draw(0, 0xFFFF)), 4) + L"-" +
           Hex(static_cast<std::uint32_t>(m_random()), 8) +
           Hex(static_cast<std::uint32_t>(Draw(0, 0xFFFF)), 4) + L"}";
  }
  // A file that is there or, as on a machine that has seen programs come and go, now and then
  // (one time in twelve) one that is gone.
  std::wstring FileReference() {
    if (!m_files.empty() && Draw(0, 11) != 0) {
      return m_files[static_cast<std::size_t>(Draw(0, static_cast<int>(m_files.size()) - 1))];
    }
    return L"C:\\Program Files\\Vendor" + std::to_wstring(Draw(0, 199)) + L"\\Removed\\gone" +
           std::to_wstring(Draw(0, 99999)) + L".dll";
  }
  std::wstring Program() {
    if (!m_programs.empty() && Draw(0, 11) != 0) {
      return m_programs[static_cast<std::size_t>(Draw(0, static_cast<int>(m_programs.size()) - 1))];
    }
    return L"C:\\Program Files\\Vendor" + std::to_wstring(Draw(0, 199)) + L"\\Old\\tool" +
           std::to_wstring(Draw(0, 9999)) + L".exe";
  }

  // One value of the generic trees, by the mix of a real registry.
  void RandomValue(RegHandle key, int index) {
    const std::wstring name = L"Value" + std::to_wstring(index);
    const int kind = Draw(0, 99);
    if (kind < 22) {
      SetText(key, name, FileReference());
    } else if (kind < 30) {
      SetText(key, name, L"\"" + Program() + L"\" /run \"%1\"");
    } else if (kind < 45) {
      SetText(key, name, Guid());
    } else if (kind < 55) {
      static const wchar_t* const kShort[] = {L"1", L"yes", L"en-US", L"0x0", L"On"};
      SetText(key, name, kShort[Draw(0, 4)]);
    } else if (kind < 65) {
      SetText(key, name, L"A description of setting " + std::to_wstring(Draw(0, 99999)) +
                             L" in several plain words, as applications store them");
    } else if (kind < 70) {
      SetText(key, name, L"%SystemRoot%\\system32\\lib" + std::to_wstring(Draw(0, 3999)) + L".dll",
              kRegExpandSz);
    } else if (kind < 90) {
      SetNumber(key, name, static_cast<std::uint32_t>(m_random()));
    } else if (kind < 98) {
      std::vector<std::uint8_t> bytes(static_cast<std::size_t>(Draw(8, 64)));
      for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(m_random());
      SetRaw(key, name, kRegBinary, bytes);
    } else {
      std::vector<std::uint8_t> list = ToUtf16LeBytes(FileReference(), true);
      const std::vector<std::uint8_t> second = ToUtf16LeBytes(L"second entry", true);
      list.insert(list.end(), second.begin(), second.end());
      list.push_back(0);
      list.push_back(0);
      SetRaw(key, name, kRegMultiSz, list);
    }
  }

  // ---- The drive ----
  void AddFiles() {
    CMemoryFileSystem& files = m_machine.files();
    int made = 0;
    // Programs and their libraries, a Windows folder, and the users' documents.
    const int vendors = std::max(1, m_shape.files / 3000);
    for (int v = 0; v < vendors && made < m_shape.files; ++v) {
      for (int p = 0; p < 6 && made < m_shape.files; ++p) {
        const std::wstring folder = L"C:\\Program Files\\Vendor" + std::to_wstring(v) +
                                    L"\\Product" + std::to_wstring(p);
        const std::wstring program = folder + L"\\product" + std::to_wstring(p) + L".exe";
        files.AddFile(program);
        m_programs.push_back(program);
        ++made;
        for (int f = 0; f < 80 && made < m_shape.files; ++f) {
          const std::wstring path = folder + (f % 4 == 0 ? L"\\bin\\" : L"\\data\\") + L"file" +
                                    std::to_wstring(f) + (f % 3 == 0 ? L".dll" : L".dat");
          files.AddFile(path);
          if (f % 5 == 0) m_files.push_back(path);
          ++made;
        }
      }
    }
    for (int f = 0; f < 4000 && made < m_shape.files; ++f, ++made) {
      // The 32-bit system folder holds a library of the same name for every fourth one.
      files.AddFile((f % 4 == 0 ? L"C:\\Windows\\SysWOW64\\lib" : L"C:\\Windows\\system32\\lib") +
                    std::to_wstring(f) + L".dll");
    }
    for (int f = 0; made < m_shape.files; ++f, ++made) {
      files.AddFile(L"C:\\users\\user\\Documents\\Folder" + std::to_wstring(f / 200) +
                    L"\\document" + std::to_wstring(f) + L".txt");
    }
    m_counts.files = static_cast<std::uint64_t>(made);
  }

  void AddShortcuts() {
    static const wchar_t* const kFolders[] = {
        L"C:\\users\\user\\Desktop",
        L"C:\\users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs",
        L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs",
        L"C:\\users\\Public\\Desktop"};
    for (int s = 0; s < m_shape.shortcuts; ++s) {
      const std::wstring folder =
          std::wstring(kFolders[s % 4]) + L"\\Group" + std::to_wstring(s / 40);
      const std::wstring target = Chance(70) ? Program() : L"C:\\Old\\gone" + std::to_wstring(s) + L".exe";
      m_machine.files().AddFile(folder + L"\\Shortcut" + std::to_wstring(s) + L".lnk",
                                CMemoryShell::ShortcutFileBytes({target, L"", L""}));
    }
    m_counts.shortcuts = static_cast<std::uint64_t>(m_shape.shortcuts);
  }

  // ---- The areas the checks read, at realistic sizes ----
  void AddCheckedAreas() {
    const double scale = static_cast<double>(m_shape.keys) / kFullScale.keys;
    const auto scaled = [scale](int full) { return std::max(1, static_cast<int>(full * scale)); };
    const RegHandle classes = Create(kHkeyLocalMachine, L"Software\\Classes");
    const RegHandle clsid = Create(classes, L"CLSID");
    // The classes of 32-bit programs (the AppID key is shared by both views).
    const RegHandle clsid32 = Create(classes, L"Wow6432Node\\CLSID");
    const RegHandle appid = Create(classes, L"AppID");
    std::vector<std::wstring> classIds;
    for (int i = 0; i < scaled(9000); ++i) {
      const std::wstring id = Guid();
      classIds.push_back(id);
      const RegHandle key = Create(i % 4 == 3 ? clsid32 : clsid, id);
      SetText(key, L"", L"Benchmark class " + std::to_wstring(i));
      const RegHandle server = Create(key, L"InprocServer32");
      SetText(server, L"", FileReference());
      SetText(server, L"ThreadingModel", L"Apartment");
      Close(server);
      if (Chance(30)) {
        const std::wstring app = Guid();
        SetText(key, L"AppID", app);
        if (Chance(80)) Close(Create(appid, app));
      }
      Close(key);
    }
    for (int i = 0; i < scaled(5000); ++i) {
      const RegHandle progId = Create(classes, L"Vendor.Object" + std::to_wstring(i));
      SetText(progId, L"", L"Benchmark object");
      const RegHandle id = Create(progId, L"CLSID");
      SetText(id, L"", Chance(85) ? classIds[static_cast<std::size_t>(
                                        Draw(0, static_cast<int>(classIds.size()) - 1))]
                                  : Guid());
      Close(id);
      Close(progId);
    }
    for (int i = 0; i < scaled(1500); ++i) {
      const std::wstring type = L"Vendor.File" + std::to_wstring(i);
      const RegHandle extension = Create(classes, L".ext" + std::to_wstring(i));
      SetText(extension, L"", type);
      Close(extension);
      const RegHandle command = Create(classes, type + L"\\shell\\open\\command");
      SetText(command, L"", L"\"" + Program() + L"\" \"%1\"");
      Close(command);
    }
    Close(appid);
    Close(clsid32);
    Close(clsid);
    Close(classes);

    const RegHandle current = Create(kHkeyLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
    // The same lists of 32-bit programs, a third of each, in the 32-bit view.
    const RegHandle current32 =
        Create(kHkeyLocalMachine, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion");
    const RegHandle uninstall = Create(current, L"Uninstall");
    const RegHandle uninstall32 = Create(current32, L"Uninstall");
    for (int i = 0; i < scaled(600); ++i) {
      const RegHandle entry =
          Create(i % 3 == 2 ? uninstall32 : uninstall, L"Product " + std::to_wstring(i));
      SetText(entry, L"DisplayName", L"Benchmark product " + std::to_wstring(i));
      SetText(entry, L"UninstallString",
              Chance(40) ? L"MsiExec.exe /X" + Guid() : L"\"" + Program() + L"\" /uninstall");
      Close(entry);
    }
    Close(uninstall32);
    Close(uninstall);
    const RegHandle shared = Create(current, L"SharedDLLs");
    const RegHandle shared32 = Create(current32, L"SharedDLLs");
    for (int i = 0; i < scaled(3000); ++i) {
      SetNumber(i % 3 == 2 ? shared32 : shared, FileReference(), 1);
    }
    Close(shared32);
    Close(shared);
    const RegHandle appPaths = Create(current, L"App Paths");
    for (int i = 0; i < scaled(200); ++i) {
      const RegHandle entry = Create(appPaths, L"tool" + std::to_wstring(i) + L".exe");
      SetText(entry, L"", Program());
      Close(entry);
    }
    Close(appPaths);
    const RegHandle run = Create(current, L"Run");
    for (int i = 0; i < 25; ++i) SetText(run, L"Agent" + std::to_wstring(i), L"\"" + Program() + L"\" /tray");
    Close(run);
    const RegHandle run32 = Create(current32, L"Run");
    for (int i = 0; i < 10; ++i) {
      SetText(run32, L"Agent" + std::to_wstring(i), L"\"" + Program() + L"\" /tray");
    }
    Close(run32);
    Close(current32);
    Close(current);
    const RegHandle fonts =
        Create(kHkeyLocalMachine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
    for (int i = 0; i < scaled(700); ++i) {
      SetText(fonts, L"Font " + std::to_wstring(i) + L" (TrueType)",
              L"font" + std::to_wstring(i) + L".ttf");
    }
    Close(fonts);
    const RegHandle help = Create(kHkeyLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\HELP");
    for (int i = 0; i < scaled(80); ++i) {
      SetText(help, L"help" + std::to_wstring(i) + L".hlp", L"C:\\Windows\\Help");
    }
    Close(help);
    const RegHandle userRun =
        Create(kHkeyCurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    for (int i = 0; i < 10; ++i) SetText(userRun, L"User" + std::to_wstring(i), Program());
    Close(userRun);
    for (const wchar_t* order : {L"Start Menu", L"Start Menu2"}) {
      const RegHandle menu = Create(kHkeyCurrentUser,
                                    std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\"
                                                 L"Explorer\\MenuOrder\\") +
                                        order + L"\\Programs");
      for (int i = 0; i < 60; ++i) {
        const RegHandle entry = Create(menu, L"Group" + std::to_wstring(i));
        SetRaw(entry, L"Order", kRegBinary, std::vector<std::uint8_t>(24, 1));
        Close(entry);
      }
      Close(menu);
    }
  }

  // ---- The wide trees that make up the rest ----
  void AddGenericTrees() {
    struct ROOT {
      RegHandle root;
      std::wstring path;
      int share;   // percent of the remaining keys
      int empties;  // percent of the empty keys
    };
    const std::wstring user = std::wstring(kUserSid) + L"\\Software";
    // Most empty keys are the user's (the empty-key walk covers HKEY_USERS only).
    const ROOT roots[] = {{kHkeyLocalMachine, L"SOFTWARE", 45, 12},
                          {kHkeyLocalMachine, L"SOFTWARE\\Wow6432Node", 10, 3},
                          {kHkeyLocalMachine, L"SYSTEM\\CurrentControlSet\\Services", 20, 15},
                          {kHkeyUsers, user, 25, 70}};
    const int keysLeft = std::max(0, m_shape.keys - static_cast<int>(m_counts.keys));
    const int valuesLeft = std::max(0, m_shape.values - static_cast<int>(m_counts.values));
    for (const ROOT& r : roots) {
      const RegHandle top = Create(r.root, r.path);
      Tree(top, keysLeft * r.share / 100, valuesLeft * r.share / 100,
           m_shape.emptyKeys * r.empties / 100);
      Close(top);
    }
  }

  // Breadth first below `top`: each key takes up to eight subkeys down to a depth of nine;
  // a key that takes none is a leaf, empty until `empties` are made, otherwise with values.
  void Tree(RegHandle top, int keys, int values, int empties) {
    struct NODE {
      std::wstring path;  // below top
      int depth;
    };
    std::deque<NODE> queue;
    int made = 0;
    for (int i = 0; i < 40 && made < keys; ++i, ++made) {
      queue.push_back({L"Vendor" + std::to_wstring(i), 1});
    }
    int emptiesMade = 0;
    int valuesMade = 0;
    while (!queue.empty()) {
      NODE node = std::move(queue.front());
      queue.pop_front();
      const RegHandle key = Create(top, node.path);
      int children = 0;
      if (made < keys && node.depth < 9) children = std::min(keys - made, Draw(0, 8));
      for (int c = 0; c < children; ++c, ++made) {
        queue.push_back({node.path + L"\\Key" + std::to_wstring(c), node.depth + 1});
      }
      const int keysToGo = static_cast<int>(queue.size()) + 1;
      if (children == 0 && emptiesMade < empties && Chance(45)) {
        ++emptiesMade;
        ++m_counts.emptyKeys;
        Close(key);
        continue;
      }
      const int average = std::max(0, (values - valuesMade) / std::max(1, keysToGo + (keys - made)));
      // A leaf that is not one of the empty keys holds at least one value.
      int count = std::min(values - valuesMade, Draw(0, 2 * average));
      if (children == 0) count = std::max(count, 1);
      for (int v = 0; v < count; ++v) RandomValue(key, v);
      valuesMade += std::max(0, count);
      Close(key);
    }
  }

  CMemoryPlatform& m_machine;
  IRegistry& m_registry;
  SCALE_SHAPE m_shape;
  std::mt19937 m_random;
  SCALE_COUNTS m_counts;
  std::vector<std::wstring> m_files;     // files that exist, for references to them
  std::vector<std::wstring> m_programs;  // programs that exist
};

}  // namespace

SCALE_COUNTS BuildScaleMachine(CMemoryPlatform& machine, const SCALE_SHAPE& shape,
                               std::uint32_t seed) {
  return CBuilder(machine, shape, seed).Build();
}

}  // namespace qv::bench
