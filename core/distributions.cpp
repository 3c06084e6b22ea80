#include "core/distributions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
constexpr double kTiny = 1e-300;
constexpr int kSeriesLimit = 1000000;

double Polynomial(const double* coefficients, int count, double x)
{
    double sum = coefficients[count - 1];
    for (int k = count - 2; k >= 0; --k)
        sum = sum * x + coefficients[k];
    return sum;
}

// AS 241 (PPND16): rational approximations in three regions of p, about
// 1e-16 relative.
double Ppnd16(double p)
{
    static constexpr double a[] = {3.3871328727963666080e0, 1.3314166789178437745e+2, 1.9715909503065514427e+3,
                                   1.3731693765509461125e+4, 4.5921953931549871457e+4, 6.7265770927008700853e+4,
                                   3.3430575583588128105e+4, 2.5090809287301226727e+3};
    static constexpr double b[] = {1.0, 4.2313330701600911252e+1, 6.8718700749205790830e+2, 5.3941960214247511077e+3,
                                   2.1213794301586595867e+4, 3.9307895800092710610e+4, 2.8729085735721942674e+4,
                                   5.2264952788528545610e+3};
    static constexpr double c[] = {1.42343711074968357734e0, 4.63033784615654529590e0, 5.76949722146069140550e0,
                                   3.64784832476320460504e0, 1.27045825245236838258e0, 2.41780725177450611770e-1,
                                   2.27238449892691845833e-2, 7.74545014278341407640e-4};
    static constexpr double d[] = {1.0, 2.05319162663775882187e0, 1.67638483018380384940e0,
                                   6.89767334985100004550e-1, 1.48103976427480074590e-1, 1.51986665636164571966e-2,
                                   5.47593808499534494600e-4, 1.05075007164441684324e-9};
    static constexpr double e[] = {6.65790464350110377720e0, 5.46378491116411436990e0, 1.78482653991729133580e0,
                                   2.96560571828504891230e-1, 2.65321895265761230930e-2, 1.24266094738807843860e-3,
                                   2.71155556874348757815e-5, 2.01033439929228813265e-7};
    static constexpr double f[] = {1.0, 5.99832206555887937690e-1, 1.36929880922735805310e-1,
                                   1.48753612908506148525e-2, 7.86869131145613259100e-4, 1.84631831751005468180e-5,
                                   1.42151175831644588870e-7, 2.04426310338993978564e-15};
    const double q = p - 0.5;
    if (std::fabs(q) <= 0.425) {
        const double r = 0.180625 - q * q;
        return q * Polynomial(a, 8, r) / Polynomial(b, 8, r);
    }
    double r = std::sqrt(-std::log(q < 0.0 ? p : 1.0 - p));
    double x = 0.0;
    if (r <= 5.0) {
        r -= 1.6;
        x = Polynomial(c, 8, r) / Polynomial(d, 8, r);
    } else {
        r -= 5.0;
        x = Polynomial(e, 8, r) / Polynomial(f, 8, r);
    }
    return q < 0.0 ? -x : x;
}

// ln Gamma(a) - ((a - 1/2) ln a - a + ln(2 pi) / 2), the remainder of
// Stirling's series, for a >= 10 (error below 1e-17).
double StirlingRemainder(double a)
{
    const double a2 = a * a;
    return (1.0 / 12.0 - (1.0 / 360.0 - (1.0 / 1260.0 - (1.0 / 1680.0 - 1.0 / (1188.0 * a2)) / a2) / a2) / a2) / a;
}

constexpr double kStirlingFrom = 10.0;

// ln(x^a e^-x / Gamma(a)) without the cancellation of its large terms.
double LogGammaDensityTerm(double a, double x)
{
    if (a < kStirlingFrom)
        return a * std::log(x) - x - std::lgamma(a);
    const double d = (x - a) / a;
    return a * (std::log1p(d) - d) + 0.5 * std::log(a / (2.0 * std::numbers::pi)) - StirlingRemainder(a);
}

