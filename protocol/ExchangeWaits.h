#pragma once

// How long each exchange with the gateways holds its caller. The gateways
// answer writes with nothing (or, for the network write, an acknowledgement),
// so these fixed waits are what tells a caller that a write had its time.
namespace ExchangeWait {
inline constexpr int ReadMs = 1000;          // discovery, and each gateway's read chain
inline constexpr int WriteMs = 8000;         // IP-SETUP and every write
inline constexpr int CompletionTailMs = 200; // after the reply a wait was waiting for
inline constexpr int ResetTelegramMs = 250;  // after each reset telegram
inline constexpr int ResetFinalMs = 5000;    // after the last reset telegram
inline constexpr int PumpStepMs = 10;        // the window's message pump while waiting
} // namespace ExchangeWait
