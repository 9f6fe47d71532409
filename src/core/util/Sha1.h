#pragma once
// SHA-1 (FIPS 180-4) of a byte string, for services that sign requests with
// it. Not for anything that needs collision resistance.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessarine {

std::array<uint8_t, 20> Sha1(std::string_view data);
// The digest as 40 lower-case hexadecimal digits.
std::string Sha1Hex(std::string_view data);

} // namespace tessarine
