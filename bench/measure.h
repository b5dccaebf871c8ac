// Interleaved measurement: the sides of a comparison take turns in rounds,
// so that a busy moment of the shared machine weighs on all of them.
#pragma once
#include <windows.h>

typedef void (*BenchStep)();
// A step that times itself (leaving out its own set-up and tidying up)
// and returns the microseconds it measured.
typedef double (*TimedStep)();

const int MaxRounds = 64;
const int MaxSteps = 400;

struct Measure {
    const char *Name;
    BenchStep Step;             // timed whole, or
    TimedStep Timed;            // timing itself
    double Rounds[MaxRounds];   // each round's lower-quartile step, in microseconds
    double Median;              // median of the rounds
};

struct MeasurePlan {
    int Rounds;
    int Steps;      // timed steps per side and round
    int Warmup;     // untimed steps before them
};

double Now();

// Runs `count` sides in `plan.Rounds` rounds. In each round every side
// first runs `Warmup` untimed steps (so that it starts with its own
// bitmaps and code in the caches, not the previous side's), then `Steps`
// steps timed one by one; the round's figure is their lower quartile,
// which preemptions of many of its steps do not move. The order of the sides turns
// from round to round (each side comes first, last and in between as
// often), so that none always follows the same neighbour.
void MeasureInterleaved(Measure *measures, int count, const MeasurePlan &plan);
void PrintMeasure(const Measure &measure);

// The median over rounds of (a - minus) / b, each round's figures taken
// together: a busy moment of the machine then shifts both sides of one
// ratio rather than one side only.
double RoundRatio(const Measure &a, const Measure *minus, const Measure &b, int rounds);
void PrintRoundRatio(const char *name, const Measure &a, const Measure *minus, const Measure &b, int rounds);

double Median(double *values, int count);

// A step that times its parts: fills one figure per part.
typedef void (*SplitStep)(double *us);
const int MaxSplitParts = 16;

// Runs `step` `plan.Warmup` times untimed, then once per round, and prints
// the median of each part as "RESULT <prefix><name>_us".
void MeasureSplit(const char *prefix, const char *const *names, int parts, SplitStep step, const MeasurePlan &plan);
