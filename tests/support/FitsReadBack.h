#pragma once

// A saved FITS frame read back through cfitsio, every pixel of it: its size and FILTER, or why
// it could not be read. For tests that link cfitsio.
#include <fitsio.h>

#include <string>
#include <vector>

namespace zorvane::test {

struct FitsContent {
    long width = 0, height = 0;
    std::string filter, error;
};

inline FitsContent ReadFitsBack(const std::string& path) {
    FitsContent c;
    fitsfile* f = nullptr;
    int status = 0;
    long size[2] = {0, 0};
    if (fits_open_image(&f, path.c_str(), READONLY, &status) == 0 &&
        fits_get_img_size(f, 2, size, &status) == 0) {
        std::vector<unsigned short> pixels(static_cast<size_t>(size[0] * size[1]));
        long first[2] = {1, 1};
        fits_read_pix(f, TUSHORT, first, static_cast<LONGLONG>(pixels.size()), nullptr,
                      pixels.data(), nullptr, &status);
        char value[FLEN_VALUE] = {}, comment[FLEN_COMMENT] = {};
        int missing = 0;
        if (fits_read_keyword(f, "FILTER", value, comment, &missing) == 0) c.filter = value;
    }
    if (f) fits_close_file(f, &status);
    if (status) {
        char text[FLEN_STATUS] = {};
        fits_get_errstatus(status, text);
        c.error = text;
    }
    c.width = size[0];
    c.height = size[1];
    return c;
}

}  // namespace zorvane::test
