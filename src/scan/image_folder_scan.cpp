// Recursive scan of the image folder into the ImageList.
#include "scan/image_folder_scan.h"

#include <iostream>

#include "platform/platform.h"

namespace {

// `ancestors` holds the folders on the current descent path, so that a link
// back into one of them is not followed again and the scan always ends.
void ScanInto(const std::string& folder, std::vector<platform::FolderId>& ancestors,
              ImageList& result) {
  platform::FolderId id;
  std::vector<platform::FolderEntry> entries;
  if (!platform::ListFolder(folder, &id, &entries)) {
    std::cout << "can not found the file ... " << std::endl;
    return;
  }
  for (const platform::FolderId& ancestor : ancestors) {
    if (platform::SameFolder(id, ancestor)) {
      std::cerr << "exifcheck: not scanning " << folder
                << " again: it leads back into a folder being scanned" << std::endl;
      return;
    }
  }
  ancestors.push_back(id);
  for (const platform::FolderEntry& entry : entries) {
    if (!entry.is_folder) {
      result.push_back(platform::JoinPath(folder, entry.name));
    } else if (entry.name != "." && entry.name != "..") {
      ScanInto(platform::JoinPath(folder, entry.name), ancestors, result);
    }
  }
  ancestors.pop_back();
}

}  // namespace

ImageList ScanImageFolder(const std::string& folder) {
  ImageList result;
  std::vector<platform::FolderId> ancestors;
  ScanInto(folder, ancestors, result);
  return result;
}
