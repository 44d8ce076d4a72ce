#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zvf/SecureString.h"

namespace zvf {

// The Base64 family as free functions. The base64_ forms use the standard
// alphabet with "=" padding, the base64url_ forms the URL-safe alphabet with
// the padding written "%3D". Line breaks are "\r\n" after every 72 encoded
// characters. Decoders return 0 on success, -1 for empty input, -2 for
// malformed input and -3 when the text does not split into groups of four;
// they append to `out`.

std::string base64_encode(const unsigned char* data, uint32_t length, bool lineBreaks = false);
std::string base64_encode_without_padding(const unsigned char* data, uint32_t length, bool lineBreaks = false);
int base64_decode(const std::string& text, std::vector<unsigned char>& out);
int base64_decode_without_padding(const std::string& text, std::vector<unsigned char>& out);

std::string base64url_encode(const unsigned char* data, uint32_t length, bool lineBreaks = false);
std::string base64url_encode_without_padding(const unsigned char* data, uint32_t length, bool lineBreaks = false);
int base64url_decode(const std::string& text, std::vector<unsigned char>& out);
int base64url_decode_without_padding(const std::string& text, std::vector<unsigned char>& out);

// Secret text between byte form and Base64 form without copies in ordinary
// strings. The decoder returns 0 or -1 and changes `out` only on success.
SecureString base64_discreet_encode(const unsigned char* data, uint32_t length, bool lineBreaks = false);
int base64_discreet_decode(const SecureString& encoded, SecureString& out);

}  // namespace zvf
