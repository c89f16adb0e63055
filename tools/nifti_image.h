#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tools {

// Tiny NIfTI images for synthetic datasets and the tests: a valid NIfTI-1 or NIfTI-2 header
// (either byte order) over one voxel per volume, written from the published header layout, and
// gzip files made of stored deflate blocks, so that no compression library is needed.

struct NiftiImageShape {
  int version = 1;                       // 1 or 2
  bool bigEndian = false;                // the byte order of every field
  std::int64_t volumes = 1;              // dim[4]
  double timeStep = 2.0;                 // pixdim[4], in the unit of `xyztUnits`
  std::uint8_t xyztUnits = 0x02 | 0x08;  // millimetres and seconds
};

// The bytes of a 1x1x1xN image: the header, the 4 bytes after it and N zero voxels (uint8).
std::string niftiImage(const NiftiImageShape& shape);

// `bytes` as a gzip file (one member, stored blocks, CRC-32 and size at its end).
std::string gzipStored(std::string_view bytes);

}  // namespace tools
