// Recursive scan of the image folder into the ImageList.
#include "scan/image_folder_scan.h"

#include <cctype>
#include <iostream>

#include "platform/platform.h"

namespace {

// Windows takes names in any letter case; elsewhere a name in another case
// is another file, which its identity tells.
bool SameNameAnyCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Only a name of the run's own files costs a look at the file's identity,
// which follows links as the listing does.
bool IsOwnOutput(const std::string& path, const std::string& name,
                 const std::vector<OwnOutput>& own) {
  for (const OwnOutput& file : own) {
    if (file.id.known && SameNameAnyCase(name, file.name)) {
      return platform::SameFile(platform::IdentifyFile(path, true), file.id);
    }
  }
  return false;
}

struct ScanState {
  // The folders on the current descent path, so that a link back into one
  // of them is not followed again and the scan always ends.
  std::vector<platform::FolderId> ancestors;
  const std::vector<OwnOutput>& own;
  ImageList& result;
  ScanProblems& problems;
};

void ScanInto(const std::string& folder, ScanState& scan) {
  platform::FolderId id;
  std::vector<platform::FolderEntry> entries;
  std::string why;
  if (!platform::ListFolder(folder, &id, &entries, &why)) {
    std::cout << "can not found the file ... " << std::endl;
    if (scan.ancestors.empty()) {
      // The caller tells the image folder itself, by its setting.
      scan.problems.folder_listed = false;
      scan.problems.folder_error = why;
    } else {
      platform::Warn("not checked: " + folder + ": the folder cannot be listed (" + why + ")");
      scan.problems.unlisted.push_back(folder);
    }
    return;
  }
  for (const platform::FolderId& ancestor : scan.ancestors) {
    if (platform::SameFile(id, ancestor)) {
      platform::Warn("not scanning " + folder +
                     " again: it leads back into a folder being scanned");
      return;
    }
  }
  scan.ancestors.push_back(id);
  for (const platform::FolderEntry& entry : entries) {
    std::string path = platform::JoinPath(folder, entry.name);
    if (!entry.is_folder) {
      if (!IsOwnOutput(path, entry.name, scan.own)) scan.result.push_back(std::move(path));
    } else if (entry.name != "." && entry.name != "..") {
      ScanInto(path, scan);
    }
  }
  scan.ancestors.pop_back();
}

}  // namespace

std::string PathBelow(const std::string& path, const std::string& folder) {
  if (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
      std::string(platform::kPathSeparators).find(path[folder.size()]) != std::string::npos) {
    return path.substr(folder.size() + 1);
  }
  return path;
}

ImageList ScanImageFolder(const std::string& folder, ScanProblems* problems,
                          const std::vector<OwnOutput>& own) {
  ImageList result;
  ScanProblems ignored;
  ScanState scan{{}, own, result, problems != nullptr ? *problems : ignored};
  ScanInto(folder, scan);
  return result;
}
