// The EXIF reader over the parts of a file read in pieces.
#include "checks/record_parts.h"

#include <vector>

platform::PartsWanted ReadRecordParts(const platform::FileParts& parts, ExifRecord* record,
                                      ExifResult* result) {
  // Both sides keep their own record of a piece: the reader knows no platform.
  std::vector<FilePiece> pieces;
  pieces.reserve(parts.piece_count);
  for (std::size_t k = 0; k < parts.piece_count; ++k) {
    pieces.push_back(FilePiece{parts.pieces[k].offset, parts.pieces[k].data, parts.pieces[k].size});
  }
  ByteRequest more;
  *result = record->read_jpeg(FileBytes{parts.head, parts.head_size, parts.tail, parts.tail_size,
                                        parts.size, pieces.data(), pieces.size()},
                              &more);
  if (*result != exif_result::needs_more_bytes) return platform::PartsWanted{};
  return platform::PartsWanted{false, more.end_marker, more.from, more.to};
}
