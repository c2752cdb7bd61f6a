// The one error every decoder raises; it sits below the decoders so that none of them includes another.
#pragma once

#include <stdexcept>

// Any failure to decode a picture: unknown extension, unreadable file, damaged data, too large.
class PictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
