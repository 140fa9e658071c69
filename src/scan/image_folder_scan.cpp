// Recursive scan of the image folder into the ImageList.
#include "scan/image_folder_scan.h"

#include <iostream>

#include "platform/platform.h"

namespace {

// `ancestors` holds the folders on the current descent path, so that a link
// back into one of them is not followed again and the scan always ends.
void ScanInto(const std::string& folder, std::vector<platform::FolderId>& ancestors,
              ImageList& result, ScanProblems& problems) {
  platform::FolderId id;
  std::vector<platform::FolderEntry> entries;
  std::string why;
  if (!platform::ListFolder(folder, &id, &entries, &why)) {
    std::cout << "can not found the file ... " << std::endl;
    if (ancestors.empty()) {
      // The caller tells the image folder itself, by its setting.
      problems.folder_listed = false;
      problems.folder_error = why;
    } else {
      platform::Warn("not checked: " + folder + ": the folder cannot be listed (" + why + ")");
      problems.unlisted.push_back(folder);
    }
    return;
  }
  for (const platform::FolderId& ancestor : ancestors) {
    if (platform::SameFolder(id, ancestor)) {
      platform::Warn("not scanning " + folder +
                     " again: it leads back into a folder being scanned");
      return;
    }
  }
  ancestors.push_back(id);
  for (const platform::FolderEntry& entry : entries) {
    if (!entry.is_folder) {
      result.push_back(platform::JoinPath(folder, entry.name));
    } else if (entry.name != "." && entry.name != "..") {
      ScanInto(platform::JoinPath(folder, entry.name), ancestors, result, problems);
    }
  }
  ancestors.pop_back();
}

}  // namespace

ImageList ScanImageFolder(const std::string& folder, ScanProblems* problems) {
  ImageList result;
  std::vector<platform::FolderId> ancestors;
  ScanProblems ignored;
  ScanInto(folder, ancestors, result, problems != nullptr ? *problems : ignored);
  return result;
}
