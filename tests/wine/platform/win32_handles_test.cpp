// The RAII traits of the Win32 handle kinds the windows use: each closes its handle exactly once,
// when the holder goes or is reset, and never an empty one.
#include "platform/win32/win32_handles.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

namespace qv {
namespace {

// An object that counts its references as COM does. (COM interfaces have no virtual destructor
// by design: objects delete themselves in Release.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class CCountedUnknown final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }
  long references = 1;
};
#pragma GCC diagnostic pop

TEST(Win32Handles, WindowsFontsAndIconsAreDestroyedOnceWithTheirHolder) {
  HWND raw = CreateWindowExW(0, L"STATIC", L"probe", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(raw, nullptr);
  {
    CUniqueHandle<CWin32WindowTraits> window(raw);
    EXPECT_TRUE(IsWindow(raw));
  }
  EXPECT_FALSE(IsWindow(raw));

  HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                           0, 0, L"Tahoma");
  ASSERT_NE(font, nullptr);
  CUniqueHandle<CGdiObjectTraits> held(font);
  EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
  held.reset();
  EXPECT_EQ(GetObjectType(font), 0u);

  HICON icon = CopyIcon(LoadIconW(nullptr, IDI_APPLICATION));
  ASSERT_NE(icon, nullptr);
  CUniqueHandle<CIconTraits> heldIcon(icon);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
  heldIcon.reset();
  EXPECT_FALSE(GetIconInfo(icon, &info)) << "a destroyed icon has no information";
}

TEST(Win32Handles, ComPointersAreReleasedOnceAndPutReleasesTheOldOne) {
  CCountedUnknown first;
  CCountedUnknown second;
  {
    CComPtr<IUnknown> pointer;
    ASSERT_EQ(first.QueryInterface(IID_IUnknown, PutVoid(pointer)), S_OK);
    EXPECT_EQ(first.references, 2);
    ASSERT_EQ(second.QueryInterface(IID_IUnknown, PutVoid(pointer)), S_OK);
    EXPECT_EQ(first.references, 1) << "put() releases what it held";
    EXPECT_EQ(second.references, 2);
    CComPtr<IUnknown> moved(std::move(pointer));
    EXPECT_EQ(second.references, 2);
  }
  EXPECT_EQ(second.references, 1);

  // A real shell object through the same holder.
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    CComPtr<IShellLinkW> link;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               PutVoid(link)),
              S_OK);
    CComPtr<IPersistFile> file;
    EXPECT_EQ(link.get()->QueryInterface(IID_IPersistFile, PutVoid(file)), S_OK);
  }
  CoUninitialize();
}

}  // namespace
}  // namespace qv
