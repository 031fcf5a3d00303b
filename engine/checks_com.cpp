// Category 0: dangling COM references under HKEY_CLASSES_ROOT, in the 64-bit view and then in
// the 32-bit one (HKEY_CLASSES_ROOT\Wow6432Node) where the machine has it. The check looks only
// at registry structure; it does not test server files.
#include <memory>
#include <string>
#include <vector>

#include "engine/check_support.h"
#include "base/text.h"
#include "engine/checks.h"
#include "engine/key_naming.h"
#include "engine/registry_cleaner.h"

namespace qv {
namespace {

// Whether the class is registered for a program of the view: in the 64-bit view its CLSID key;
// in the 32-bit view its key below Wow6432Node, or the 64-bit view's key as well when both views
// share the program identifier that names it.
bool ClassRegistered(IRegistry& registry, std::wstring_view classId, REGISTRY_VIEW view,
                     bool sharedByBothViews, bool machineHas32BitView) {
  const std::wstring classPath = JoinPath(kClsidKey, classId);
  if (ReferencedKeyExists(registry, kHkeyClassesRoot, ClassesKeyInView(classPath, view))) {
    return true;
  }
  return sharedByBothViews && machineHas32BitView &&
         ReferencedKeyExists(registry, kHkeyClassesRoot, ClassesKeyInView(classPath, VIEW_32BIT));
}

// Pass 1: every class of the view whose AppID value names an application identifier that is not
// registered. Since Windows 7 both views share the AppID key (before, it was redirected): a class
// of the 32-bit view counts its AppID as registered in either place.
void CheckClassAppIds(CRegistryCleaner& engine, REGISTRY_VIEW view) {
  IRegistry& registry = engine.Platform().registry;
  const std::wstring classesKey = ClassesKeyInView(kClsidKey, view);
  CRegKey classes(registry);
  if (classes.Open(kHkeyClassesRoot, classesKey, kKeyReadWriteCreate) != kErrorSuccess) return;
  if (engine.ShouldStop()) return;

  std::wstring classId;
  const std::wstring classesText = JoinPath(kHkeyClassesRootName, classesKey);
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = classes.EnumKeyName(index, kCheckKeyNameChars, &classId);
    if (EndsEnumeration(rc)) break;
    if (rc == kErrorSuccess && !PassOverNulName(engine, classesText, classId)) {
      CRegKey classKey(registry);
      std::wstring appId;
      if (classKey.Open(kHkeyClassesRoot, JoinPath(classesKey, classId), kKeyReadWriteCreate) ==
              kErrorSuccess &&
          classKey.QueryString(kAppIdValue, kComValueBytes, &appId) == kErrorSuccess) {
        const std::wstring appIdPath = JoinPath(kAppIdKey, appId);
        engine.ReportEntryExamined(appIdPath);
        if (!ReferencedKeyExists(registry, kHkeyClassesRoot, appIdPath) &&
            (view == VIEW_64BIT ||
             !ReferencedKeyExists(registry, kHkeyClassesRoot,
                                  ClassesKeyInView(appIdPath, view)))) {
          AddProblemWithEvidence(
              engine, JoinPath(JoinPath(kHkeyClassesRootName, classesKey), classId),
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

// Pass 2: every ProgID of the view whose CLSID default value names a class that is not
// registered for it. File-name extensions (keys beginning with a full stop) are not ProgIDs and
// are not looked at. The ProgIDs at the classes root are shared by both views (only CLSID and a
// few other keys are redirected): their class may be registered in either view. A ProgID below
// Wow6432Node belongs to the 32-bit view, and so must its class.
void CheckProgIdClasses(CRegistryCleaner& engine, REGISTRY_VIEW view, bool machineHas32BitView) {
  IRegistry& registry = engine.Platform().registry;
  const std::wstring rootKey = ClassesKeyInView(L"", view);
  CRegKey root(registry);
  if (root.Open(kHkeyClassesRoot, rootKey, kKeyReadWriteCreate) != kErrorSuccess) return;
  if (engine.ShouldStop()) return;

  std::wstring progId;
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = root.EnumKeyName(index, kProgIdKeyNameChars, &progId);
    if (EndsEnumeration(rc)) break;
    if (rc == kErrorSuccess && !progId.starts_with(L'.') &&
        !PassOverNulName(engine, kHkeyClassesRootName, progId)) {
      const std::wstring classIdKey = ClassesKeyInView(JoinPath(progId, kClsidKey), view);
      engine.ReportEntryExamined(classIdKey);
      CRegKey progIdClass(registry);
      std::wstring classId;
      if (progIdClass.Open(kHkeyClassesRoot, classIdKey, kKeyReadWriteCreate) == kErrorSuccess &&
          progIdClass.QueryString(L"", kComValueBytes, &classId) == kErrorSuccess) {
        const std::wstring classPath = ClassesKeyInView(JoinPath(kClsidKey, classId), view);
        engine.ReportEntryExamined(classPath);
        if (classId.starts_with(L'{') &&
            !ClassRegistered(registry, classId, view, view == VIEW_64BIT, machineHas32BitView)) {
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
  const std::vector<REGISTRY_VIEW> views = ClassesViews(engine.Platform().registry);
  const bool machineHas32BitView = views.size() > 1;
  for (const REGISTRY_VIEW view : views) {
    if (engine.IsCancelled()) return;
    CheckClassAppIds(engine, view);
    CheckProgIdClasses(engine, view, machineHas32BitView);
  }
}

}  // namespace qv
