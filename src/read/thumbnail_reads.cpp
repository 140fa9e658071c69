// Reading the chosen thumbnails in flight, as the frames were read.
#include "read/thumbnail_reads.h"

#include <cstdint>
#include <utility>

namespace {

reading::Listed<std::string> ReadThumbnail(const std::string& path, const ThumbnailPlace& place) {
  reading::Listed<std::string> listed;
  platform::ImageFileHandle file(nullptr, platform::CloseImageFile);
  std::uint64_t size = 0;
  listed.result = platform::OpenImageFile(path, &file, &size, &listed.why);
  if (listed.result != platform::FileRead::kRead) return listed;
  // The frame may have changed since it was read: a place past its end now
  // reads nothing.
  if (place.offset > size || size - place.offset < place.size) {
    listed.result = platform::FileRead::kReadShort;
    return listed;
  }
  listed.value.resize(place.size);
  if (!platform::ReadImageAt(*file, reinterpret_cast<unsigned char*>(&listed.value[0]), place.size,
                             place.offset)) {
    listed.result = platform::FileRead::kReadShort;
    listed.value.clear();
  }
  return listed;
}

}  // namespace

ThumbnailReads ReadThumbnails(const FrameStore& store, const std::vector<std::size_t>& frames,
                              std::size_t most, std::size_t budget) {
  ThumbnailReads out;
  std::vector<std::size_t> chosen;
  // The readers' own copies: the store stays the main thread's.
  std::vector<std::pair<std::string, ThumbnailPlace>> wanted;
  std::size_t bytes = 0;
  for (const std::size_t index : frames) {
    const ThumbnailPlace& place = store.At(index).thumbnail;
    if (place.size == 0) continue;
    ++out.carried;
    if (chosen.size() == most || bytes + place.size > budget) continue;
    bytes += place.size;
    chosen.push_back(index);
    wanted.emplace_back(store.Path(index), place);
  }
  // Read as the frames were, many at a time where each request waits: on a
  // share the page would otherwise add a wait for each frame it shows.
  reading::ListReads<std::string> reads(
      chosen.size(), kFramesInFlight, reading::ReadPlan(),
      [wanted = std::move(wanted)](std::size_t i, const reading::ReadPlan&, bool* /*waited*/) {
        return ReadThumbnail(wanted[i].first, wanted[i].second);
      });
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    reading::Listed<std::string> listed = reads.Await(i);
    const std::string& jpeg = listed.value;
    // Only a JPEG is shown as one.
    if (listed.result != platform::FileRead::kRead || jpeg.size() < 4 || jpeg[0] != '\xFF' ||
        jpeg[1] != '\xD8') {
      continue;
    }
    out.shown.push_back({chosen[i], std::move(listed.value)});
  }
  return out;
}
