#include "platform/win32/com_security.h"

#include <aclapi.h>
#include <objbase.h>

#include <array>

namespace qv {
namespace {

struct SID_BUFFER {
  alignas(SID) BYTE bytes[SECURITY_MAX_SID_SIZE] = {};
  [[nodiscard]] PSID Sid() { return bytes; }
};

HRESULT InitializeSecurity() {
  // O:BA G:BA D:(A;;0x3;;;BA)(A;;0x3;;;LS)(A;;0x3;;;NS)(A;;0x3;;;PS)(A;;0x3;;;SY), in the
  // absolute form CoInitializeSecurity requires.
  static constexpr std::array<WELL_KNOWN_SID_TYPE, 5> kCallers = {
      WinBuiltinAdministratorsSid, WinLocalServiceSid, WinNetworkServiceSid, WinSelfSid,
      WinLocalSystemSid};
  std::array<SID_BUFFER, kCallers.size()> sids;
  std::array<EXPLICIT_ACCESSW, kCallers.size()> access{};
  for (std::size_t i = 0; i < kCallers.size(); ++i) {
    DWORD size = sizeof(sids[i].bytes);
    if (!::CreateWellKnownSid(kCallers[i], nullptr, sids[i].Sid(), &size)) {
      return HRESULT_FROM_WIN32(::GetLastError());
    }
    access[i].grfAccessPermissions = COM_RIGHTS_EXECUTE | COM_RIGHTS_EXECUTE_LOCAL;
    access[i].grfAccessMode = SET_ACCESS;
    access[i].grfInheritance = NO_INHERITANCE;
    access[i].Trustee.MultipleTrusteeOperation = NO_MULTIPLE_TRUSTEE;
    access[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access[i].Trustee.TrusteeType = TRUSTEE_IS_GROUP;
    access[i].Trustee.ptstrName = static_cast<LPWSTR>(sids[i].Sid());
  }
  PACL acl = nullptr;
  const DWORD made =
      ::SetEntriesInAclW(static_cast<ULONG>(access.size()), access.data(), nullptr, &acl);
  if (made != ERROR_SUCCESS || acl == nullptr) return HRESULT_FROM_WIN32(made);

  SECURITY_DESCRIPTOR descriptor{};
  HRESULT result = E_FAIL;
  if (::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
      ::SetSecurityDescriptorOwner(&descriptor, sids[0].Sid(), FALSE) &&
      ::SetSecurityDescriptorGroup(&descriptor, sids[0].Sid(), FALSE) &&
      ::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE)) {
    result = ::CoInitializeSecurity(&descriptor, -1, nullptr, nullptr,
                                    RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IDENTIFY,
                                    nullptr, EOAC_NO_CUSTOM_MARSHAL, nullptr);
  } else {
    result = HRESULT_FROM_WIN32(::GetLastError());
  }
  ::LocalFree(acl);
  return result;
}

}  // namespace

HRESULT SetComSecurityForSystemRestore() {
  static const HRESULT result = InitializeSecurity();
  return result;
}

}  // namespace qv
