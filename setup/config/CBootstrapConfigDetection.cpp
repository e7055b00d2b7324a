// Detection of the prerequisites: what the machine holds of each, and the state that follows.
#include "CBootstrapConfig.h"
#include "PrerequisiteSearch.h"

namespace {

// The setup runs on Linux, which takes the place of the NT family.
constexpr int kThisSystemFamily = 1;
constexpr int kOtherSystemFamily = 0;

const QString kMsiDll = QStringLiteral("[SystemFolder]msi.dll");

QStringList search(const PrerequisiteInfo& info) {
  switch (info.searchType) {
    case SearchType::File:
      return PrerequisiteSearch::SearchFiles(info.searchString);
    case SearchType::RegistryKey:
      return PrerequisiteSearch::SearchRegistry(info.searchString);
    case SearchType::RegistryValue: {
      const QString valueForm = PrerequisiteSearch::RegistryValueSearch(info.searchString);
      return valueForm.isEmpty() ? QStringList() : PrerequisiteSearch::SearchRegistry(valueForm);
    }
    default:
      return {};
  }
}

bool fits(const PrerequisiteInfo& info, const FourPartVersion& version) {
  const bool aboveMin = info.verMin.isEmpty() || FourPartVersion::Parse(info.verMin).Compare(version) <= 0;
  const bool belowMax = info.verMax.isEmpty() || version.Compare(FourPartVersion::Parse(info.verMax)) <= 0;
  return aboveMin && belowMax;
}

int stateOfKind(int kind) {
  if (kind == PrerequisiteKind::Download) return PrerequisiteState::Download;
  if (kind == PrerequisiteKind::WebSite) return PrerequisiteState::OpenSite;
  return PrerequisiteState::Install;
}

}  // namespace

void CBootstrapConfig::DetectAll() {
  foundVersions.resize(prerequisites.size());
  states.resize(prerequisites.size());
  for (qsizetype i = 0; i < prerequisites.size(); ++i) foundVersions[i] = search(prerequisites[i]);
  for (qsizetype i = 0; i < prerequisites.size(); ++i) states[i] = EvaluatePrerequisite(int(i));
}

void CBootstrapConfig::RedetectOne(int index) {
  if (index < 0 || index >= prerequisites.size()) return;
  foundVersions.resize(prerequisites.size());
  states.resize(prerequisites.size());
  foundVersions[index] = search(prerequisites[index]);
  states[index] = EvaluatePrerequisite(index);
}

int CBootstrapConfig::EvaluatePrerequisite(int index) const {
  const PrerequisiteInfo& info = prerequisites.at(index);
  if (info.targetOS == kOtherSystemFamily) return PrerequisiteState::NotForThisSystem;
  for (const QString& text : foundVersions.value(index)) {
    const FourPartVersion version = FourPartVersion::Parse(text);
    if (!version.IsEmpty() && fits(info, version)) return PrerequisiteState::NothingToDo;
  }
  return stateOfKind(info.kind);
}

bool CBootstrapConfig::HasWork() const {
  return std::any_of(states.begin(), states.end(), [](int state) {
    return state == PrerequisiteState::Install || state == PrerequisiteState::Download ||
           state == PrerequisiteState::OpenSite;
  });
}

bool CBootstrapConfig::HasMsiPrerequisite() const {
  return std::any_of(prerequisites.begin(), prerequisites.end(), [](const PrerequisiteInfo& info) {
    return info.searchString.compare(kMsiDll, Qt::CaseInsensitive) == 0 && info.targetOS == kThisSystemFamily;
  });
}

FourPartVersion CBootstrapConfig::GetMsiDllVersion() {
  const QStringList found = PrerequisiteSearch::SearchFiles(kMsiDll);
  return found.isEmpty() ? FourPartVersion() : FourPartVersion::Parse(found.first());
}
