#pragma once

#include <cstdint>

namespace umbra::sound {

// libsndfile gives each Ogg stream a random serial number (stamped on every page, which changes
// every page's checksum too), so two identical renders would differ. Gives every page of the
// finished Ogg file at fd the serial number given and its checksum anew. False when fd cannot
// be read back or holds something other than Ogg pages from its start.
bool StampOggSerial(int fd, uint32_t serial);

} // namespace umbra::sound
