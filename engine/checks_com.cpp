// Category 0: dangling COM references under HKEY_CLASSES_ROOT. The check looks only at registry
// structure; it does not test server files.
#include <memory>
#include <string>

#include "engine/check_support.h"
#include "base/text.h"
#include "engine/checks.h"
#include "engine/key_naming.h"
#include "engine/registry_cleaner.h"

namespace qv {
namespace {

// Pass 1: every class whose AppID value names an application identifier that is not registered.
void CheckClassAppIds(CRegistryCleaner& engine) {
  IRegistry& registry = engine.Platform().registry;
  CRegKey classes(registry);
  if (classes.Open(kHkeyClassesRoot, kClsidKey, kKeyReadWriteCreate) != kErrorSuccess) return;
  if (engine.ShouldStop()) return;

  std::wstring classId;
  const std::wstring classesText = JoinPath(kHkeyClassesRootName, kClsidKey);
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = classes.EnumKeyName(index, kCheckKeyNameChars, &classId);
    if (EndsEnumeration(rc)) break;
    if (rc == kErrorSuccess && !PassOverNulName(engine, classesText, classId)) {
      CRegKey classKey(registry);
      std::wstring appId;
      if (classKey.Open(kHkeyClassesRoot, JoinPath(kClsidKey, classId), kKeyReadWriteCreate) ==
              kErrorSuccess &&
          classKey.QueryString(kAppIdValue, kComValueBytes, &appId) == kErrorSuccess) {
        const std::wstring appIdPath = JoinPath(kAppIdKey, appId);
        engine.ReportEntryExamined(appIdPath);
        if (!ReferencedKeyExists(registry, kHkeyClassesRoot, appIdPath)) {
          AddProblemWithEvidence(
              engine, JoinPath(JoinPath(kHkeyClassesRootName, kClsidKey), classId),
              std::wstring(kAppIdValue), appId, REGPROBLEM_COM,
              {EVIDENCE_NOT_REGISTERED, JoinPath(kHkeyClassesRootName, appIdPath), L""});
        }
      }
    }
    // Tested after every class, whether it was judged or passed over, so a cancel ends the pass
    // after the class at hand.
    if (engine.ShouldStop()) return;
  }
}

// Pass 2: every ProgID whose CLSID default value names a class that is not registered. File-name
// extensions (keys beginning with a full stop) are not ProgIDs and are not looked at.
void CheckProgIdClasses(CRegistryCleaner& engine) {
  IRegistry& registry = engine.Platform().registry;
  CRegKey root(registry);
  if (root.Open(kHkeyClassesRoot, L"", kKeyReadWriteCreate) != kErrorSuccess) return;
  if (engine.ShouldStop()) return;

  std::wstring progId;
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = root.EnumKeyName(index, kProgIdKeyNameChars, &progId);
    if (EndsEnumeration(rc)) break;
    if (rc == kErrorSuccess && !progId.starts_with(L'.') &&
        !PassOverNulName(engine, kHkeyClassesRootName, progId)) {
      const std::wstring classIdKey = JoinPath(progId, kClsidKey);
      engine.ReportEntryExamined(classIdKey);
      CRegKey progIdClass(registry);
      std::wstring classId;
      if (progIdClass.Open(kHkeyClassesRoot, classIdKey, kKeyReadWriteCreate) == kErrorSuccess &&
          progIdClass.QueryString(L"", kComValueBytes, &classId) == kErrorSuccess) {
        const std::wstring classPath = JoinPath(kClsidKey, classId);
        engine.ReportEntryExamined(classPath);
        if (classId.starts_with(L'{') &&
            !ReferencedKeyExists(registry, kHkeyClassesRoot, classPath)) {
          AddProblemWithEvidence(
              engine, JoinPath(kHkeyClassesRootName, classIdKey),
              std::wstring(kDefaultValueProblemName), classId, REGPROBLEM_COM,
              {EVIDENCE_NOT_REGISTERED, JoinPath(kHkeyClassesRootName, classPath), L""});
        }
      }
    }
    if (engine.ShouldStop()) return;
  }
}

}  // namespace

void CheckComObjects(CRegistryCleaner& engine) {
  CheckClassAppIds(engine);
  CheckProgIdClasses(engine);
}

}  // namespace qv
