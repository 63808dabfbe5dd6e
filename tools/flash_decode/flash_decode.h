// flash_decode: the logs of either image read from a dump of its external flash, with
// the firmware's own record formats, position rules and listings (Core/Inc for the
// device image, datalogger/ for the data logger).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// The device image's reader (exflash_format.h); the two images' format headers are
// compiled apart, each in its own file of the decoder.
struct exflash_reader;

namespace flash_decode {

// What the decoder reads: the external flash (erased = 0xFF) and, from a board
// directory, the internal flash. A board's NOR image is mapped, not read, and kept
// as stored (bit-inverted): a mostly erased chip costs next to nothing.
class Image {
  public:
    Image() = default;
    ~Image();
    Image(const Image &) = delete;
    Image &operator=(const Image &) = delete;

    // Chip bytes [addr, addr + n), which must lie on the chip.
    void copy(uint32_t addr, uint8_t *out, uint32_t n) const;
    bool erased(uint32_t addr, uint32_t n) const;

    std::vector<uint8_t> intflash;  // empty unless read from a board directory
    std::string source;
    std::string image_name;  // the firmware image a board directory names, if any

  private:
    friend bool load(const std::string &path, Image &image, std::string &error);
    void reset();
    std::vector<uint8_t> owned_;  // a raw dump, padded with erased bytes
    const uint8_t *bytes_ = nullptr;
    void *map_ = nullptr;
    bool inverted_ = false;
};

// Reads a simulator board directory (nor.img stored bit-inverted, intflash.bin) or a
// raw dump of the chip (at most 32 MiB; what is missing reads erased); "-" reads a
// raw dump from standard input. False with a message when the input is unusable.
bool load(const std::string &path, Image &image, std::string &error);

enum class Format { Text, Csv, Json };

// Whose layout the flash holds: the device image's or the data logger's. Auto takes
// the one of the image a board directory names, else the device's.
enum class Layout { Auto, Device, Logger };

struct Options {
    Format format = Format::Text;
    Layout layout = Layout::Auto;
    bool blocks = false;  // list sensor-data blocks first_block..last_block
    int first_block = 0;
    int last_block = 0;
};

// The layout decode() reads `image` with.
Layout layout_of(const Image &image, const Options &options);

// Writes the listings (or CSV / JSON), the recovered write positions and the
// findings. Reads only inside the image.
void decode(const Image &image, const Options &options, std::ostream &out);
// The same for the data logger's layout (logger_decode.cpp).
void decode_logger(const Image &image, const Options &options, std::ostream &out);

// The flash reader over an image: page and offset checked against the chip.
exflash_reader reader_of(const Image &image);

}  // namespace flash_decode
