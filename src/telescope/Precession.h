#pragma once

namespace zorvane {

struct Equatorial {
    double raDegrees = 0;
    double decDegrees = 0;
};

// Julian centuries from J2000.0 to a moment given in seconds since 1970 (UTC).
double CenturiesSinceJ2000(double unixSeconds);

// Coordinates referred to the mean equator and equinox of a date (what mounts report), carried
// back to J2000.0 with the IAU 1976 precession; `centuries` from CenturiesSinceJ2000. Right
// ascension comes back within 0..360.
Equatorial PrecessToJ2000(Equatorial ofDate, double centuries);

}  // namespace zorvane
