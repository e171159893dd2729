#pragma once
// The operating-system side of ProcessController.
#include <cstdint>
#include <string>
#include <vector>

#include "shared/monitoring/ProcessController.h"

namespace processplatform {

// Every process running now. False, with the system error left set, when
// the list cannot be had.
bool snapshot(std::vector<ProcessController::ProcessEntry>& processes);

// The session of a process. False when it cannot be had.
bool sessionOf(uint32_t processId, uint32_t& session);

// The active console session: 0 and a cause when the system cannot tell.
enum class ConsoleLookup { Ok, NoKernel, NoFunction };
uint32_t activeConsoleSession(ConsoleLookup& result);

// Starts path as the user of the process shellId; see
// ProcessController::startProcess. Traces its own failures.
bool startAsUserOf(uint32_t shellId, const std::wstring& path);

} // namespace processplatform
