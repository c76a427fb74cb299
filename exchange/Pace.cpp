#include "exchange/Pace.h"

#include "serial/CommLine.h"

bool FastExchange = false;

uint32_t ReplyIntervalFor(bool fast, uint32_t normalMs)
{
    return fast ? ReadIntervalImmediate : normalMs;
}
