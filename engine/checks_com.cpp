// Category 0: dangling COM references among the classes of the machine and of the current user
// (HKEY_LOCAL_MACHINE\SOFTWARE\Classes, HKEY_CURRENT_USER\Software\Classes), each in its 64-bit
// view and then in its 32-bit one (below its Wow6432Node) where it has one. A reference resolves
// as Windows merges the two hives into HKEY_CLASSES_ROOT: a class or application identifier
// registered in either hive is registered. The check looks only at registry structure; it does
// not test server files.
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

// Whether the classes key (below a classes root, in a view's form) is registered in either hive.
bool RegisteredInEitherHive(IRegistry& registry, std::wstring_view classesKey) {
  for (const CLASSES_HIVE& hive : kClassesHives) {
    if (ReferencedKeyExists(registry, hive.root, JoinPath(hive.key, classesKey))) return true;
  }
  return false;
}

// Whether the class is registered for a program of the view: in the 64-bit view its CLSID key;
// in the 32-bit view its key below Wow6432Node, or the 64-bit view's key as well when both views
// share the program identifier that names it.
bool ClassRegistered(IRegistry& registry, std::wstring_view classId, REGISTRY_VIEW view,
                     bool sharedByBothViews) {
  const std::wstring classPath = JoinPath(kClsidKey, classId);
  if (RegisteredInEitherHive(registry, ClassesKeyInView(classPath, view))) return true;
  return sharedByBothViews && RegisteredInEitherHive(registry, ClassesKeyInView(classPath, VIEW_32BIT));
}

// Pass 1: every class of the hive's view whose AppID value names an application identifier that
// is registered in neither hive. Since Windows 7 both views share the AppID key (before, it was
// redirected): a class of the 32-bit view counts its AppID as registered in either place.
void CheckClassAppIds(CRegistryCleaner& engine, const CLASSES_HIVE& hive, REGISTRY_VIEW view) {
  IRegistry& registry = engine.Platform().registry;
  const std::wstring classesKey = HiveClassesKey(hive, kClsidKey, view);
  CRegKey classes(registry);
  if (classes.Open(hive.root, classesKey, kKeyReadWriteCreate) != kErrorSuccess) return;
  if (engine.ShouldStop()) return;

  std::wstring classId;
  const std::wstring classesText = JoinPath(RootKeyName(hive.root), classesKey);
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = classes.EnumKeyName(index, kCheckKeyNameChars, &classId);
    if (EndsEnumeration(rc)) break;
    if (rc == kErrorSuccess && !PassOverNulName(engine, classesText, classId)) {
      CRegKey classKey(registry);
      std::wstring appId;
      if (classKey.Open(classes.get(), classId, kKeyReadWriteCreate) == kErrorSuccess &&
          classKey.QueryString(kAppIdValue, kComValueBytes, &appId) == kErrorSuccess) {
        engine.ReportEntryExamined(JoinPath(kAppIdKey, appId));
        if (auto problem = JudgeClassAppId(engine, hive, view, classId, appId)) {
          engine.AddProblem(std::move(problem));
        }
      }
    }
    // Tested after every class, whether it was judged or passed over, so a cancel ends the pass
    // after the class at hand.
    if (engine.ShouldStop()) return;
  }
}

// Pass 2: every ProgID of the hive's view whose CLSID default value names a class that is not
// registered for it. File-name extensions (keys beginning with a full stop) are not ProgIDs and
// are not looked at. The ProgIDs at the classes root are shared by both views (only CLSID and a
// few other keys are redirected): their class may be registered in either view. A ProgID below
// Wow6432Node belongs to the 32-bit view, and so must its class.
void CheckProgIdClasses(CRegistryCleaner& engine, const CLASSES_HIVE& hive, REGISTRY_VIEW view) {
  IRegistry& registry = engine.Platform().registry;
  const std::wstring rootKey = HiveClassesKey(hive, L"", view);
  CRegKey root(registry);
  if (root.Open(hive.root, rootKey, kKeyReadWriteCreate) != kErrorSuccess) return;
  if (engine.ShouldStop()) return;

  std::wstring progId;
  const std::wstring rootText = JoinPath(RootKeyName(hive.root), rootKey);
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = root.EnumKeyName(index, kProgIdKeyNameChars, &progId);
    if (EndsEnumeration(rc)) break;
    if (rc == kErrorSuccess && !progId.starts_with(L'.') &&
        !PassOverNulName(engine, rootText, progId)) {
      const std::wstring classIdKey = JoinPath(progId, kClsidKey);
      engine.ReportEntryExamined(ClassesKeyInView(classIdKey, view));
      CRegKey progIdClass(registry);
      std::wstring classId;
      if (progIdClass.Open(root.get(), classIdKey, kKeyReadWriteCreate) == kErrorSuccess &&
          progIdClass.QueryString(L"", kComValueBytes, &classId) == kErrorSuccess) {
        engine.ReportEntryExamined(ClassesKeyInView(JoinPath(kClsidKey, classId), view));
        if (auto problem = JudgeProgIdClass(engine, hive, view, progId, classId)) {
          engine.AddProblem(std::move(problem));
        }
      }
    }
    if (engine.ShouldStop()) return;
  }
}

}  // namespace

std::unique_ptr<CRegistryProblem> JudgeClassAppId(CRegistryCleaner& engine,
                                                  const CLASSES_HIVE& hive, REGISTRY_VIEW view,
                                                  std::wstring_view classId,
                                                  std::wstring_view appId) {
  IRegistry& registry = engine.Platform().registry;
  const std::wstring appIdPath = JoinPath(kAppIdKey, appId);
  if (RegisteredInEitherHive(registry, appIdPath) ||
      (view == VIEW_32BIT && RegisteredInEitherHive(registry, ClassesKeyInView(appIdPath, view)))) {
    return nullptr;
  }
  auto problem = std::make_unique<CRegistryProblem>(
      JoinPath(HiveClassesKeyText(hive, kClsidKey, view), classId), std::wstring(kAppIdValue),
      std::wstring(appId), REGPROBLEM_COM);
  problem->evidence = {EVIDENCE_NOT_REGISTERED, JoinPath(kHkeyClassesRootName, appIdPath), L""};
  return problem;
}

std::unique_ptr<CRegistryProblem> JudgeProgIdClass(CRegistryCleaner& engine,
                                                   const CLASSES_HIVE& hive, REGISTRY_VIEW view,
                                                   std::wstring_view progId,
                                                   std::wstring_view classId) {
  if (!classId.starts_with(L'{') ||
      ClassRegistered(engine.Platform().registry, classId, view, view == VIEW_64BIT)) {
    return nullptr;
  }
  const std::wstring classPath = ClassesKeyInView(JoinPath(kClsidKey, classId), view);
  auto problem = std::make_unique<CRegistryProblem>(
      HiveClassesKeyText(hive, JoinPath(progId, kClsidKey), view),
      std::wstring(kDefaultValueProblemName), std::wstring(classId), REGPROBLEM_COM);
  problem->evidence = {EVIDENCE_NOT_REGISTERED, JoinPath(kHkeyClassesRootName, classPath), L""};
  return problem;
}

void CheckComObjects(CRegistryCleaner& engine) {
  for (const CLASSES_HIVE& hive : kClassesHives) {
    for (const REGISTRY_VIEW view : ClassesViews(engine.Platform().registry, hive)) {
      if (engine.IsCancelled()) return;
      CheckClassAppIds(engine, hive, view);
      CheckProgIdClasses(engine, hive, view);
    }
  }
}

}  // namespace qv
