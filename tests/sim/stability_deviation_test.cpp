// The overlapping stability estimators on seeded synthetic clocks, against the
// analytic levels and slopes of white phase and white frequency noise. Bounds
// are about five standard deviations of each estimate.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "sim/model/analyses/stability_deviation.h"

namespace veltrano::sim {
namespace {

constexpr double kTau0 = 1e-5;
constexpr std::size_t kSamples = 200000;

std::vector<double> whiteNoise(double sigma, std::size_t n, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> draw(0.0, sigma);
    std::vector<double> out(n);
    for (double& v : out) v = draw(rng);
    return out;
}

double slope(double tau1, double dev1, double tau2, double dev2) {
    return std::log(dev2 / dev1) / std::log(tau2 / tau1);
}

TEST(StabilityDeviation, HandWorkedPhaseSamplesGiveTheTextbookSums) {
    // Second differences 1, -2, 1 and third differences -3, 3.
    const std::vector<double> x{0, 0, 1, 0, 0};
    EXPECT_DOUBLE_EQ(*allanDeviation(x, 1.0, 1), 1.0);
    EXPECT_DOUBLE_EQ(*modifiedAllanDeviation(x, 1.0, 1), 1.0);
    EXPECT_DOUBLE_EQ(*hadamardDeviation(x, 1.0, 1), std::sqrt(1.5));
    EXPECT_DOUBLE_EQ(*timeDeviation(x, 1.0, 1), 1.0 / std::sqrt(3.0));
    // m = 1 with tau0 = 2 s: every deviation of frequency scales with 1 / tau.
    EXPECT_DOUBLE_EQ(*allanDeviation(x, 2.0, 1), 0.5);
    // Modified Allan at m = 2 on 6 samples: one inner sum (x4-2x2+x0)+(x5-2x3+x1).
    const std::vector<double> y{1, 0, 0, 2, 0, 0};
    const double inner = (0 - 0 + 1) + (0 - 4 + 0);
    EXPECT_DOUBLE_EQ(*modifiedAllanDeviation(y, 1.0, 2), std::sqrt(inner * inner / (2.0 * 4 * 4 * 1)));
}

TEST(StabilityDeviation, EachEstimatorNeedsEnoughSamplesForItsFactor) {
    const std::vector<double> x(12, 0.0);
    const std::span<const double> all(x);
    EXPECT_FALSE(allanDeviation(all.first(8), kTau0, 4));
    EXPECT_TRUE(allanDeviation(all.first(9), kTau0, 4));
    EXPECT_FALSE(modifiedAllanDeviation(all.first(11), kTau0, 4));
    EXPECT_TRUE(modifiedAllanDeviation(all.first(12), kTau0, 4));
    EXPECT_FALSE(hadamardDeviation(all.first(12), kTau0, 4));
    EXPECT_TRUE(hadamardDeviation(all.first(12), kTau0, 3));
    EXPECT_FALSE(allanDeviation(x, kTau0, 0));
    EXPECT_FALSE(timeDeviation(x, kTau0, 5));
    // A curve keeps only the factors its estimator covers.
    const std::vector<std::int64_t> factors{1, 3, 4, 5};
    EXPECT_EQ(stabilityCurve(StabilityMetric::Allan, x, kTau0, factors).size(), 4u);
    EXPECT_EQ(stabilityCurve(StabilityMetric::Hadamard, x, kTau0, factors).size(), 2u);
}

TEST(StabilityDeviation, AveragingFactorsSpreadOverTheDecadesOnceEach) {
    EXPECT_EQ(averagingFactors(2, 4), (std::vector<std::int64_t>{1, 2, 3, 6, 10, 18, 32, 56}));
    EXPECT_EQ(averagingFactors(1, 10), (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6, 8}));
    EXPECT_EQ(averagingFactors(3, 1), (std::vector<std::int64_t>{1, 10, 100}));
    EXPECT_TRUE(averagingFactors(0, 5).empty());
}

TEST(StabilityDeviation, PhaseIntegratesTheFractionalFrequency) {
    const std::vector<double> y{1e-6, -2e-6, 3e-6};
    const std::vector<double> x = phaseFromFrequency(y, 0.5);
    ASSERT_EQ(x.size(), 4u);
    EXPECT_DOUBLE_EQ(x[0], 0);
    EXPECT_DOUBLE_EQ(x[1], 0.5e-6);
    EXPECT_DOUBLE_EQ(x[2], -0.5e-6);
    EXPECT_DOUBLE_EQ(x[3], 1e-6);
}

TEST(StabilityDeviation, WhitePhaseNoiseFallsAsOneOverTauAndModifiedAsTauToMinusThreeHalves) {
    const double sigmaX = 50e-12;
    const std::vector<double> x = whiteNoise(sigmaX, kSamples, 11);
    for (std::int64_t m : {1, 10, 100}) {
        const double tau = static_cast<double>(m) * kTau0;
        EXPECT_NEAR(*allanDeviation(x, kTau0, m) / (std::sqrt(3.0) * sigmaX / tau), 1.0, 0.08) << m;
        EXPECT_NEAR(*modifiedAllanDeviation(x, kTau0, m) / (std::sqrt(3.0) * sigmaX / (tau * std::sqrt(m))), 1.0, 0.08)
            << m;
    }
    EXPECT_NEAR(slope(kTau0, *allanDeviation(x, kTau0, 1), 100 * kTau0, *allanDeviation(x, kTau0, 100)), -1.0, 0.03);
    EXPECT_NEAR(
        slope(kTau0, *modifiedAllanDeviation(x, kTau0, 1), 100 * kTau0, *modifiedAllanDeviation(x, kTau0, 100)),
        -1.5, 0.03);
}

TEST(StabilityDeviation, WhiteFrequencyNoiseFallsAsRootTauAndHadamardMatchesAllan) {
    const double sigmaY = 1e-7;
    const std::vector<double> x = phaseFromFrequency(whiteNoise(sigmaY, kSamples, 12), kTau0);
    for (std::int64_t m : {1, 10, 100}) {
        const double expected = sigmaY / std::sqrt(static_cast<double>(m));
        const double adev = *allanDeviation(x, kTau0, m);
        EXPECT_NEAR(adev / expected, 1.0, 0.1) << m;
        EXPECT_NEAR(*hadamardDeviation(x, kTau0, m) / adev, 1.0, 0.1) << m;
    }
    EXPECT_NEAR(slope(kTau0, *allanDeviation(x, kTau0, 1), 100 * kTau0, *allanDeviation(x, kTau0, 100)), -0.5, 0.04);
}

TEST(StabilityDeviation, TimeDeviationIsTauTimesModifiedAllanOverRootThree) {
    const std::vector<double> x = phaseFromFrequency(whiteNoise(1e-7, 5000, 13), kTau0);
    const std::vector<std::int64_t> factors = averagingFactors(3, 5);
    const PointList mdev = stabilityCurve(StabilityMetric::ModifiedAllan, x, kTau0, factors);
    const PointList tdev = stabilityCurve(StabilityMetric::Time, x, kTau0, factors);
    ASSERT_EQ(mdev.size(), tdev.size());
    ASSERT_FALSE(mdev.empty());
    for (std::size_t i = 0; i < mdev.size(); ++i) {
        EXPECT_EQ(tdev[i].x, mdev[i].x);
        EXPECT_DOUBLE_EQ(tdev[i].y, mdev[i].x * mdev[i].y / std::sqrt(3.0));
    }
}

}  // namespace
}  // namespace veltrano::sim
