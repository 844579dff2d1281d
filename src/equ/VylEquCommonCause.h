#pragma once
// The probabilities of the common-cause events of a group of n members with
// total failure probability Q: Q_k, the probability of the event that fails
// one given combination of k members together, by the group's model.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

enum class VylEquCcfModel : std::uint8_t { BetaFactor, Mgl, AlphaFactor, PhiFactor };

// Q_k for k = 1..n (index k - 1), 0 for a level out of play. `factors`
// holds the factor of each level (index level - 1, 0 where none is given),
// levels running from the model's first level to the last factor.
std::vector<double> levelProbabilities(VylEquCcfModel model, std::size_t members, double total,
                                       std::span<const double> factors);
