// Every file below a folder, for the bench programs that touch a whole
// survey; the order does not matter to them.
#ifndef EXIFCHECK_BENCH_WALK_FILES_H_
#define EXIFCHECK_BENCH_WALK_FILES_H_

#include <dirent.h>

#include <string>

template <typename Visit>
void ForEachFile(const std::string& folder, Visit visit) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "/" + name;
    if (entry->d_type == DT_DIR) {
      ForEachFile(path, visit);
    } else {
      visit(path);
    }
  }
  closedir(dir);
}

#endif  // EXIFCHECK_BENCH_WALK_FILES_H_
