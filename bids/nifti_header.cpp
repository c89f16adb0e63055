#include "nifti_header.h"

#include <unistd.h>
#include <zlib.h>

#include <array>
#include <bit>
#include <cstring>
#include <limits>

#include "regular_file.h"

namespace fs = std::filesystem;

namespace bids {

namespace {

constexpr std::int64_t nifti1Size = 348, nifti2Size = 540;
// A header lies at the start of its gzip stream; far more than this without it is no image.
constexpr std::size_t maxPacked = std::size_t{1} << 20;

// The bytes of a header field at `offset`, in the file's byte order.
class Fields {
 public:
  Fields(std::string_view bytes, bool swap) : bytes_(bytes), swap_(swap) {}
  template <typename Unsigned>
  Unsigned bits(std::size_t offset) const {
    Unsigned value{};
    std::memcpy(&value, bytes_.data() + offset, sizeof value);
    if (!swap_) return value;
    Unsigned swapped{};
    for (std::size_t i = 0; i < sizeof value; ++i)
      swapped = static_cast<Unsigned>((swapped << 8) | ((value >> (8 * i)) & 0xff));
    return swapped;
  }
  std::int64_t int16(std::size_t at) const {
    return std::bit_cast<std::int16_t>(bits<std::uint16_t>(at));
  }
  std::int64_t int32(std::size_t at) const {
    return std::bit_cast<std::int32_t>(bits<std::uint32_t>(at));
  }
  std::int64_t int64(std::size_t at) const {
    return std::bit_cast<std::int64_t>(bits<std::uint64_t>(at));
  }
  double float32(std::size_t at) const { return std::bit_cast<float>(bits<std::uint32_t>(at)); }
  double float64(std::size_t at) const { return std::bit_cast<double>(bits<std::uint64_t>(at)); }

 private:
  std::string_view bytes_;
  bool swap_;
};

TimeUnit unitOf(std::int64_t xyztUnits) {
  switch (xyztUnits & 0x38) {
    case 0:
      return TimeUnit::unknown;
    case 8:
      return TimeUnit::seconds;
    case 16:
      return TimeUnit::milliseconds;
    case 24:
      return TimeUnit::microseconds;
    default:
      return TimeUnit::notTime;
  }
}

double inSeconds(double step, TimeUnit unit) {
  if (unit == TimeUnit::milliseconds) return step / 1e3;
  if (unit == TimeUnit::microseconds) return step / 1e6;
  return step;
}

// The unpacked start of a gzip file, `wanted` bytes at most.
std::string unpackStart(int fd, const std::string& name, std::size_t wanted) {
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) throw NiftiError(name + ": cannot unpack");
  std::string out(wanted, '\0'), in(65536, '\0');
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(wanted);
  std::size_t packed = 0;
  int status = Z_OK;
  while (status == Z_OK && stream.avail_out > 0 && packed < maxPacked) {
    if (stream.avail_in == 0) {
      const ssize_t got = read(fd, in.data(), in.size());
      if (got <= 0) break;
      packed += static_cast<std::size_t>(got);
      stream.next_in = reinterpret_cast<Bytef*>(in.data());
      stream.avail_in = static_cast<uInt>(got);
    }
    status = inflate(&stream, Z_NO_FLUSH);
  }
  const std::string message = stream.msg != nullptr ? stream.msg : "";
  out.resize(wanted - stream.avail_out);
  inflateEnd(&stream);
  if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
    throw NiftiError(name + ": damaged gzip data (" + message + ")");
  if (out.size() < wanted && status != Z_STREAM_END && packed >= maxPacked)
    throw NiftiError(name + ": no NIfTI header in the first " + std::to_string(maxPacked) +
                     " bytes of gzip data");
  return out;
}

// The start of the file: up to `wanted` bytes.
std::string readStart(int fd, std::size_t wanted) {
  std::string out(wanted, '\0');
  std::size_t have = 0;
  while (have < wanted) {
    const ssize_t got = read(fd, out.data() + have, wanted - have);
    if (got <= 0) break;
    have += static_cast<std::size_t>(got);
  }
  out.resize(have);
  return out;
}

}  // namespace

