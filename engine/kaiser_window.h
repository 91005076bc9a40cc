// What the Kaiser window of the rate conversions' filters is made of.
#pragma once

// The modified Bessel function of the first kind, order 0, by its series.
inline double BesselI0(double x) {
    double sum = 1, term = 1;
    const double q = x * x / 4;
    for (int k = 1; k < 200 && term > sum * 1e-17; ++k) {
        term *= q / (double(k) * k);
        sum += term;
    }
    return sum;
}
