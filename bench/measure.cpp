#include "measure.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

double Now()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart * 1e6 / (double)frequency.QuadPart;
}

namespace {

int CompareDoubles(const void *a, const void *b)
{
    double x = *(const double *)a, y = *(const double *)b;
    return x < y ? -1 : x > y;
}

double TimeStep(const Measure &side)
{
    if (side.Timed)
        return side.Timed();
    double start = Now();
    side.Step();
    return Now() - start;
}

// A step costs at least its own work; whatever else runs on the machine
// only adds to it. The lower quartile of a round's steps keeps the steps
// that the rest of the machine left alone, and is steadier than the
// median when other work runs for a while.
double LowerQuartileStep(const Measure &side, const MeasurePlan &plan)
{
    static double times[MaxSteps];
    int steps = plan.Steps < MaxSteps ? plan.Steps : MaxSteps;
    for (int i = 0; i < plan.Warmup; i++)
        TimeStep(side);
    for (int i = 0; i < steps; i++)
        times[i] = TimeStep(side);
    qsort(times, steps, sizeof(double), CompareDoubles);
    return times[steps / 4];
}

// Side `slot` of round `round`: the start turns by one each round and the
// direction flips every `count` rounds.
int SideAt(int round, int slot, int count)
{
    int start = round % count;
    BOOL backwards = (round / count) % 2 == 1;
    int offset = backwards ? count - 1 - slot : slot;
    return (start + offset) % count;
}

} // namespace

double Median(double *values, int count)
{
    if (count <= 0)
        return 0;
    qsort(values, count, sizeof(double), CompareDoubles);
    if (count % 2 == 1)
        return values[count / 2];
    return (values[count / 2 - 1] + values[count / 2]) / 2;
}

void MeasureInterleaved(Measure *measures, int count, const MeasurePlan &plan)
{
    int rounds = plan.Rounds < MaxRounds ? plan.Rounds : MaxRounds;
    for (int round = 0; round < rounds; round++)
        for (int slot = 0; slot < count; slot++) {
            Measure &side = measures[SideAt(round, slot, count)];
            side.Rounds[round] = LowerQuartileStep(side, plan);
        }
    for (int i = 0; i < count; i++) {
        double sorted[MaxRounds];
        memcpy(sorted, measures[i].Rounds, sizeof(double) * rounds);
        measures[i].Median = Median(sorted, rounds);
    }
}

void PrintMeasure(const Measure &measure)
{
    printf("RESULT %s %.2f\n", measure.Name, measure.Median);
}

double RoundRatio(const Measure &a, const Measure *minus, const Measure &b, int rounds)
{
    double ratios[MaxRounds];
    for (int round = 0; round < rounds; round++)
        ratios[round] = (a.Rounds[round] - (minus ? minus->Rounds[round] : 0)) / b.Rounds[round];
    return Median(ratios, rounds);
}

void PrintRoundRatio(const char *name, const Measure &a, const Measure *minus, const Measure &b, int rounds)
{
    printf("RESULT %s %.3f\n", name, RoundRatio(a, minus, b, rounds));
}

void MeasureSplit(const char *prefix, const char *const *names, int parts, SplitStep step, const MeasurePlan &plan)
{
    static double us[MaxSplitParts][MaxRounds];
    int rounds = plan.Rounds < MaxRounds ? plan.Rounds : MaxRounds;
    double one[MaxSplitParts];
    for (int i = 0; i < plan.Warmup; i++)
        step(one);
    for (int round = 0; round < rounds; round++) {
        step(one);
        for (int part = 0; part < parts; part++)
            us[part][round] = one[part];
    }
    for (int part = 0; part < parts; part++)
        printf("RESULT %s%s_us %.1f\n", prefix, names[part], Median(us[part], rounds));
}