// ln Gamma(big + small) - ln Gamma(big).
double LogGammaRatio(double big, double small)
{
    if (big < kStirlingFrom)
        return std::lgamma(big + small) - std::lgamma(big);
    return (big - 0.5) * std::log1p(small / big) + small * std::log(big + small) - small +
           StirlingRemainder(big + small) - StirlingRemainder(big);
}

double LogBeta(double a, double b)
{
    const double big = std::max(a, b);
    const double small = std::min(a, b);
    return std::lgamma(small) - LogGammaRatio(big, small);
}

// ln x from x and y = 1 - x, whichever is exact.
double LogOf(double x, double y)
{
    return x > 0.5 ? std::log1p(-y) : std::log(x);
}

// Lentz's method divides by its partial values: a value that vanishes is
// replaced by a tiny one.
double NotTiny(double value)
{
    return std::fabs(value) < kTiny ? kTiny : value;
}

// Modified Lentz's method for the continued fraction of I_x(a, b).
double BetaFraction(double a, double b, double x)
{
    double c = 1.0;
    double d = 1.0 / NotTiny(1.0 - (a + b) * x / (a + 1.0));
    double h = d;
    for (int m = 1; m < kSeriesLimit; ++m) {
        const double m2 = 2.0 * m;
        double aa = m * (b - m) * x / ((a - 1.0 + m2) * (a + m2));
        d = 1.0 / NotTiny(1.0 + aa * d);
        c = NotTiny(1.0 + aa / c);
        h *= d * c;
        aa = -(a + m) * (a + b + m) * x / ((a + m2) * (a + 1.0 + m2));
        d = 1.0 / NotTiny(1.0 + aa * d);
        c = NotTiny(1.0 + aa / c);
        const double step = d * c;
        h *= step;
        if (std::fabs(step - 1.0) < kEpsilon)
            break;
    }
    return h;
}

// Solves tail(t) = target for t > 0 by Newton's method on ln tail over
// ln t, which is nearly straight in both tails: the step in ln t is
// (ln tail - ln target) * tail / (t density), with the sign of the tail's
// slope. logDensityTimesT(t) = ln(t density(t)).
template <class Tail, class LogDensityTimesT>
double SolveTail(double start, double target, bool upper, const Tail& tail, const LogDensityTimesT& logDensityTimesT)
{
    constexpr int kNewtonLimit = 200;
    constexpr double kLargestStep = 2.0;
    double t = start;
    for (int k = 0; k < kNewtonLimit; ++k) {
        const double value = tail(t);
        double step = (std::log(value) - std::log(target)) * value / std::exp(logDensityTimesT(t));
        if (!upper)
            step = -step;
        if (!std::isfinite(step))
            break;
        step = std::clamp(step, -kLargestStep, kLargestStep);
        t *= std::exp(step);
        if (std::fabs(step) < 4.0 * kEpsilon)
            break;
    }
    return t;
}

} // namespace

TailPair RegularizedGamma(double a, double x)
{
    if (x <= 0.0)
        return {0.0, 1.0};
    const double front = std::exp(LogGammaDensityTerm(a, x));
    if (x < a + 1.0) {
        double term = 1.0 / a;
        double sum = term;
        for (int n = 1; n < kSeriesLimit && term > sum * kEpsilon; ++n) {
            term *= x / (a + n);
            sum += term;
        }
        const double lower = front * sum;
        return {lower, 1.0 - lower};
    }
    // Legendre's continued fraction for Q by the modified Lentz method.
    double b = x + 1.0 - a;
    double c = 1.0 / kTiny;
    double d = 1.0 / b;
    double h = d;
    for (int n = 1; n < kSeriesLimit; ++n) {
        const double an = -n * (n - a);
        b += 2.0;
        d = 1.0 / NotTiny(an * d + b);
        c = NotTiny(b + an / c);
        const double step = d * c;
        h *= step;
        if (std::fabs(step - 1.0) < kEpsilon)
            break;
    }
    const double upper = front * h;
    return {1.0 - upper, upper};
}

