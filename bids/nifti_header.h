#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

// The fields of a NIfTI-1 or NIfTI-2 image header that a design needs: the number of volumes and
// the time between them. Only the header's bytes are read, never the image.
namespace bids {

// An image whose header cannot be used; the text names the file and says why.
class NiftiError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TimeUnit { seconds, milliseconds, microseconds, unknown, notTime };

struct NiftiHeader {
  int version = 1;                    // 1 or 2
  std::int64_t volumes = 1;           // dim[4]; 1 when the image has fewer than 4 dimensions
  double timeStep = 0;                // pixdim[4] in seconds (as given when the unit is unknown)
  TimeUnit unit = TimeUnit::unknown;  // the time unit of xyzt_units, before conversion
};

// The header of the image `file`: a .nii file, or a .nii.gz one unpacked through zlib as far as
// the header goes (at most 1 MiB of it read). Opens only a regular file. Throws NiftiError: an
// empty or short file, a wrong header size or magic, data that is not gzip or is damaged.
NiftiHeader readNiftiHeader(const std::filesystem::path& file);

// The header in `bytes`, the first bytes of an image (all of it when shorter than a header);
// `name` is the file for messages. Throws NiftiError as readNiftiHeader.
NiftiHeader parseNiftiHeader(std::string_view bytes, const std::string& name);

}  // namespace bids
