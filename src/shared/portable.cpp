#include "portable.h"

int ScaleRounded(int value, int numerator, int denominator)
{
    if (denominator == 0)
        return -1;
    LONGLONG product = (LONGLONG)value * numerator;
    if (denominator < 0) {
        product = -product;
        denominator = -denominator;
    }
    LONGLONG half = denominator / 2;
    LONGLONG result = (product >= 0 ? product + half : product - half) / denominator;
    if (result > 2147483647 || result < -2147483647)
        return -1;
    return (int)result;
}

WCHAR *CopyText(WCHAR *target, const WCHAR *source, int capacity)
{
    if (capacity <= 0)
        return target;
    int i = 0;
    for (; i < capacity - 1 && source[i] != 0; i++)
        target[i] = source[i];
    target[i] = 0;
    return target;
}
