#pragma once
// How fast the exchange window works the line. Normally a reply counts as in
// once the port has been quiet for 100 ms behind it, and the next request
// follows at once. The fast exchange, which the operator turns on in the main
// window's menu, takes a reply the moment its last byte is in and sends the
// next request after a short guard, so that the instrument has turned round.
// Silence, wrong echoes and resends are the same in both.

#include <cstdint>

extern bool FastExchange;   // off at start

constexpr int FastExchangeGuardMs = 10;

// The port's inter-byte time-out for the chosen pace: `normalMs` normally,
// none at all (every byte delivered as it comes) in the fast exchange.
uint32_t ReplyIntervalFor(bool fast, uint32_t normalMs);
