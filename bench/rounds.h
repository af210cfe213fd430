// Figures measured in rounds within one run. A ratio is measured in alternating rounds, A, B,
// A, B, ..., so that a change in the machine's load falls on both sides alike; what is printed
// is the median of the rounds with its spread (lowest .. highest), the absolute figures beside,
// and the goal with "met" or "MISSED". A new figure needs only its round: a function that
// measures once and returns the figure.
#pragma once
#include <functional>
#include <string>

// One round of a measurement: its figure (a rate per second, a CPU share, seconds), or a
// negative number when the round failed.
using Round = std::function<double()>;

// The median of a figure's rounds, with the lowest and the highest; negative when a round
// failed.
struct Spread {
    double median = -1.0, low = -1.0, high = -1.0;
    bool valid() const { return median >= 0.0; }
};

// A goal: the figure at least, or at most, `limit`.
struct Goal {
    enum Kind { AtLeast, AtMost } kind;
    double limit;
    bool metBy(double value) const { return kind == AtLeast ? value >= limit : value <= limit; }
};

// A ratio A / B: the ratios of each round of A to the round of B next to it, and A and B alone.
struct Comparison {
    Spread ratio, a, b;
};

// Rounds of each side when none is asked for; a ratio needs at least five.
inline constexpr int DEFAULT_ROUNDS = 5;

// Runs `rounds` rounds of A and of B, alternating, A first.
Comparison Alternate(const Round &a, const Round &b, int rounds);

// Runs `rounds` rounds of one figure.
Spread Repeat(const Round &round, int rounds);

// A figure set against a fixed limit (a wire's capacity): the ratio of each round to it.
Comparison Against(const Spread &figure, double limit);

// Prints a ratio: its title, the median with the spread, the goal; then both sides' medians
// and spreads with their names and unit.
void PrintRatio(const std::string &title, const Comparison &c, Goal goal, const std::string &nameA,
                const std::string &nameB, const std::string &unit);

// Prints an absolute figure with its spread and goal; `scale` turns it into the printed unit.
void PrintFigure(const std::string &title, const Spread &s, Goal goal, const std::string &unit,
                 double scale = 1.0);

// Prints an absolute figure that has no goal.
void PrintFigure(const std::string &title, const Spread &s, const std::string &unit);

// Goals met and missed so far.
int GoalsMissed();
int GoalsMet();
