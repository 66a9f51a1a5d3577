#include "app/ProjectTitles.h"

#include "app/ProjectFileName.h"

bool StampSettled(const TFileStamp& stamp, std::uint64_t readingStart) {
  return stamp.LastWrite <= readingStart && readingStart - stamp.LastWrite >= kStampSettleTime;
}

std::string ProjectTitle(const std::string& path, TProjectFiles& files) {
  if (!MayNameProjectFile(path)) return {};
  const auto stamp = files.Look(path);
  // An empty file has no header; a special file found through a folder
  // reports no size either, and is never opened.
  if (!stamp || stamp->Size == 0) return {};
  return files.ReadTitle(path).value_or(std::string());
}

std::vector<std::string> TProjectTitleCache::Titles(const std::vector<std::string>& paths, TProjectFiles& files) {
  // Taken before any stamp is looked at: a write after it gets a later stamp
  // once the stamp it follows is settled against it.
  const std::uint64_t start = files.Now();
  std::unordered_map<std::string, TEntry> kept;
  std::vector<std::string> titles;
  titles.reserve(paths.size());
  for (const std::string& path : paths) {
    if (const auto again = kept.find(path); again != kept.end()) {
      titles.push_back(again->second.Title);
      continue;
    }
    const auto stamp = MayNameProjectFile(path) ? files.Look(path) : std::nullopt;
    if (!stamp || stamp->Size == 0) {
      titles.emplace_back();
      continue;
    }
    if (const auto old = entries_.find(path);
        old != entries_.end() && old->second.Settled && old->second.Stamp == *stamp) {
      titles.push_back(old->second.Title);
      kept.emplace(path, std::move(old->second));
      continue;
    }
    auto title = files.ReadTitle(path);
    // A failed read keeps nothing: the next opening tries again.
    if (!title) {
      titles.emplace_back();
      continue;
    }
    titles.push_back(*title);
    kept.emplace(path, TEntry{*stamp, std::move(*title), StampSettled(*stamp, start)});
  }
  entries_ = std::move(kept);
  return titles;
}
