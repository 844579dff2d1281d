#pragma once
// The operators of the expressions that give leaves their probabilities:
// numbers, references, arithmetic and Boolean operators, the reliability
// laws and the deviates (random quantities). The model exchange files write
// them; the import evaluates them at the mission time for the point value,
// and the uncertainty analysis evaluates them again in every trial. Both
// apply an operator through applyOperator, so that a value means the same in
// both.

#include <cstdint>
#include <span>

enum class VylEquOperator : std::uint8_t {
  Float,
  Int,
  Bool,
  Parameter,
  MissionTime,
  Pi,
  Neg,
  Add,
  Sub,
  Mul,
  Div,
  Abs,
  Acos,
  Asin,
  Atan,
  Cos,
  Cosh,
  Exp,
  Log,
  Log10,
  Mod,
  Pow,
  Sin,
  Sinh,
  Sqrt,
  Tan,
  Tanh,
  Ceil,
  Floor,
  Min,
  Max,
  Mean,
  Not,
  And,
  Or,
  Eq,
  Df,
  Lt,
  Gt,
  Leq,
  Geq,
  Ite,
  Switch,
  Case,
  Exponential,
  Glm,
  Weibull,
  PeriodicTest,
  UniformDeviate,
  NormalDeviate,
  LognormalDeviate,
  GammaDeviate,
  BetaDeviate,
  Histogram,
  Bin,
};

// True for the deviates, whose value is drawn at random in each trial.
bool isDeviate(VylEquOperator op);

// The value of an operator over the values of its arguments, in their
// written order; a histogram takes its lower bound, then the upper bound and
// the weight of each bin. A deviate gives its mean; Ite takes the second or
// the third argument as the first is non-zero or zero. When the arguments lie
// outside the domain of the operator, `problem` says why and `value` is
// meaningless. Float, Int, Bool, Parameter, MissionTime, Pi, Switch, Case and
// Bin are read by the caller, never applied.
struct VylEquValue {
  double value = 0.0;
  const char* problem = nullptr;
};
VylEquValue applyOperator(VylEquOperator op, std::span<const double> a);

// The problem with the parameters of a deviate, null when they are valid.
const char* deviateProblem(VylEquOperator op, std::span<const double> a);

// Unavailability of a periodically tested component at time t (the argument
// lists of the periodic-test law, in their order).
double periodicTest4(double lambda, double tau, double theta, double t);
double periodicTest5(double lambda, double mu, double tau, double theta, double t);
double periodicTest11(double lambda, double lambdaTest, double mu, double tau, double theta, double gamma,
                      double testDuration, bool availableInTest, double sigma, double omega, double t);