NiftiHeader parseNiftiHeader(std::string_view bytes, const std::string& name) {
  if (bytes.empty()) throw NiftiError(name + " is 0 bytes: not a NIfTI image (a placeholder?)");
  if (bytes.size() < 4)
    throw NiftiError(name + " is " + std::to_string(bytes.size()) +
                     " bytes: shorter than a NIfTI header (a placeholder?)");
  const std::int64_t size = Fields(bytes, false).int32(0),
                     swappedSize = Fields(bytes, true).int32(0);
  const bool swap = size != nifti1Size && size != nifti2Size;
  const std::int64_t headerSize = swap ? swappedSize : size;
  if (headerSize != nifti1Size && headerSize != nifti2Size)
    throw NiftiError(name + ": not a NIfTI image (its first 4 bytes give a header size of " +
                     std::to_string(size) + ", not 348 or 540)");
  if (bytes.size() < static_cast<std::size_t>(headerSize))
    throw NiftiError(name + " is " + std::to_string(bytes.size()) +
                     " bytes: shorter than a NIfTI header (a placeholder?)");
  const Fields fields(bytes, swap);
  NiftiHeader header;
  header.version = headerSize == nifti1Size ? 1 : 2;
  const std::string_view magic = header.version == 1 ? bytes.substr(344, 4) : bytes.substr(4, 8);
  const bool magicOk = header.version == 1 ? magic == std::string_view("n+1\0", 4) ||
                                                 magic == std::string_view("ni1\0", 4)
                                           : magic == std::string_view("n+2\0\r\n\032\n", 8) ||
                                                 magic == std::string_view("ni2\0\r\n\032\n", 8);
  if (!magicOk)
    throw NiftiError(name + ": not a NIfTI-" + std::to_string(header.version) +
                     " image (wrong magic)");
  const auto dim = [&](std::size_t i) {
    return header.version == 1 ? fields.int16(40 + 2 * i) : fields.int64(16 + 8 * i);
  };
  const std::int64_t dimensions = dim(0);
  if (dimensions < 1 || dimensions > 7)
    throw NiftiError(name + ": not a NIfTI image (dim[0] is " + std::to_string(dimensions) +
                     ", not 1 to 7)");
  header.volumes = dimensions < 4 ? 1 : dim(4);
  if (header.volumes < 1 || header.volumes > std::numeric_limits<std::int32_t>::max())
    throw NiftiError(name + ": " + std::to_string(header.volumes) + " volumes (dim[4])");
  header.unit =
      unitOf(header.version == 1 ? static_cast<unsigned char>(bytes[123]) : fields.int32(500));
  const double step = header.version == 1 ? fields.float32(76 + 16) : fields.float64(104 + 32);
  header.timeStep = inSeconds(step, header.unit);
  return header;
}

NiftiHeader readNiftiHeader(const fs::path& file) {
  const std::string name = file.string();
  const int fd = openRegularFile(file);
  std::string start;
  bool unpacked = false;
  try {
    start = readStart(fd, static_cast<std::size_t>(nifti2Size));
    if (name.ends_with(".gz") && !start.empty()) {
      if (start.size() < 2 || start[0] != '\x1f' || start[1] != '\x8b')
        throw NiftiError(name + ": not gzip data (no gzip signature at its start)");
      if (lseek(fd, 0, SEEK_SET) != 0) throw NiftiError(name + ": cannot be read again");
      start = unpackStart(fd, name, static_cast<std::size_t>(nifti2Size));
      unpacked = true;
    }
  } catch (...) {
    close(fd);
    throw;
  }
  close(fd);
  // A short or wrong header of a .nii.gz is one of its unpacked bytes.
  return parseNiftiHeader(start, unpacked ? name + " unpacked" : name);
}

}  // namespace bids
