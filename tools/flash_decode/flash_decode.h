// flash_decode: the device image's logs read from a dump of its external flash, with
// the firmware's own record formats, position rules and listings (Core/Inc).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "exflash_format.h"

namespace flash_decode {

// What the decoder reads: the external flash as the chip holds it (erased = 0xFF),
// and, from a board directory, the internal flash.
struct Image {
    std::vector<uint8_t> nor;       // EXFLASH_SIZE bytes
    std::vector<uint8_t> intflash;  // empty unless read from a board directory
    std::string source;
};

// Reads a simulator board directory (nor.img stored bit-inverted, intflash.bin) or a
// raw dump of the chip (at most 32 MiB; what is missing reads erased); "-" reads a
// raw dump from standard input. False with a message when the input is unusable.
bool load(const std::string &path, Image &image, std::string &error);

enum class Format { Text, Csv, Json };

struct Options {
    Format format = Format::Text;
    bool blocks = false;  // list sensor-data blocks first_block..last_block
    int first_block = 0;
    int last_block = 0;
};

// Writes the listings (or CSV / JSON), the recovered write positions and the
// findings. Reads only inside the image.
void decode(const Image &image, const Options &options, std::ostream &out);

// The flash reader over an image: page and offset checked against the chip.
exflash_reader reader_of(const Image &image);

}  // namespace flash_decode
