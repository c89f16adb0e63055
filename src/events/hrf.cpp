#include "events/hrf.h"

#include <cmath>
#include <cstddef>

namespace events {

namespace {

// Seconds by which the derivative's second kernel lags the first.
constexpr double derivativeShift = 0.1;

struct GammaPair {
  double a1, b1;  // the response
  double a2, b2;  // the undershoot
  double c;       // the undershoot's weight
};

GammaPair shapeOf(HrfModel model) {
  switch (model) {
    case HrfModel::glover:
      return {6.0 / 0.9, 0.9, 12.0 / 0.9, 0.9, 0.35};
    case HrfModel::spm:
      break;
  }
  return {6.0, 1.0, 16.0, 1.0, 1.0 / 6.0};
}

// g(t; a, b) with its divisor Gamma(a) b^a worked out once rather than at every t: the same
// operations in the same order, so the same bits.
class GammaDensity {
 public:
  GammaDensity(double a, double b) : a_(a), b_(b), divisor_(std::tgamma(a) * std::pow(b, a)) {}

  double operator()(double t) const {
    if (!(t > 0.0)) return 0.0;
    return std::pow(t, a_ - 1.0) * std::exp(-t / b_) / divisor_;
  }

 private:
  double a_, b_, divisor_;
};

// h(t) of one model.
class Response {
 public:
  explicit Response(const GammaPair& shape)
      : response_(shape.a1, shape.b1), undershoot_(shape.a2, shape.b2), c_(shape.c) {}

  double operator()(double t) const { return response_(t) - c_ * undershoot_(t); }

 private:
  GammaDensity response_, undershoot_;
  double c_;
};

// h(k dt - shift) for k = 0 .. floor(hrfSpan / dt), divided by its sum.
std::vector<double> normalisedKernel(HrfModel model, double dt, double shift) {
  const auto last = static_cast<std::size_t>(std::floor(hrfSpan / dt));
  const Response h(shapeOf(model));
  std::vector<double> kernel(last + 1);
  double sum = 0.0;
  for (std::size_t k = 0; k <= last; ++k) {
    kernel[k] = h(static_cast<double>(k) * dt - shift);
    sum += kernel[k];
  }
  for (double& value : kernel) value /= sum;
  return kernel;
}

}  // namespace

std::optional<HrfModel> hrfModelNamed(std::string_view name) {
  if (name == "spm") return HrfModel::spm;
  if (name == "glover") return HrfModel::glover;
  return std::nullopt;
}

double hrfValue(HrfModel model, double t) { return Response(shapeOf(model))(t); }

std::vector<double> hrfKernel(HrfModel model, double dt) {
  return normalisedKernel(model, dt, 0.0);
}

std::vector<double> hrfDerivativeKernel(HrfModel model, double dt) {
  std::vector<double> kernel = normalisedKernel(model, dt, 0.0);
  const std::vector<double> lagged = normalisedKernel(model, dt, derivativeShift);
  for (std::size_t k = 0; k < kernel.size(); ++k)
    kernel[k] = (kernel[k] - lagged[k]) / derivativeShift;
  return kernel;
}

}  // namespace events
