#pragma once

namespace volumira {

// One cubic Hermite segment over [t0, t1] from p0 to p1 with end slopes m0 and m1.
class CubicHermite {
  public:
    CubicHermite(double t0, double t1, double p0, double p1, double m0, double m1) : t0_(t0), t1_(t1) {
        const double d0 = (t1 - t0) * m0, d1 = (t1 - t0) * m1;
        c_[0] = p0;
        c_[1] = d0;
        c_[2] = -3.0 * p0 + 3.0 * p1 - 2.0 * d0 - d1;
        c_[3] = 2.0 * p0 - 2.0 * p1 + d0 + d1;
    }

    double operator()(double x) const {
        const double u = (x - t0_) / (t1_ - t0_);
        return c_[0] + u * (c_[1] + u * (c_[2] + u * c_[3]));
    }

  private:
    double c_[4];
    double t0_, t1_;
};

} // namespace volumira