TailPair RegularizedBeta(double a, double b, double x, double y)
{
    if (x <= 0.0)
        return {0.0, 1.0};
    if (y <= 0.0)
        return {1.0, 0.0};
    const double front = std::exp(a * LogOf(x, y) + b * LogOf(y, x) - LogBeta(a, b));
    if (x < (a + 1.0) / (a + b + 2.0)) {
        const double lower = front * BetaFraction(a, b, x) / a;
        return {lower, 1.0 - lower};
    }
    const double upper = front * BetaFraction(b, a, y) / b;
    return {1.0 - upper, upper};
}

double NormalQuantile(double p)
{
    if (!(p > 0.0 && p < 1.0))
        return kNaN;
    double x = Ppnd16(p);
    // One Halley step on Phi(x) = p, each side from its own tail.
    const double tail = p < 0.5 ? 0.5 * std::erfc(-x / std::numbers::sqrt2) - p
                                : (1.0 - p) - 0.5 * std::erfc(x / std::numbers::sqrt2);
    const double u = tail * std::sqrt(2.0 * std::numbers::pi) * std::exp(0.5 * x * x);
    x -= u / (1.0 + 0.5 * x * u);
    return x;
}

double ChiSquareQuantile(double p, double k)
{
    if (!(p > 0.0 && p < 1.0) || !(k >= 1.0) || !std::isfinite(k))
        return kNaN;
    const double a = 0.5 * k;
    const bool upper = p > 0.5;
    const double target = upper ? 1.0 - p : p;
    // Wilson and Hilferty's cube, or for the far lower tail of few degrees
    // P(a, y) ~ y^a / Gamma(a + 1).
    const double h = 2.0 / (9.0 * k);
    const double cube = 1.0 - h + NormalQuantile(p) * std::sqrt(h);
    double start = cube > 0.0 ? k * cube * cube * cube : 0.0;
    if (!upper && (cube <= 0.0 || start < 0.1 * k))
        start = 2.0 * std::exp((std::log(target) + std::lgamma(a + 1.0)) / a);
    const auto tail = [a, upper](double x) {
        const TailPair pair = RegularizedGamma(a, 0.5 * x);
        return upper ? pair.upper : pair.lower;
    };
    // x f(x) = y^a e^-y / Gamma(a) with y = x / 2.
    const auto logDensityTimesX = [a](double x) { return LogGammaDensityTerm(a, 0.5 * x); };
    return SolveTail(start, target, upper, tail, logDensityTimesX);
}

double StudentTQuantile(double p, double nu)
{
    if (!(p > 0.0 && p < 1.0) || !(nu >= 1.0) || !std::isfinite(nu))
        return kNaN;
    if (p == 0.5)
        return 0.0;
    const double target = p > 0.5 ? 1.0 - p : p;
    // Cornish and Fisher's expansion around the normal quantile.
    const double z = -NormalQuantile(target);
    const double z2 = z * z;
    double start = z + z * (z2 + 1.0) / (4.0 * nu) + z * ((5.0 * z2 + 16.0) * z2 + 3.0) / (96.0 * nu * nu) +
                   z * (((3.0 * z2 + 19.0) * z2 + 17.0) * z2 - 15.0) / (384.0 * nu * nu * nu);
    if (!(start > 0.0) || !std::isfinite(start))
        start = z;
    // P(T > t) = I_x(nu / 2, 1 / 2) / 2 with x = nu / (nu + t^2).
    const auto tail = [nu](double t) {
        const double s = nu + t * t;
        return 0.5 * RegularizedBeta(0.5 * nu, 0.5, nu / s, t * t / s).lower;
    };
    const double logBeta = LogBeta(0.5 * nu, 0.5);
    const auto logDensityTimesT = [nu, logBeta](double t) {
        return std::log(t) - 0.5 * (nu + 1.0) * std::log1p(t * t / nu) - 0.5 * std::log(nu) - logBeta;
    };
    const double t = SolveTail(start, target, true, tail, logDensityTimesT);
    return p > 0.5 ? t : -t;
}
