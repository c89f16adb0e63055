#include "nifti_image.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace tools {

namespace {

// Header fields written at their offsets in the chosen byte order.
class HeaderBytes {
 public:
  HeaderBytes(std::size_t size, bool bigEndian) : bytes_(size, '\0'), bigEndian_(bigEndian) {}
  template <typename Unsigned>
  void put(std::size_t offset, Unsigned value) {
    for (std::size_t i = 0; i < sizeof value; ++i) {
      const std::size_t at = bigEndian_ ? sizeof value - 1 - i : i;
      bytes_[offset + at] = static_cast<char>((value >> (8 * i)) & 0xff);
    }
  }
  void int16(std::size_t at, std::int64_t v) { put(at, static_cast<std::uint16_t>(v)); }
  void int32(std::size_t at, std::int64_t v) { put(at, static_cast<std::uint32_t>(v)); }
  void int64(std::size_t at, std::int64_t v) { put(at, static_cast<std::uint64_t>(v)); }
  void float32(std::size_t at, double v) {
    put(at, std::bit_cast<std::uint32_t>(static_cast<float>(v)));
  }
  void float64(std::size_t at, double v) { put(at, std::bit_cast<std::uint64_t>(v)); }
  void text(std::size_t at, std::string_view t) {
    std::memcpy(bytes_.data() + at, t.data(), t.size());
  }
  std::string& bytes() { return bytes_; }

 private:
  std::string bytes_;
  bool bigEndian_;
};

void appendLittle(std::string& out, std::uint32_t value, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

std::uint32_t crc32(std::string_view bytes) {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xedb88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  std::uint32_t crc = 0xffffffffu;
  for (const char byte : bytes)
    crc = table[(crc ^ static_cast<unsigned char>(byte)) & 0xff] ^ (crc >> 8);
  return crc ^ 0xffffffffu;
}

}  // namespace

std::string niftiImage(const NiftiImageShape& shape) {
  const bool one = shape.version == 1;
  const std::size_t headerSize = one ? 348 : 540, dataOffset = headerSize + 4;
  HeaderBytes header(dataOffset, shape.bigEndian);
  const std::array<std::int64_t, 8> dim{4, 1, 1, 1, shape.volumes, 1, 1, 1};
  const std::array<double, 8> pixdim{1, 1, 1, 1, shape.timeStep, 0, 0, 0};
  header.int32(0, static_cast<std::int64_t>(headerSize));
  for (std::size_t i = 0; i < 8; ++i) {
    if (one) {
      header.int16(40 + 2 * i, dim[i]);
      header.float32(76 + 4 * i, pixdim[i]);
    } else {
      header.int64(16 + 8 * i, dim[i]);
      header.float64(104 + 8 * i, pixdim[i]);
    }
  }
  // datatype 2 (unsigned char), bitpix 8, the voxels right after the header's 4 extra bytes.
  header.int16(one ? 70 : 12, 2);
  header.int16(one ? 72 : 14, 8);
  if (one) {
    header.float32(108, static_cast<double>(dataOffset));
    header.bytes()[123] = static_cast<char>(shape.xyztUnits);
    header.text(344, std::string_view("n+1\0", 4));
  } else {
    header.int64(168, static_cast<std::int64_t>(dataOffset));
    header.int32(500, shape.xyztUnits);
    header.text(4, std::string_view("n+2\0\r\n\032\n", 8));
  }
  std::string image = std::move(header.bytes());
  image.append(static_cast<std::size_t>(shape.volumes), '\0');
  return image;
}

std::string gzipStored(std::string_view bytes) {
  // ID1 ID2, deflate, no flags, no time, no extra flags, unknown system.
  std::string out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
  constexpr std::size_t maxBlock = 65535;
  std::size_t at = 0;
  do {
    const std::size_t length = std::min(maxBlock, bytes.size() - at);
    const bool last = at + length == bytes.size();
    out += static_cast<char>(last ? 1 : 0);  // BFINAL, BTYPE 00: stored
    appendLittle(out, static_cast<std::uint32_t>(length), 2);
    appendLittle(out, static_cast<std::uint32_t>(~length & 0xffff), 2);
    out.append(bytes.substr(at, length));
    at += length;
  } while (at < bytes.size());
  appendLittle(out, crc32(bytes), 4);
  appendLittle(out, static_cast<std::uint32_t>(bytes.size() & 0xffffffffu), 4);
  return out;
}

}  // namespace tools
